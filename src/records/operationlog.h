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
    // Rows that still wait get one more try: an orderly stop does not drop what the disk takes
    // again.
    ~OperationLog();
    OperationLog(const OperationLog&) = delete;
    OperationLog& operator=(const OperationLog&) = delete;

    // Appends a row made on `day` (invalid: the record day); values are bound, so any text is
    // stored as typed. A row written at once goes into the current file, whatever its day, as
    // the minute's day check leaves it; once a check has found the day changed and could not
    // roll over, the row rolls the day over first. False when the database cannot be opened or
    // written: the row then waits in memory, with the rows that wait already, keeping its day,
    // and they are written in their order before any later row (at most maxPending wait; the
    // oldest gives way).
    bool insert(const QString& time, const QString& level, const QString& remarks,
                const QDate& day = QDate());
    // Writes the waiting rows, each into the file of its day: the rows of the record day, then
    // the day rolls over to the day of the next row, and so on. True when none is left.
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
    // Waiting rows are written first, into the files of their days; while they cannot be,
    // the day does not change.
    // Returns false on failure, also when "time.txt" cannot be written (tried again each call).
    bool checkDate(const QDate& today);
    // The last check found another day than the record day and could not roll over yet.
    bool rolloverDue() const { return !checkedDay_.isEmpty() && checkedDay_ != recordDay_; }

    // The database connection (the records page reads through it).
    QSqlDatabase database() const;

    // Creates an empty log database with the RECORD table (used for "RECORDNULL.db").
    static bool createEmptyDatabase(const QString& path);

private:
    QString path(const QString& name) const;
    bool ensureOpen(bool tell = true);
    bool archiveCurrentFile();
    bool rollOver(const QString& day);
    bool writeRowsOfRecordDay();
    bool writeDayFile(const QString& day);

    struct Row {
        QString day;  // "yyyy-MM-dd"
        QString time;
        QString level;
        QString remarks;
    };

    QString folder_;
    QString connectionName_;
    QString recordDay_;
    QString checkedDay_;  // today, as the last checkDate saw it
    bool dayFileStale_ = false;
    std::deque<Row> pending_;
    int maxPending_;
    // Rows added so far, and how many had been when the waiting was last logged: a retry of
    // the same rows on a disk that stays full logs nothing new.
    quint64 added_ = 0;
    quint64 addedWhenLogged_ = 0;
};
