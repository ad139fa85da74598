#pragma once
#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <deque>

#include "recordlimits.h"

// The operator log: one row per operator action or notable event in "RECORD.db" (table RECORD:
// recordtime "hh.mm.ss", recordpassword = login level text, remarks), holding the rows of one
// day. Past days are archived as "./RECORD/<yyyy-MM-dd>.db"; "time.txt" names the day the
// current file belongs to. The template "RECORDNULL.db" replaces a missing "RECORD.db" at
// start (main window).
//
// Every path is relative to the folder given at construction (the working directory in the
// program). All calls run in the GUI thread.
class OperationLog {
public:
    static constexpr const char* kDatabaseFile = "RECORD.db";
    static constexpr const char* kTemplateFile = "RECORDNULL.db";
    static constexpr const char* kDayFile = "time.txt";
    static constexpr const char* kArchiveFolder = "RECORD";
    static constexpr const char* kConnectionName = "dbRecord";

    // maxPending: how many records may wait for the disk (see insert).
    explicit OperationLog(const QString& folder = QStringLiteral("."),
                          const QString& connectionName = QLatin1String(kConnectionName),
                          int maxPending = records::kMaxPendingRecords);
    ~OperationLog();
    OperationLog(const OperationLog&) = delete;
    OperationLog& operator=(const OperationLog&) = delete;

    // Appends a row; values are bound, so any text is stored as typed. False when the
    // database cannot be opened or written: the row then waits in memory, with the rows that
    // wait already, and they are written in their order before any later row (at most
    // maxPending wait; the oldest gives way).
    bool insert(const QString& time, const QString& level, const QString& remarks);
    // Writes the waiting rows; true when none is left.
    bool writePending();
    int pendingCount() const { return int(pending_.size()); }
    // Deletes every row of the current day (archives are untouched), also the waiting ones.
    bool clear();

    // The day the current file belongs to, read from "time.txt". An unreadable file gives
    // today (and the file is written); a word that is no valid date falls back to the date of
    // the database file.
    void loadRecordDay(const QDate& today);
    QString recordDay() const { return recordDay_; }

    // Day rollover: when today differs from the record day, moves the day's rows into the
    // archive of the record day (in one transaction) and goes on in the emptied file. Nothing
    // is lost on failure: the rows stay and the rollover is tried again at the next call.
    // Waiting rows are written first (they belong to the record day); while they cannot be,
    // the day does not change.
    // Returns false on failure, also when "time.txt" cannot be written (tried again each call).
    bool checkDate(const QDate& today);

    // The database connection (the records page reads through it).
    QSqlDatabase database() const;

    // Creates an empty log database with the RECORD table (used for "RECORDNULL.db").
    static bool createEmptyDatabase(const QString& path);

private:
    QString path(const QString& name) const;
    bool ensureOpen();
    bool archiveCurrentFile();
    bool writeDayFile(const QString& day);

    struct Row {
        QString time;
        QString level;
        QString remarks;
    };

    QString folder_;
    QString connectionName_;
    QString recordDay_;
    bool dayFileStale_ = false;
    std::deque<Row> pending_;
    int maxPending_;
};
