#include "paramfiles.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "durablefile.h"
#include "sqlitefiles.h"
#include "systemactions.h"

namespace params {

namespace {
constexpr int kSyncTimeoutMs = 30000;
}  // namespace

bool copyMember(const QString& source, const QString& target) {
    return source.endsWith(QLatin1String(".db")) ? storage::copyDatabase(source, target)
                                                 : storage::copyFile(source, target);
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
            info.isDir() ? QDir().mkpath(destination) : copyMember(info.filePath(), destination);
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
        storage::replaceFile(path, QByteArray::number(-1));
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
    return storage::replaceFile(path, QByteArray::number(index) + '\n');
}

void syncFiles() {
    const sys::CommandResult result =
        sys::actions().run(QStringLiteral("sync"), {}, kSyncTimeoutMs);
    if (!result.ok()) qWarning() << "sync did not finish cleanly, exit code" << result.exitCode;
}

}  // namespace params
