#include "roitable.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>
#include <functional>

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
    if (!db_.isOpen()) {
        *error = QStringLiteral("parameter database is not open");
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
            QSet<QString> existing;
            {
                QSqlQuery names(db_);
                names.setForwardOnly(true);
                if (!names.exec(QStringLiteral("select name from %1").arg(quotedTable()))) {
                    *reason = describe(names);
                    return false;
                }
                while (names.next()) existing.insert(names.value(0).toString());
            }
            QSqlQuery update(db_), insert(db_), remove(db_);
            if (!prepare(
                    update,
                    QStringLiteral("update %1 set value = ? where name = ?").arg(quotedTable()),
                    reason) ||
                !prepare(
                    insert,
                    QStringLiteral("insert into %1 (name, value) values (?, ?)").arg(quotedTable()),
                    reason) ||
                !prepare(remove, QStringLiteral("delete from %1 where name = ?").arg(quotedTable()),
                         reason))
                return false;
            for (const TableRow& row : rows) {
                if (existing.contains(row.name)) {
                    update.bindValue(0, row.value);
                    update.bindValue(1, row.name);
                    if (!exec(update, reason)) return false;
                } else {
                    insert.bindValue(0, row.name);
                    insert.bindValue(1, row.value);
                    if (!exec(insert, reason)) return false;
                    existing.insert(row.name);
                }
            }
            for (const QString& name : removed) {
                if (!existing.contains(name)) continue;
                remove.bindValue(0, name);
                if (!exec(remove, reason)) return false;
            }
            return true;
        },
        error);
}

}  // namespace roi
