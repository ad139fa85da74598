#include "statisticssqlite.h"

#include <QDebug>
#include <QSqlError>
#include <QVariant>

#include "sqlitefiles.h"

namespace stats {

namespace {

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

bool ensureStatisticsTable(QSqlQuery& query) {
    if (query.exec(kCreateTable)) return true;
    qWarning() << "statistics: database" << query.lastQuery()
               << "unusable:" << query.lastError().text();
    return false;
}

bool ensureStatisticsTable(QSqlDatabase database) {
    QSqlQuery query(database);
    return ensureStatisticsTable(query);
}

bool createStatisticsFile(const QString& file, const QString& templateFile) {
    return storage::createDatabase(file, {kCreateTable}, templateFile);
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
