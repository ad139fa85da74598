#include "operationlog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

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

OperationLog::OperationLog(const QString& folder, const QString& connectionName)
    : folder_(folder), connectionName_(connectionName) {
    QSqlDatabase db = QSqlDatabase::contains(connectionName_)
                          ? QSqlDatabase::database(connectionName_, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db.setDatabaseName(path(QLatin1String(kDatabaseFile)));
}

OperationLog::~OperationLog() {
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

bool OperationLog::ensureOpen() {
    QSqlDatabase db = database();
    if (db.isOpen()) return true;
    if (!db.open()) {
        qWarning().noquote() << "cannot open" << db.databaseName() << db.lastError().text();
        return false;
    }
    // Records must survive a power cut: every insert is committed to the disk before it
    // returns (the rollback journal with full synchronisation).
    QSqlQuery query(db);
    exec(query, QStringLiteral("PRAGMA synchronous=FULL"));
    return exec(query, QLatin1String(kCreateTable));
}

bool OperationLog::insert(const QString& time, const QString& level, const QString& remarks) {
    if (!ensureOpen()) return false;
    QSqlQuery query(database());
    query.prepare(
        QStringLiteral("INSERT INTO RECORD(recordtime, recordpassword, remarks) VALUES(?, ?, ?)"));
    query.addBindValue(time);
    query.addBindValue(level);
    query.addBindValue(remarks);
    if (query.exec()) return true;
    qWarning().noquote() << "cannot store the record" << remarks << query.lastError().text();
    return false;
}

bool OperationLog::clear() {
    if (!ensureOpen()) return false;
    QSqlQuery query(database());
    return exec(query, QStringLiteral("DELETE FROM RECORD"));
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

void OperationLog::writeDayFile(const QString& day) {
    QSaveFile file(path(QLatin1String(kDayFile)));
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "cannot write" << file.fileName();
        return;
    }
    file.write(day.toUtf8());
    if (!file.commit()) qWarning().noquote() << "cannot write" << file.fileName();
}

bool OperationLog::checkDate(const QDate& today) {
    const QString todayText = today.toString(QLatin1String(kDayFormat));
    if (todayText == recordDay_) return true;
    database().close();
    if (!archiveCurrentFile()) return false;
    if (!startFreshFile()) {
        // The day is archived; an empty log is made on the next open, so records go on.
        qWarning() << "no template for the new record day; an empty log will be created";
    }
    recordDay_ = todayText;
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
    if (QFile::exists(archive)) {
        // An archive of that day exists already (the clock was set back): add to it.
        if (!appendInto(archive)) return false;
        if (!QFile::remove(current)) {
            qWarning().noquote() << "cannot remove" << current << "after archiving it";
            return false;
        }
        return true;
    }
    if (!QFile::rename(current, archive)) {
        qWarning().noquote() << "cannot move" << current << "to" << archive;
        return false;
    }
    return true;
}

bool OperationLog::appendInto(const QString& archivePath) {
    const QString connection = connectionName_ + QStringLiteral("_archive");
    bool ok = false;
    {
        QSqlDatabase archive = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        archive.setDatabaseName(archivePath);
        if (archive.open()) {
            QSqlQuery query(archive);
            query.prepare(QStringLiteral("ATTACH DATABASE ? AS today"));
            query.addBindValue(path(QLatin1String(kDatabaseFile)));
            ok = query.exec() && exec(query, QLatin1String(kCreateTable)) &&
                 exec(query,
                      QStringLiteral("CREATE TABLE IF NOT EXISTS today.RECORD("
                                     "recordtime TEXT, recordpassword TEXT, remarks TEXT)")) &&
                 exec(query, QStringLiteral("INSERT INTO RECORD SELECT recordtime, "
                                            "recordpassword, remarks FROM today.RECORD"));
            if (!ok) qWarning().noquote() << "cannot append the day's records to" << archivePath;
            query.finish();
            query.exec(QStringLiteral("DETACH DATABASE today"));
            archive.close();
        } else {
            qWarning().noquote() << "cannot open the archive" << archivePath;
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

bool OperationLog::startFreshFile() {
    const QString current = path(QLatin1String(kDatabaseFile));
    const QString templ = path(QLatin1String(kTemplateFile));
    if (QFile::exists(templ) && QFile::copy(templ, current)) return true;
    qWarning().noquote() << "cannot copy" << templ << "to" << current;
    return createEmptyDatabase(current);
}

bool OperationLog::createEmptyDatabase(const QString& path) {
    const QString connection = QStringLiteral("recordTemplate_") + path;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            ok = exec(query, QLatin1String(kCreateTable));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    if (!ok) qWarning().noquote() << "cannot create the record database" << path;
    return ok;
}
