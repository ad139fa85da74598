#include "faildirectory.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QtDebug>

#include "durablefile.h"
#include "failimagelimits.h"

namespace failimage {

QString failFolderPath(const QString& root, int camera, int step, int kind) {
    return QString::fromLatin1(kFolderPattern)
        .arg(root, QString::number(camera + 1), QString::number(step + 1),
             QString::fromLatin1(kind == kKindOK ? kOKFolder : kNGFolder));
}

QString pictureBaseName(const QDateTime& when, int failNumber) {
    const QString time = when.toString(QString::fromLatin1(kTimeFormat));
    if (failNumber >= 1) return QStringLiteral("%1_%2").arg(QString::number(failNumber), time);
    return time;
}

int prunePictures(const QString& folder, int limit) {
    if (limit < 1) return 0;
    QDir dir(folder);
    const QFileInfoList pictures = dir.entryInfoList(
        QStringList{QString::fromLatin1(kPictureFilter)}, QDir::Files, QDir::Time);
    int deleted = 0;
    for (int i = limit - 1; i < pictures.size(); ++i) {
        if (QFile::remove(pictures[i].absoluteFilePath()))
            ++deleted;
        else
            qWarning() << "old fail picture" << pictures[i].absoluteFilePath()
                       << "could not be deleted";
    }
    return deleted;
}

bool writeJpeg(const QImage& picture, const QString& path, int quality) {
    return writePictureAtomically(picture, path, kPictureFormat, quality);
}

bool writePictureAtomically(const QImage& picture, const QString& path, const char* format,
                            int quality) {
    QByteArray encoded;
    QBuffer buffer(&encoded);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !writer.write(picture)) {
        qWarning() << "picture" << path << "not written:"
                   << (picture.isNull() ? QStringLiteral("no picture") : writer.errorString());
        return false;
    }
    return storage::replaceFile(path, encoded);
}

}  // namespace failimage
