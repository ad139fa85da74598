#include "operationlog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <algorithm>

#include "durablefile.h"
#include "recordlimits.h"
#include "sqlitefiles.h"
#include "writecause.h"

namespace {
constexpr const char* kDayFormat = "yyyy-MM-dd";
constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)";

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
        storage::noteSqlOutcome(db.databaseName(), db.lastError());
        return false;
    }
    // Records must survive a power cut: every insert is committed to the disk before it
    // returns (the rollback journal with full synchronisation).
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("PRAGMA synchronous=FULL")) &&
        query.exec(QLatin1String(kCreateTable)))
        return true;
    storage::noteSqlOutcome(db.databaseName(), query.lastError());
    if (tell)
        qWarning().noquote() << "cannot prepare" << db.databaseName() << query.lastError().text();
    // Prepared again by the next try, not left open without its settings.
    db.close();
    return false;
}

bool OperationLog::insert(const QString& time, const QString& level, const QString& remarks,
                          const QDate& day) {
    const QString made = day.isValid() ? day.toString(QLatin1String(kDayFormat)) : recordDay_;
    const bool alone = pending_.empty();
    // A new day the check has seen is never filed under the old one, also when its rollover
    // was refused: the row rolls the day over first, or waits with its day.
    pending_.push_back({alone && !rolloverDue() ? recordDay_ : made, time, level, remarks});
    ++added_;
    if (writePending()) return true;
    // A row that waits is written later into the file of the day it was made on.
    if (alone) pending_.back().day = made;
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
        // Before loadRecordDay the current file's day is unknown: a row of a known day waits
        // for it rather than be filed under a day it may not belong to.
        if (day != recordDay_ && (recordDay_.isEmpty() || !rollOver(day))) return false;
        if (!writeRowsOfRecordDay()) return false;
    }
    return true;
}

bool OperationLog::writeRowsOfRecordDay() {
    // The retry of the same rows on a disk that stays full says nothing new.
    const bool tell = added_ != addedWhenLogged_;
    if (!ensureOpen(tell)) {
        addedWhenLogged_ = added_;
        return false;
    }
    QSqlDatabase db = database();
    // All rows of the day or none: a row is never written twice, and none overtakes another.
    bool written = db.transaction();
    QSqlError failure = written ? QSqlError() : db.lastError();
    std::size_t count = 0;
    {
        QSqlQuery query(db);
        query.prepare(QStringLiteral(
            "INSERT INTO RECORD(recordtime, recordpassword, remarks) VALUES(?, ?, ?)"));
        for (auto row = pending_.begin();
             written && row != pending_.end() && row->day == recordDay_; ++row, ++count) {
            query.bindValue(0, row->time);
            query.bindValue(1, row->level);
            query.bindValue(2, row->remarks);
            written = query.exec();
            if (!written) failure = query.lastError();
            if (!written && tell)
                qWarning().noquote()
                    << "cannot store the record" << row->remarks << query.lastError().text();
        }
    }
    if (written && !(written = db.commit())) failure = db.lastError();
    if (written) {
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(count));
        return true;
    }
    storage::noteSqlOutcome(db.databaseName(), failure);
    if (tell)
        qWarning().noquote() << pending_.size() << "records wait for the disk:" << failure.text();
    addedWhenLogged_ = added_;
    db.rollback();
    // Opened again by the next record: a connection SQLite opened read-only (the folder was
    // read-only then) would refuse every later record even once the folder is writable.
    db.close();
    return false;
}

bool OperationLog::clear() {
    if (!ensureOpen()) return false;
    QSqlQuery query(database());
    if (!exec(query, QStringLiteral("DELETE FROM RECORD"))) return false;
    pending_.clear();  // made before the clearing
    return true;
}

void OperationLog::loadRecordDay(const QDate& today) {
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
    const QString todayText = today.toString(QLatin1String(kDayFormat));
    checkedDay_ = todayText;
    if (!writePending()) return false;
    // A day file that could not be written is tried again: a start with the old day in it would
    // archive today's records under that day.
    if (todayText == recordDay_) return !dayFileStale_ || writeDayFile(recordDay_);
    return rollOver(todayText) && !dayFileStale_;
}

bool OperationLog::rollOver(const QString& day) {
    database().close();
    if (!archiveCurrentFile()) return false;
    recordDay_ = day;
    // The day has changed even when its file cannot say so yet (checkDate tries again).
    writeDayFile(recordDay_);
    return true;
}

bool OperationLog::archiveCurrentFile() {
    const QString current = path(QLatin1String(kDatabaseFile));
    if (!QFile::exists(current)) return true;  // nothing recorded that day
    if (!QDir(folder_).mkpath(QLatin1String(kArchiveFolder))) {
        qWarning().noquote() << "cannot create the record archive folder";
        return false;
    }
    const QString archive =
        QDir(path(QLatin1String(kArchiveFolder))).filePath(recordDay_ + QStringLiteral(".db"));
    const storage::DbCheck existing = storage::checkDatabase(archive);
    if (existing.state == storage::DbState::Damaged) {
        qWarning().noquote() << "the record archive" << archive << "is damaged:" << existing.reason;
        if (storage::moveAside(archive).isEmpty()) return false;
    }
    if (!QFile::exists(archive) && !createEmptyDatabase(archive)) return false;
    // The rows move in one transaction, also into an archive of the same day that exists
    // already (the clock was set back): a failure leaves them where they were, and a move that
    // is done is never repeated. RECORD.db is not moved, so an interrupted write in it is rolled
    // back by SQLite before its rows are read, and it stays as the new day's empty log.
    return storage::inTransactionWith(archive, current, QStringLiteral("today"), [](QSqlQuery& q) {
        return q.exec(QLatin1String(kCreateTable)) &&
               q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS today.RECORD("
                                     "recordtime TEXT, recordpassword TEXT, remarks TEXT)")) &&
               q.exec(QStringLiteral("INSERT INTO main.RECORD SELECT recordtime, recordpassword, "
                                     "remarks FROM today.RECORD")) &&
               q.exec(QStringLiteral("DELETE FROM today.RECORD"));
    });
}

bool OperationLog::createEmptyDatabase(const QString& path) {
    return storage::createDatabase(path, {QLatin1String(kCreateTable)});
}
