#include "roitable.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>
#include <functional>

#include "sqlitefiles.h"

namespace roi {

namespace {

QString describe(const QSqlQuery& query) {
    return query.lastError().text() + QStringLiteral(" [") + query.lastQuery() +
           QStringLiteral("]");
}

bool prepare(QSqlQuery& query, const QString& text, QString* error) {
    if (query.prepare(text)) return true;
    *error = describe(query);
    return false;
}

bool exec(QSqlQuery& query, QString* error) {
    if (query.exec()) return true;
    *error = describe(query);
    return false;
}

}  // namespace

RoiTable::RoiTable(QSqlDatabase db, const QString& table) : db_(db), table_(table) {}

QString RoiTable::quotedTable() const {
    QString name = table_;
    name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

bool RoiTable::ensureExists(QString* error) {
    if (!db_.isOpen()) {
        *error = QStringLiteral("parameter database is not open");
        return false;
    }
    QSqlQuery query(db_);
    if (query.exec(QStringLiteral("create table if not exists %1 (name text, value text)")
                       .arg(quotedTable())))
        return true;
    *error = describe(query);
    return false;
}

bool RoiTable::readAll(QHash<QString, QString>* rows, QString* error) {
    rows->clear();
    if (!ensureExists(error)) return false;
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("select name, value from %1 order by rowid").arg(quotedTable())) &&
        !query.exec(QStringLiteral("select name, value from %1").arg(quotedTable()))) {
        *error = describe(query);
        return false;
    }
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (!rows->contains(name)) rows->insert(name, query.value(1).toString());
    }
    return true;
}

bool RoiTable::inTransaction(const char* what, const std::function<bool(QString*)>& work,
                             QString* error) {
    if (!storage::opensFile(db_)) {
        *error = QStringLiteral("parameter database is not open on a file");
        qWarning() << "ROI table" << table_ << what << "failed:" << *error;
        return false;
    }
    if (!db_.transaction()) {
        *error = QStringLiteral("cannot start a transaction: ") + db_.lastError().text();
        qWarning() << "ROI table" << table_ << what << "failed:" << *error;
        return false;
    }
    QString reason;
    bool ok = work(&reason);
    if (ok && !db_.commit()) {
        ok = false;
        reason = QStringLiteral("commit failed: ") + db_.lastError().text();
    }
    if (!ok) {
        db_.rollback();
        *error = reason;
        qWarning() << "ROI table" << table_ << what << "failed and was rolled back:" << reason;
    }
    return ok;
}

bool RoiTable::insertRows(const QVector<TableRow>& rows, QString* error) {
    return inTransaction(
        "insert",
        [&](QString* reason) {
            QSqlQuery insert(db_);
            if (!prepare(
                    insert,
                    QStringLiteral("insert into %1 (name, value) values (?, ?)").arg(quotedTable()),
                    reason))
                return false;
            for (const TableRow& row : rows) {
                insert.bindValue(0, row.name);
                insert.bindValue(1, row.value);
                if (!exec(insert, reason)) return false;
            }
            return true;
        },
        error);
}

bool RoiTable::writeRows(const QVector<TableRow>& rows, const QStringList& removed,
                         QString* error) {
    return inTransaction(
        "save",
        [&](QString* reason) {
            if (!ensureExists(reason)) return false;
            // Rows are addressed by rowid where the table has one: the name column carries no
            // index, and a lookup by name would scan the table once per row.
            QHash<QString, QVector<qint64>> existing;
            bool byRowId = true;
            {
                QSqlQuery names(db_);
                names.setForwardOnly(true);
                if (!names.exec(QStringLiteral("select rowid, name from %1").arg(quotedTable()))) {
                    byRowId = false;
                    if (!names.exec(QStringLiteral("select 0, name from %1").arg(quotedTable()))) {
                        *reason = describe(names);
                        return false;
                    }
                }
                while (names.next())
                    existing[names.value(1).toString()].append(names.value(0).toLongLong());
            }
            const QString key = byRowId ? QStringLiteral("rowid") : QStringLiteral("name");
            QSqlQuery update(db_), insert(db_), remove(db_);
            if (!prepare(
                    update,
                    QStringLiteral("update %1 set value = ? where %2 = ?").arg(quotedTable(), key),
                    reason) ||
                !prepare(
                    insert,
                    QStringLiteral("insert into %1 (name, value) values (?, ?)").arg(quotedTable()),
                    reason) ||
                !prepare(remove,
                         QStringLiteral("delete from %1 where %2 = ?").arg(quotedTable(), key),
                         reason))
                return false;
            // Runs `query` once for every row of that name (once by name without rowids).
            auto forEachRow = [&](QSqlQuery& query, int keyIndex, const QString& name,
                                  const QVector<qint64>& ids) {
                if (!byRowId) {
                    query.bindValue(keyIndex, name);
                    return exec(query, reason);
                }
                for (const qint64 id : ids) {
                    query.bindValue(keyIndex, id);
                    if (!exec(query, reason)) return false;
                }
                return true;
            };
            for (const TableRow& row : rows) {
                const auto found = existing.constFind(row.name);
                if (found != existing.constEnd()) {
                    update.bindValue(0, row.value);
                    if (!forEachRow(update, 1, row.name, *found)) return false;
                } else {
                    insert.bindValue(0, row.name);
                    insert.bindValue(1, row.value);
                    if (!exec(insert, reason)) return false;
                }
            }
            for (const QString& name : removed) {
                const auto found = existing.constFind(name);
                if (found == existing.constEnd()) continue;
                if (!forEachRow(remove, 0, name, *found)) return false;
            }
            return true;
        },
        error);
}

}  // namespace roi
