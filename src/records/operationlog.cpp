#include "operationlog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <limits>

#include "durablefile.h"
#include "recordlimits.h"
#include "sqlitefiles.h"
#include "writecause.h"

namespace {
constexpr const char* kDayFormat = "yyyy-MM-dd";
constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)";
constexpr const char* kCreateDays =
    "CREATE TABLE IF NOT EXISTS RECORDDAYS(day TEXT, firstrow INTEGER)";
// A row number past every row: the whole file.
constexpr qint64 kAllRows = std::numeric_limits<qint64>::max();

bool exec(QSqlQuery& query, const QString& statement) {
    if (query.exec(statement)) return true;
    qWarning().noquote() << "record database:" << statement
                         << "failed:" << query.lastError().text();
    return false;
}
}  // namespace

OperationLog::OperationLog(const QString& folder, const QString& connectionName, int maxPending)
    : folder_(folder), connectionName_(connectionName), maxPending_(std::max(1, maxPending)) {
    QSqlDatabase db = QSqlDatabase::contains(connectionName_)
                          ? QSqlDatabase::database(connectionName_, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db.setDatabaseName(path(QLatin1String(kDatabaseFile)));
}

OperationLog::~OperationLog() {
    writePending();
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

QString OperationLog::path(const QString& name) const {
    return QDir(folder_).filePath(name);
}

QSqlDatabase OperationLog::database() const {
    return QSqlDatabase::database(connectionName_, false);
}

bool OperationLog::ensureOpen(bool tell) {
    QSqlDatabase db = database();
    if (db.isOpen()) return true;
    if (!db.open()) {
        if (tell)
            qWarning().noquote() << "cannot open" << db.databaseName() << db.lastError().text();
        lastFailure_ = db.lastError().text();
        storage::noteSqlOutcome(db.databaseName(), db.lastError());
        return false;
    }
    // Records must survive a power cut: every insert is committed to the disk before it
    // returns (the rollback journal with full synchronisation).
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("PRAGMA synchronous=FULL")) &&
        query.exec(QLatin1String(kCreateTable)) && readDays(db))
        return true;
    storage::noteSqlOutcome(db.databaseName(), query.lastError());
    lastFailure_ = query.lastError().text();
    if (tell)
        qWarning().noquote() << "cannot prepare" << db.databaseName() << query.lastError().text();
    // Prepared again by the next try, not left open without its settings.
    db.close();
    return false;
}

bool OperationLog::readDays(QSqlDatabase& db) {
    // Written by another run, maybe after a stop this one did not see: the file says which
    // days it holds, not this run's memory.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'RECORDDAYS'")))
        return false;
    std::vector<Day> days;
    if (query.next()) {
        if (!query.exec(QStringLiteral("SELECT day, firstrow FROM RECORDDAYS ORDER BY firstrow")))
            return false;
        while (query.next())
            days.push_back({query.value(0).toString(), query.value(1).toLongLong()});
    }
    days_ = days;
    if (!days_.empty()) recordDay_ = days_.front().day;
    return true;
}

bool OperationLog::insert(const QString& time, const QString& level, const QString& remarks,
                          const QDate& day) {
    // A row made after midnight belongs to the new day, also before the minute's check.
    pending_.push_back({day.isValid() ? day.toString(QLatin1String(kDayFormat)) : latestDay(), time,
                        level, remarks});
    ++added_;
    const bool written = writePending();
    // Named by the record just made: the older ones waiting were named when they were made.
    if (!written && added_ != addedWhenLogged_)
        qWarning().noquote() << pending_.size() << "records wait for the disk:" << lastFailure_
                             << "- the latest:" << time << remarks;
    addedWhenLogged_ = added_;
    if (written) return true;
    // Only what still waits after the write counts against the bound: a disk that works
    // again takes every waiting row, the new one with them.
    if (int(pending_.size()) > maxPending_) {
        qWarning().noquote() << "record dropped, too many wait for the disk:"
                             << pending_.front().time << pending_.front().remarks;
        pending_.pop_front();
    }
    return false;
}

