#pragma once
// File helpers of the parameter store: copies of the files of a parameter group that never
// leave a half-written target, recursive folder copies, and the group index file sysadd.txt.

#include <QString>

namespace params {

// Copies one file of a group so that the target is either the old file or the complete new
// one; a database (".db") is settled and checked first, and a damaged one is not copied.
bool copyMember(const QString& source, const QString& target);
// Copies a folder with everything in it into a target folder that must not exist yet.
bool copyFolder(const QString& source, const QString& target);

// Reads the group index from the index file. A missing file is created holding "-1"; a file
// that does not start with a number gives -1.
int readGroupIndex(const QString& path);
// Writes the index followed by a newline; false when the file cannot be written.
bool writeGroupIndex(const QString& path, int index);

// Asks the system to flush written files to disk (through the system-action seam).
void syncFiles();

}  // namespace params
