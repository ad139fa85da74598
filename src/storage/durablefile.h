#pragma once
// Replacing a file so that the result cannot lie. The new content is written beside the
// target under a temporary name; every write and the close are checked, the data is synced to
// the disk and its size read back before the temporary file takes the target's name, and the
// folder is synced after. On any failure the target keeps its old content (a full disk never
// leaves an empty or shortened file) and the failure is logged and returned.
//
// QSaveFile is not used for this: on a full disk it can report a commit as done.

#include <QByteArray>
#include <QString>

namespace storage {

// A new version of one file, written beside it until it is committed. Destroying an
// uncommitted one removes the temporary file.
class StagedFile {
public:
    explicit StagedFile(const QString& target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool write(const QByteArray& data);
    // Appends the whole content of a file; false when it could not be read to its end.
    bool append(const QString& source);
    // Syncs the data, closes the file and checks its size on the disk. After this only the
    // rename of commit() is left, so callers can move the old file aside in between.
    bool seal();
    // Seals (when not done yet) and puts the file in place of the target.
    bool commit();

    QString target() const { return target_; }
    QString errorString() const { return error_; }

private:
    bool fail(const QString& what, int error);

    QString target_;
    QString temp_;
    int fd_ = -1;
    qint64 written_ = 0;
    bool sealed_ = false;
    bool committed_ = false;
    QString error_;
};

// Replaces path with data; error (when given) receives the reason of a failure.
bool replaceFile(const QString& path, const QByteArray& data, QString* error = nullptr);
// Replaces target with a copy of source.
bool copyFile(const QString& source, const QString& target, QString* error = nullptr);
// Flushes a file or a folder to the disk.
bool syncPath(const QString& path);

}  // namespace storage