bool OperationLog::writePending() {
    while (!pending_.empty()) {
        const QString day = pending_.front().day;
        if (day != latestDay()) {
            // Before loadRecordDay the current file's day is unknown: a row of a known day
            // waits for it rather than be filed under a day it may not belong to.
            if (recordDay_.isEmpty()) return false;
            // Refused, the row goes after the others under its own day.
            rollOver(day);
        }
        if (!writeRowsOf(day)) return false;
    }
    return true;
}

bool OperationLog::writeRowsOf(const QString& day) {
    // The retry of the same rows on a disk that stays full says nothing new.
    const bool tell = added_ != addedWhenLogged_;
    if (!ensureOpen(tell)) return false;
    QSqlDatabase db = database();
    const bool newDay = day != latestDay();
    std::vector<Day> days = days_;
    // All rows of the day or none, with the day they begin: a row is never written twice, none
    // overtakes another, and none is filed under another day.
    bool written = db.transaction();
    QSqlError failure = written ? QSqlError() : db.lastError();
    std::size_t count = 0;
    {
        QSqlQuery query(db);
        if (written && newDay) {
            if (days.empty()) days.push_back({recordDay_, 0});
            written = query.exec(QLatin1String(kCreateDays)) &&
                      query.exec(QStringLiteral("SELECT IFNULL(MAX(rowid), 0) + 1 FROM RECORD")) &&
                      query.next();
            if (written) days.push_back({day, query.value(0).toLongLong()});
            query.finish();
            for (std::size_t d = days_.size(); written && d < days.size(); ++d) {
                query.prepare(QStringLiteral("INSERT INTO RECORDDAYS(day, firstrow) VALUES(?, ?)"));
                query.bindValue(0, days[d].day);
                query.bindValue(1, days[d].firstRow);
                written = query.exec();
            }
            if (!written) failure = query.lastError();
        }
        query.prepare(QStringLiteral(
            "INSERT INTO RECORD(recordtime, recordpassword, remarks) VALUES(?, ?, ?)"));
        for (auto row = pending_.begin(); written && row != pending_.end() && row->day == day;
             ++row, ++count) {
            query.bindValue(0, row->time);
            query.bindValue(1, row->level);
            query.bindValue(2, row->remarks);
            written = query.exec();
            if (!written) failure = query.lastError();
        }
    }
    if (written && !(written = db.commit())) failure = db.lastError();
    if (written) {
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(count));
        days_ = days;
        return true;
    }
    storage::noteSqlOutcome(db.databaseName(), failure);
    lastFailure_ = failure.text();
    db.rollback();
    // Opened again by the next record: a connection SQLite opened read-only (the folder was
    // read-only then) would refuse every later record even once the folder is writable.
    db.close();
    return false;
}

QString OperationLog::rowsOf(const QString& day) const {
    if (days_.empty()) return day == recordDay_ ? QStringLiteral("1") : QStringLiteral("0");
    // A day may own more than one stretch of rows when the clock was set back.
    QStringList stretches;
    for (std::size_t d = 0; d < days_.size(); ++d) {
        if (days_[d].day != day) continue;
        QString stretch = QStringLiteral("rowid >= %1").arg(days_[d].firstRow);
        if (d + 1 < days_.size())
            stretch += QStringLiteral(" AND rowid < %1").arg(days_[d + 1].firstRow);
        stretches << QLatin1Char('(') + stretch + QLatin1Char(')');
    }
    return stretches.isEmpty() ? QStringLiteral("0") : stretches.join(QStringLiteral(" OR "));
}

