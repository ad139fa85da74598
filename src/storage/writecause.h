#pragma once
// Why a file could not be written, as the operator is told it: the disk is full, or it (or the
// folder) cannot be written at all. Taken from the failed write's own error where the storage
// helpers saw it (a disk that has room again once the half-written file is gone still failed
// for lack of room); read from the file system only where the write gave no cause.

#include <QString>

class QSqlError;

namespace storage {

enum class WriteCause { Unknown, NoSpace, ReadOnly };

// What the error number of a failed write says about the disk.
WriteCause causeOfError(int error);

// Kept for path by the storage helpers after each write of it: the error number a failed write
// gave, or 0 when the file was written or its failure gave no number (nor does a missing
// folder, ENOENT). Safe from any thread.
void noteWriteOutcome(const QString& path, int error);

// The same for a write through SQLite, by its result code: a full database or disk, a
// read-only one; an error that does not say (cannot open) leaves the cause to the file system.
void noteSqlOutcome(const QString& file, const QSqlError& error);

// The cause of a failed write of path (a file or a folder; it need not exist): the error of the
// latest failed write of path, or of a file in that folder, that the storage helpers saw; else
// read from the file system.
WriteCause probeWriteCause(const QString& path);

// Logged and shown beside the file: "no space left", "read-only", "write error".
const char* writeCauseName(WriteCause cause);

}  // namespace storage
