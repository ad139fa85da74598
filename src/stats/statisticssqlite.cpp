#include "statisticssqlite.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QVariant>

namespace stats {

namespace {

const QString kDriver = QStringLiteral("QSQLITE");

const QString kCreateTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS resstatistics (name TEXT NOT NULL UNIQUE, value1 TEXT, "
    "value2 TEXT)");

const QString kUpsert = QStringLiteral(
    "INSERT INTO resstatistics (name, value1, value2) VALUES (:name, :value1, :value2) ON "
    "CONFLICT(name) DO UPDATE SET value1 = excluded.value1, value2 = excluded.value2");

const QString kReadDocument =
    QStringLiteral("select value1 from resstatistics where name='statisticsjson'");

const QString kDocumentRow = QStringLiteral("statisticsjson");

}  // namespace

ScopedConnection::ScopedConnection(const QString& connectionName, const QString& file)
    : name_(connectionName) {
    database_ = QSqlDatabase::addDatabase(kDriver, name_);
    database_.setDatabaseName(file);
    open_ = database_.open();
    if (!open_) error_ = database_.lastError().text();
}

ScopedConnection::~ScopedConnection() {
    if (database_.isOpen()) database_.close();
    database_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

bool ensureStatisticsTable(QSqlDatabase database) {
    QSqlQuery query(database);
    if (!query.exec(kCreateTable)) {
        qWarning() << "statistics: database" << database.databaseName()
                   << "unusable:" << query.lastError().text();
        return false;
    }
    return true;
}

bool syncPath(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool createStatisticsFile(const QString& file, const QString& templateFile,
                          const QString& connectionName) {
    const QString staging = file + QStringLiteral(".new");
    QFile::remove(staging);
    if (QFileInfo(templateFile).isFile() && !QFile::copy(templateFile, staging)) {
        qWarning() << "statistics: cannot copy" << templateFile << "to" << staging;
        QFile::remove(staging);
    }
    // An installed template may be read-only; the running day is written into the copy.
    if (QFileInfo::exists(staging))
        QFile::setPermissions(staging, QFile::permissions(staging) | QFileDevice::WriteOwner |
                                           QFileDevice::ReadOwner);
    bool ok = false;
    {
        ScopedConnection connection(connectionName, staging);
        ok = connection.isOpen() && ensureStatisticsTable(connection.database());
        if (!connection.isOpen())
            qWarning() << "statistics: cannot create" << staging << connection.errorText();
    }
    ok = ok && syncPath(staging);
    if (ok && !QFile::rename(staging, file)) {
        qWarning() << "statistics: cannot install" << file;
        ok = false;
    }
    if (!ok) {
        QFile::remove(staging);
        return false;
    }
    syncPath(QFileInfo(file).absolutePath());
    return true;
}

QString readDayDocument(QSqlQuery& query) {
    if (!query.exec(kReadDocument)) return QString();
    const QString text = query.next() ? query.value(0).toString() : QString();
    query.finish();
    return text;
}

bool upsertDayDocument(QSqlQuery& query, const QString& text) {
    if (!query.prepare(kUpsert)) {
        qWarning() << "Upsert failed:" << query.lastError().text();
        return false;
    }
    query.bindValue(QStringLiteral(":name"), kDocumentRow);
    query.bindValue(QStringLiteral(":value1"), text);
    query.bindValue(QStringLiteral(":value2"), QString(QLatin1String("")));
    if (!query.exec()) {
        qWarning() << "Upsert failed:" << query.lastError().text();
        return false;
    }
    query.finish();
    return true;
}

}  // namespace stats
