#pragma once
// Why a file could not be written, as the operator is told it: the disk is full, or it (or the
// folder) cannot be written at all. Read from the file system after the write failed, so that
// every writer (SQLite, pictures, small files) is told the same way.

#include <QString>

namespace storage {

enum class WriteCause { Unknown, NoSpace, ReadOnly };

// The cause of a failed write of path (a file or a folder; it need not exist).
WriteCause probeWriteCause(const QString& path);

// Logged and shown beside the file: "no space left", "read-only", "write error".
const char* writeCauseName(WriteCause cause);

}  // namespace storage