std::vector<OperationRecord> OperationLog::recordsOf(const QDate& day) {
    std::vector<OperationRecord> records;
    if (!day.isValid() || !QFile::exists(path(QLatin1String(kDatabaseFile))) || !ensureOpen())
        return records;
    QSqlQuery query(database());
    if (!exec(query, QStringLiteral("SELECT recordtime, recordpassword, remarks, rowid FROM RECORD "
                                    "WHERE %1 ORDER BY rowid")
                         .arg(rowsOf(day.toString(QLatin1String(kDayFormat))))))
        return records;
    while (query.next())
        records.push_back({query.value(0).toString(), query.value(1).toString(),
                           query.value(2).toString(), query.value(3).toLongLong()});
    return records;
}

bool OperationLog::clear(const RecordListing& listed) {
    qint64 lastRow = 0;
    for (const OperationRecord& record : listed.records) lastRow = std::max(lastRow, record.row);
    if (lastRow == 0) return true;
    if (!ensureOpen()) return false;
    // The list held every row of its day in the file, and a row made since is numbered after
    // them. Rows of the day gone to their archive meanwhile (midnight passed while the list
    // stood) are no longer rows of that day here: a new day's row that took their numbers stays.
    const QString cleared = listed.day.toString(QLatin1String(kDayFormat));
    const QString rows = QStringLiteral("(%1) AND rowid <= %2").arg(rowsOf(cleared)).arg(lastRow);
    QSqlDatabase db = database();
    QSqlQuery query(db);
    // After midnight the file may still hold the day before, waiting for its archive. When the
    // whole latest stretch goes, its day then begins after the rows kept, so that rows numbered
    // anew fall into it.
    const bool latest = !days_.empty() && days_.back().day == cleared;
    const QString first = QString::number(latest ? days_.back().firstRow : 0);
    if (!db.transaction()) return false;
    if (!exec(query, QStringLiteral("DELETE FROM RECORD WHERE ") + rows) ||
        (latest &&
         !exec(query,
               QStringLiteral("UPDATE RECORDDAYS SET firstrow = (SELECT IFNULL(MAX(rowid), 0) + 1 "
                              "FROM RECORD) WHERE firstrow = %1 AND NOT EXISTS (SELECT 1 FROM "
                              "RECORD WHERE rowid >= %1)")
                   .arg(first))) ||
        !db.commit()) {
        db.rollback();
        return false;
    }
    readDays(db);
    return true;
}

void OperationLog::loadRecordDay(const QDate& today) {
    readDayFile(today);
    // The days the file names itself come first; read again whenever it is opened.
    if (QFile::exists(path(QLatin1String(kDatabaseFile)))) ensureOpen(false);
}

void OperationLog::readDayFile(const QDate& today) {
    QFile file(path(QLatin1String(kDayFile)));
    if (!file.open(QIODevice::ReadOnly)) {
        recordDay_ = today.toString(QLatin1String(kDayFormat));
        writeDayFile(recordDay_);
        return;
    }
    const QString word =
        QString::fromUtf8(file.readAll()).split(QRegExp("\\s+"), Qt::SkipEmptyParts).value(0);
    if (QDate::fromString(word, QLatin1String(kDayFormat)).isValid()) {
        recordDay_ = word;
        return;
    }
    const QFileInfo db(path(QLatin1String(kDatabaseFile)));
    const QDate fallback = db.exists() ? db.lastModified().date() : today;
    qWarning().noquote() << "time.txt holds no valid day (" << word << "); using"
                         << fallback.toString(QLatin1String(kDayFormat));
    recordDay_ = fallback.toString(QLatin1String(kDayFormat));
}

bool OperationLog::writeDayFile(const QString& day) {
    dayFileStale_ = !storage::replaceFile(path(QLatin1String(kDayFile)), day.toUtf8());
    return !dayFileStale_;
}

