#include "paramfiles.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include "systemactions.h"

namespace params {

namespace {
constexpr qint64 kCopyChunkBytes = 1 << 16;
constexpr int kSyncTimeoutMs = 30000;
}  // namespace

bool copyFileAtomically(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        qWarning() << "cannot read" << source << in.errorString();
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        qWarning() << "cannot write" << target << out.errorString();
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kCopyChunkBytes);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) break;
        if (out.write(chunk) != chunk.size()) break;
    }
    if (in.error() != QFileDevice::NoError || !out.commit()) {
        qWarning() << "copying" << source << "to" << target << "failed:" << in.errorString()
                   << out.errorString();
        out.cancelWriting();
        return false;
    }
    return true;
}

bool copyFolder(const QString& source, const QString& target) {
    const QDir from(QFileInfo(source).absoluteFilePath());
    if (!from.exists() || QFileInfo::exists(target) || !QDir().mkpath(target)) {
        qWarning() << "cannot copy folder" << source << "to" << target;
        return false;
    }
    QDirIterator it(from.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString destination =
            QDir(target).filePath(from.relativeFilePath(info.absoluteFilePath()));
        const bool ok =
            info.isDir() ? QDir().mkpath(destination) : QFile::copy(info.filePath(), destination);
        if (!ok) {
            qWarning() << "cannot copy" << info.filePath() << "to" << destination;
            return false;
        }
    }
    return true;
}

int readGroupIndex(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        // The file is created with the "no group" index, without a newline.
        if (file.open(QIODevice::WriteOnly)) file.write(QByteArray::number(-1));
        return -1;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "cannot read the group index" << path << file.errorString();
        return -1;
    }
    QTextStream in(&file);
    int index = -1;
    in >> index;
    return in.status() == QTextStream::Ok ? index : -1;
}

bool writeGroupIndex(const QString& path, int index) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning() << "cannot write the group index" << path << file.errorString();
        return false;
    }
    const QByteArray text = QByteArray::number(index) + '\n';
    return file.write(text) == text.size();
}

void syncFiles() {
    const sys::CommandResult result =
        sys::actions().run(QStringLiteral("sync"), {}, kSyncTimeoutMs);
    if (!result.ok()) qWarning() << "sync did not finish cleanly, exit code" << result.exitCode;
}

}  // namespace params
