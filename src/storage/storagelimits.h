#pragma once
// Every limit and fixed name of the storage helpers, in one place.

#include <QtGlobal>

namespace storage {

// Files are copied in pieces of this size: few system calls, and a large database never has
// to fit in memory.
constexpr qint64 kCopyChunkBytes = 1 << 16;

// A damaged file is kept beside its place as "<name>.damaged-<time>"; when that name is taken
// (several in the same second) a number is added, up to this bound.
constexpr int kMaxKeptCopiesPerSecond = 99;
constexpr char kDamagedInfix[] = ".damaged-";
constexpr char kKeptTimeFormat[] = "yyyyMMdd-hhmmss";

// Files SQLite keeps beside a database; they belong to it and move with it. A journal left
// beside the wrong file would be played back into it.
constexpr const char* kSqliteCompanions[] = {"-journal", "-wal", "-shm"};

// A write that failed without an error of its own, with less than this left on its disk, is
// told as a full disk: the largest files the program writes (colour frames as templates, alarm
// pictures) take several MB.
constexpr qint64 kFullDiskBytes = 16 << 20;

// A file being replaced is written beside it as "." + its name + this, the X's made into random
// letters and digits by mkostemp: a hidden name no file of the program's own has.
constexpr char kStagedNameEnd[] = ".XXXXXX";
// The names the program replaces through a staged file end so: settings and records, databases
// (also one still being built under "<name>.db.building"), pictures. A hidden file named like
// a staged one is taken for a leftover of a write cut short only for a name of these.
constexpr const char* kStagedTargetEnds[] = {".ini", ".json", ".txt",        ".db",
                                             ".bmp", ".jpg",  ".db.building"};
// A database is made under its name + this, then renamed (sqlitefiles, the parameter store).
constexpr char kBuildingEnd[] = ".building";

// Failed writes whose error is kept to tell their cause: more than the program has files that
// fail at once; the oldest gives way.
constexpr int kMaxRememberedWriteErrors = 64;
// A failed write is told at once (the picture thread's through one queue): an error older than
// this is of a write told already, and says nothing of one failing now.
constexpr qint64 kWriteErrorToldWithinMs = 60 * 1000;

// A store that failed, was written again and fails once more within this time fails with the
// same fault (a nearly full disk taking and refusing pictures by turns): a list the operator
// has confirmed is not shown again for it. Longer than any pause between two moulds.
constexpr qint64 kWrittenWellBeforeToldAgainMs = 15 * 60 * 1000;

// Mode of a new file written by the helpers (an existing file keeps its own).
constexpr unsigned kNewFileMode = 0644;

}  // namespace storage