bool OperationLog::checkDate(const QDate& today) {
    // Before loadRecordDay the day of the current file is unknown (a flush or a stop can come
    // while the start still asks its questions): a rollover would archive its rows under no day.
    if (recordDay_.isEmpty()) return true;
    const QString todayText = today.toString(QLatin1String(kDayFormat));
    if (!writePending()) return false;
    if (todayText == latestDay() && days_.size() <= 1) {
        rolloverRefused_ = false;
        // A day file that could not be written is tried again: a start with the old day in it
        // would archive today's records under that day.
        return !dayFileStale_ || writeDayFile(recordDay_);
    }
    return rollOver(todayText) && !dayFileStale_;
}

bool OperationLog::rollOver(const QString& day) {
    // The file's own word on its days, as another run may have left it.
    const bool exists = QFile::exists(path(QLatin1String(kDatabaseFile)));
    rolloverRefused_ = exists && !ensureOpen(false);
    database().close();
    if (!exists) days_.clear();
    // Each day the file holds goes into its own archive, the oldest first.
    while (!rolloverRefused_ && days_.size() > 1) {
        rolloverRefused_ = !archiveRows(recordDay_, days_[1].firstRow);
        if (rolloverRefused_) break;
        days_.erase(days_.begin());
        recordDay_ = days_.front().day;
        writeDayFile(recordDay_);
    }
    if (rolloverRefused_) return false;
    if (latestDay() != day) {
        if (exists && !archiveRows(latestDay(), kAllRows)) {
            rolloverRefused_ = true;
            return false;
        }
        days_.clear();
        recordDay_ = day;
        // The day has changed even when its file cannot say so yet (checkDate tries again).
        writeDayFile(recordDay_);
    }
    return true;
}

bool OperationLog::archiveRows(const QString& day, qint64 beforeRow) {
    const QString current = path(QLatin1String(kDatabaseFile));
    if (!QDir(folder_).mkpath(QLatin1String(kArchiveFolder))) {
        qWarning().noquote() << "cannot create the record archive folder";
        return false;
    }
    const QString archive =
        QDir(path(QLatin1String(kArchiveFolder))).filePath(day + QStringLiteral(".db"));
    const storage::DbCheck existing = storage::checkDatabase(archive);
    if (existing.state == storage::DbState::Damaged) {
        qWarning().noquote() << "the record archive" << archive << "is damaged:" << existing.reason;
        if (storage::moveAside(archive).isEmpty()) return false;
    }
    if (!QFile::exists(archive) && !createEmptyDatabase(archive)) return false;
    // The rows move in one transaction, also into an archive of the same day that exists
    // already (the clock was set back): a failure leaves them where they were, and a move that
    // is done is never repeated. RECORD.db is not moved, so an interrupted write in it is rolled
    // back by SQLite before its rows are read, and it stays as the new day's empty log. The
    // day's line in RECORDDAYS goes with its rows.
    const QString before = QString::number(beforeRow);
    return storage::inTransactionWith(archive, current, QStringLiteral("today"), [&](QSqlQuery& q) {
        if (!q.exec(QLatin1String(kCreateTable)) ||
            !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS today.RECORD("
                                   "recordtime TEXT, recordpassword TEXT, remarks TEXT)")) ||
            !q.exec(QStringLiteral("INSERT INTO main.RECORD SELECT recordtime, recordpassword, "
                                   "remarks FROM today.RECORD WHERE rowid < %1 ORDER BY rowid")
                        .arg(before)) ||
            !q.exec(QStringLiteral("DELETE FROM today.RECORD WHERE rowid < %1").arg(before)) ||
            !q.exec(QStringLiteral("SELECT 1 FROM today.sqlite_master "
                                   "WHERE type = 'table' AND name = 'RECORDDAYS'")))
            return false;
        if (!q.next()) return true;
        const QString days =
            beforeRow == kAllRows
                ? QStringLiteral("DELETE FROM today.RECORDDAYS")
                : QStringLiteral("DELETE FROM today.RECORDDAYS WHERE firstrow < %1").arg(before);
        return q.exec(days);
    });
}

bool OperationLog::createEmptyDatabase(const QString& path) {
    return storage::createDatabase(path, {QLatin1String(kCreateTable)});
}
