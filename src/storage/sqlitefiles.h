#pragma once
// SQLite database files as whole files: checking one, keeping a damaged one aside, copying,
// creating and archiving. A database file is never moved or copied while it may have a hot
// journal: it is first opened through SQLite, which plays an interrupted write back, and
// closed cleanly; its journal files always move together with it.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <functional>

namespace storage {

// One connection of its own (a unique name unless one is given) to a database file for the
// life of the object. Queries made on it must be destroyed before it.
class SqliteConnection {
public:
    explicit SqliteConnection(const QString& file, const QString& name = QString());
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    bool isOpen() const { return open_; }
    QSqlDatabase database() const { return database_; }
    QString errorText() const { return error_; }

private:
    QString name_;
    QSqlDatabase database_;
    bool open_ = false;
    QString error_;
};

// True when db is open on a database file. SQLite opens a connection without a file name (or
// named ":memory:") on a private database that vanishes when it closes: whatever is written
// there is stored nowhere.
bool opensFile(const QSqlDatabase& db);

enum class DbState { Usable, Missing, Damaged };

struct DbCheck {
    DbState state = DbState::Missing;
    QString reason;  // why it is damaged
    bool usable() const { return state == DbState::Usable; }
};

// Opens an existing file through SQLite (an interrupted write is rolled back first), reads
// every page (quick_check), checks that the tables exist and closes it cleanly. Nothing is
// created: a missing file stays missing.
DbCheck checkDatabase(const QString& path, const QStringList& requiredTables = {});

// Moves a file, and the journal files SQLite keeps beside it, to "<path>.damaged-<time>" so
// that nothing is lost. Returns the new path; empty (with a warning) when it could not move.
QString moveAside(const QString& path);

// Copies a usable database over target (storage's copyFile); false when source is missing or
// damaged, or the copy failed (target then keeps its old content).
bool copyDatabase(const QString& source, const QString& target, QString* error = nullptr);

// Puts a copy of a usable database in place of target (whether target is missing or
// damaged). The copy is complete on the disk before anything moves; then target and its
// journal files, when present, are kept aside (keptAs receives the name) and the copy takes
// its place. On failure target is left as it was.
bool installDatabaseCopy(const QString& source, const QString& target, QString* keptAs = nullptr,
                         QString* error = nullptr);

// Puts a copy of a usable database in place of target for good (nothing is kept aside, as
// for a deliberate restore). The copy is complete on the disk first; target is then settled
// through SQLite (an interrupted write is rolled back) and any journal file left beside it
// is removed, so that no journal is played back into the copy. On failure target keeps its
// content.
bool replaceDatabase(const QString& source, const QString& target, QString* error = nullptr);

// Makes a database file, complete or not at all: from a copy of templateFile when that is a
// usable database, else empty; then the statements run. An existing path gives false.
bool createDatabase(const QString& path, const QStringList& statements,
                    const QString& templateFile = QString(), QString* error = nullptr);

// Runs work in one transaction on mainFile with attachedFile attached under alias: all of the
// work reaches both files or none of it does, so a move of rows between them is done once or
// not at all. Either file's interrupted write is rolled back before it is read.
bool inTransactionWith(const QString& mainFile, const QString& attachedFile, const QString& alias,
                       const std::function<bool(QSqlQuery&)>& work, QString* error = nullptr);

}  // namespace storage
