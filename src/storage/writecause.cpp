#include "writecause.h"

#include <errno.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlError>
#include <QVector>

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

WriteCause fileSystemCause(const QString& path) {
    const QByteArray folder = QFile::encodeName(existingFolder(path));
    struct statvfs fs {};
    if (::statvfs(folder.constData(), &fs) != 0) return WriteCause::Unknown;
    if ((fs.f_flag & ST_RDONLY) || ::access(folder.constData(), W_OK) != 0)
        return WriteCause::ReadOnly;
    const quint64 freeBytes = quint64(fs.f_bavail) * quint64(fs.f_frsize);
    if (freeBytes < quint64(kFullDiskBytes)) return WriteCause::NoSpace;
    return WriteCause::Unknown;
}

struct Outcome {
    QString path;
    int error = 0;
    qint64 at = 0;  // by sinceStart
};

// Newest last. Pictures are written on their own thread and told on the GUI thread.
QMutex outcomesLock;
QVector<Outcome> outcomes;
QElapsedTimer sinceStart;

QString absolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}
}  // namespace

WriteCause causeOfError(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return WriteCause::NoSpace;
        case EROFS:
        case EACCES:
        case EPERM:
            return WriteCause::ReadOnly;
        default:
            return WriteCause::Unknown;
    }
}

void noteWriteOutcome(const QString& path, int error) {
    const QString file = absolute(path);
    const QString inside = file + QLatin1Char('/');
    QMutexLocker lock(&outcomesLock);
    // A folder written well vouches for what is in it.
    for (int i = 0; i < outcomes.size(); ++i)
        if (outcomes[i].path == file || (!error && outcomes[i].path.startsWith(inside)))
            outcomes.remove(i--);
    // A missing folder is no cause by itself: what kept it from being made is read from the
    // disk.
    if (!error || error == ENOENT) return;
    if (outcomes.size() >= kMaxRememberedWriteErrors) outcomes.removeFirst();
    if (!sinceStart.isValid()) sinceStart.start();
    outcomes.append({file, error, sinceStart.elapsed()});
}

void noteSqlOutcome(const QString& file, const QSqlError& error) {
    // SQLite's primary result codes (the low byte of an extended one).
    constexpr int kSqlitePerm = 3, kSqliteReadOnly = 8, kSqliteFull = 13, kSqliteCantOpen = 14;
    bool numbered = false;
    const int code = error.nativeErrorCode().toInt(&numbered) & 0xff;
    int errorNumber = EIO;
    if (error.type() == QSqlError::NoError || !numbered || code == kSqliteCantOpen)
        errorNumber = 0;
    else if (code == kSqliteFull)
        errorNumber = ENOSPC;
    else if (code == kSqliteReadOnly)
        errorNumber = EROFS;
    else if (code == kSqlitePerm)
        errorNumber = EACCES;
    noteWriteOutcome(file, errorNumber);
}

WriteCause probeWriteCause(const QString& path) {
    const QString target = absolute(path);
    const QString inside = target + QLatin1Char('/');
    {
        QMutexLocker lock(&outcomesLock);
        // Older ones are of a write that has been told already; the disk may have changed.
        for (int i = outcomes.size() - 1;
             i >= 0 && sinceStart.elapsed() - outcomes[i].at < kWriteErrorToldWithinMs; --i)
            if (outcomes[i].path == target || outcomes[i].path.startsWith(inside))
                return causeOfError(outcomes[i].error);
    }
    return fileSystemCause(path);
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
