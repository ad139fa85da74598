#pragma once
// SQLite access of the statistics databases. Every operation opens its own named
// connection and removes it again, so no connection stays open between operations.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include "sqlitefiles.h"

namespace stats {

// One named connection to one database file for the life of the object.
using ScopedConnection = storage::SqliteConnection;

// Creates the table `resstatistics` when it is missing; false when the database is unusable.
bool ensureStatisticsTable(QSqlDatabase database);
bool ensureStatisticsTable(QSqlQuery& query);

// Makes a database file with the table where none exists: a copy of the template when that is
// a usable database, otherwise a new database. The file appears complete or not at all.
bool createStatisticsFile(const QString& file, const QString& templateFile);

// The stored day document, or an empty string when there is none.
QString readDayDocument(QSqlQuery& query);
// Inserts or replaces the day document; false (with a warning) when the statement failed.
bool upsertDayDocument(QSqlQuery& query, const QString& text);

}  // namespace stats
