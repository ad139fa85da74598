#include "writecause.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "storagelimits.h"

namespace storage {

namespace {
// The nearest folder of path that exists: the file, or a folder of it, may not exist yet.
QString existingFolder(const QString& path) {
    QString folder = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(folder).isDir()) folder = QFileInfo(folder).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
        folder = QFileInfo(folder).absolutePath();
    return folder;
}
}  // namespace

WriteCause probeWriteCause(const QString& path) {
    const QByteArray folder = QFile::encodeName(existingFolder(path));
    struct statvfs fs {};
    if (::statvfs(folder.constData(), &fs) != 0) return WriteCause::Unknown;
    if ((fs.f_flag & ST_RDONLY) || ::access(folder.constData(), W_OK) != 0)
        return WriteCause::ReadOnly;
    const quint64 freeBytes = quint64(fs.f_bavail) * quint64(fs.f_frsize);
    if (freeBytes < quint64(kFullDiskBytes)) return WriteCause::NoSpace;
    return WriteCause::Unknown;
}

const char* writeCauseName(WriteCause cause) {
    switch (cause) {
        case WriteCause::NoSpace:
            return "no space left";
        case WriteCause::ReadOnly:
            return "read-only";
        default:
            return "write error";
    }
}

}  // namespace storage
