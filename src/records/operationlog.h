#pragma once
#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <deque>
#include <vector>

#include "operationrecord.h"
#include "recordlimits.h"

// The operator log: one row per operator action or notable event in "RECORD.db" (table RECORD:
// recordtime "hh.mm.ss", recordpassword = login level text, remarks), holding the rows of one
// day. Past days are archived as "./RECORD/<yyyy-MM-dd>.db"; "time.txt" names the day the
// current file belongs to. The template "RECORDNULL.db" replaces a missing "RECORD.db" at
// start (main window).
//
// A record is never kept only in memory while "RECORD.db" takes it: when a new day's rows
// cannot be rolled over (the archive is refused), they are written after the old day's rows and
// the table RECORDDAYS of "RECORD.db" says from which row on each day begins (day, firstrow).
// The rows themselves stay as they always were; a file without that table holds one day, the
// day of "time.txt". Each later rollover moves every day into its own archive.
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

    // Appends a row made on `day` (invalid: the latest day of the current file); values are
    // bound, so any text is stored as typed. A row of another day than the current file's rolls
    // the day over first, also before the minute's day check has seen midnight; when the
    // rollover is refused, the row is written after the others under its own day (see above).
    // False when the database cannot be opened or written: the row then waits in memory, with
    // the rows that wait already, keeping its day, and they are written in their order before
    // any later row (at most maxPending wait; the oldest gives way).
    bool insert(const QString& time, const QString& level, const QString& remarks,
                const QDate& day = QDate());
    // Writes the waiting rows, each into the file of its day: the rows of the record day, then
    // the day rolls over to the day of the next row, and so on. True when none is left.
    bool writePending();
    int pendingCount() const { return int(pending_.size()); }
    // Deletes the listed rows that are still in the current file: rows made after the list was
    // read (also of its day), rows waiting for the disk, rows of any other day and rows gone to
    // their archive since are kept. True also when there was none.
    bool clear(const RecordListing& listed);
    // The rows of `day` in the current file, in their order. Empty also when the file cannot be
    // read.
    std::vector<OperationRecord> recordsOf(const QDate& day);

    // The day the current file belongs to, read from "time.txt". An unreadable file gives
    // today (and the file is written); a word that is no valid date falls back to the date of
    // the database file. The days written into "RECORD.db" itself come before both.
    void loadRecordDay(const QDate& today);
    QString recordDay() const { return recordDay_; }

    // Day rollover: when today differs from the record day, moves the day's rows into the
    // archive of the record day (in one transaction) and goes on in the emptied file. Nothing
    // is lost on failure: the rows stay and the rollover is tried again at the next call.
    // Waiting rows are written first, into the files of their days; while they cannot be,
    // the day does not change. Days the current file holds besides its latest are archived
    // each into its own file, also when today is that latest day.
    // Returns false on failure, also when "time.txt" cannot be written (tried again each call).
    // Before loadRecordDay it does nothing.
    bool checkDate(const QDate& today);
    // A rollover was refused, or the current file holds rows of more than one day.
    bool rolloverDue() const { return rolloverRefused_ || days_.size() > 1; }

    // The database connection (the records page reads through it).
    QSqlDatabase database() const;

    // Creates an empty log database with the RECORD table (used for "RECORDNULL.db").
    static bool createEmptyDatabase(const QString& path);

private:
    QString path(const QString& name) const;
    bool ensureOpen(bool tell = true);
    void readDayFile(const QDate& today);
    bool readDays(QSqlDatabase& db);
    QString latestDay() const { return days_.empty() ? recordDay_ : days_.back().day; }
    // The SQL condition on rowid selecting the rows of `day` in the current file.
    QString rowsOf(const QString& day) const;
    bool archiveRows(const QString& day, qint64 beforeRow);
    bool rollOver(const QString& day);
    bool writeRowsOf(const QString& day);
    bool writeDayFile(const QString& day);

    struct Row {
        QString day;  // "yyyy-MM-dd"
        QString time;
        QString level;
        QString remarks;
    };

    // A day of the current file, from its first row on (a row of RECORDDAYS).
    struct Day {
        QString day;
        qint64 firstRow;
    };

    QString folder_;
    QString connectionName_;
    QString recordDay_;      // the day of the oldest rows in the current file
    std::vector<Day> days_;  // empty while the file holds one day only
    bool rolloverRefused_ = false;
    bool dayFileStale_ = false;
    std::deque<Row> pending_;
    int maxPending_;
    // Rows added so far, and how many had been when the waiting was last logged: a retry of
    // the same rows on a disk that stays full logs nothing new.
    quint64 added_ = 0;
    quint64 addedWhenLogged_ = 0;
    QString lastFailure_;  // why the last write of waiting rows failed
};
