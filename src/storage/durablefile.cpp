#include "durablefile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "storagelimits.h"
#include "writecause.h"

namespace storage {

namespace {

QByteArray local(const QString& path) {
    return QFile::encodeName(path);
}

QString reason(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

// Writes all of data or reports why not; a short write on a full disk is an error.
int writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        data += n;
        size -= n;
    }
    return 0;
}

}  // namespace

StagedFile::StagedFile(const QString& target) : target_(target) {
    const QFileInfo info(target);
    QByteArray pattern = local(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                               QLatin1String(kStagedNameEnd));
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        fail(QStringLiteral("cannot create a file beside it"), errno);
        return;
    }
    temp_ = QFile::decodeName(pattern);
    struct stat old;
    const mode_t mode =
        ::stat(local(target).constData(), &old) == 0 ? old.st_mode & 07777 : mode_t(kNewFileMode);
    if (::fchmod(fd_, mode) != 0) fail(QStringLiteral("cannot set its mode"), errno);
}

StagedFile::~StagedFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.isEmpty()) ::unlink(local(temp_).constData());
}

bool StagedFile::fail(const QString& what, int error) {
    if (error_.isEmpty()) {
        error_ = error ? what + QStringLiteral(": ") + reason(error) : what;
        // Told with the file: once the temporary file is gone the disk may have room again.
        noteWriteOutcome(target_, error);
    }
    return false;
}

bool StagedFile::write(const QByteArray& data) {
    if (!error_.isEmpty()) return false;
    if (sealed_) return fail(QStringLiteral("written after sealing"), 0);
    if (const int e = writeAll(fd_, data.constData(), data.size()))
        return fail(QStringLiteral("write failed"), e);
    written_ += data.size();
    return true;
}

bool StagedFile::append(const QString& source) {
    if (!error_.isEmpty()) return false;
    const int in = ::open(local(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail(QStringLiteral("cannot read ") + source, errno);
    struct stat st;
    qint64 expected = ::fstat(in, &st) == 0 ? qint64(st.st_size) : -1;
    QByteArray chunk(int(kCopyChunkBytes), Qt::Uninitialized);
    qint64 copied = 0;
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(in, chunk.data(), size_t(chunk.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) break;
        if ((error = writeAll(fd_, chunk.constData(), n))) break;
        copied += n;
    }
    ::close(in);
    written_ += copied;
    if (error) return fail(QStringLiteral("copying ") + source + QStringLiteral(" failed"), error);
    if (expected >= 0 && copied != expected)
        return fail(QStringLiteral("%1 changed size while it was copied").arg(source), 0);
    return true;
}

bool StagedFile::seal() {
    if (!error_.isEmpty()) return false;
    if (sealed_) return true;
    if (::fsync(fd_) != 0) return fail(QStringLiteral("sync failed"), errno);
    struct stat st;
    if (::fstat(fd_, &st) != 0) return fail(QStringLiteral("cannot read its size"), errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail(QStringLiteral("close failed"), errno);
    if (qint64(st.st_size) != written_)
        return fail(QStringLiteral("%1 of %2 bytes reached the disk").arg(st.st_size).arg(written_),
                    0);
    sealed_ = true;
    return true;
}

bool StagedFile::commit() {
    if (!seal()) return false;
    if (::rename(local(temp_).constData(), local(target_).constData()) != 0)
        return fail(QStringLiteral("cannot take its name"), errno);
    committed_ = true;
    noteWriteOutcome(target_, 0);
    syncPath(QFileInfo(target_).absolutePath());
    return true;
}

bool syncPath(const QString& path) {
    const int fd = ::open(local(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

namespace {
bool finish(StagedFile& file, bool ok, QString* error) {
    ok = ok && file.commit();
    if (ok) return true;
    qWarning().noquote() << "cannot write" << file.target() << "-" << file.errorString()
                         << "- the file keeps its old content";
    if (error) *error = file.errorString();
    return false;
}
}  // namespace

bool replaceFile(const QString& path, const QByteArray& data, QString* error) {
    StagedFile file(path);
    return finish(file, file.write(data), error);
}

bool copyFile(const QString& source, const QString& target, QString* error) {
    StagedFile file(target);
    return finish(file, file.append(source), error);
}

}  // namespace storage
