#pragma once
// SQL access to one camera's ROI table (two text columns: name, value). Values are always
// bound, never spliced into statement text; the table name is built from the camera number
// only.

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace roi {

struct TableRow {
    QString name;
    QString value;
};

class RoiTable {
public:
    RoiTable(QSqlDatabase db, const QString& table);

    // Creates the table when it does not exist.
    bool ensureExists(QString* error);
    // Every row as name -> value; where a name occurs twice the first row wins, as a lookup
    // by name would find it.
    bool readAll(QHash<QString, QString>* rows, QString* error);
    // Adds rows in one transaction.
    bool insertRows(const QVector<TableRow>& rows, QString* error);
    // In one transaction: creates the table when missing, updates or inserts `rows` and
    // deletes the rows named in `removed` that exist. On failure everything is rolled back.
    bool writeRows(const QVector<TableRow>& rows, const QStringList& removed, QString* error);

private:
    bool inTransaction(const char* what, const std::function<bool(QString*)>& work, QString* error);
    QString quotedTable() const;

    QSqlDatabase db_;
    QString table_;
};

}  // namespace roi
