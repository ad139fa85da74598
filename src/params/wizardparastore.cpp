#include "wizardparastore.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include "durablefile.h"
#include "paramfiles.h"
#include "paramgroups.h"
#include "paramlimits.h"
#include "wizardpara.h"
#include "writecause.h"

namespace {

const QString kCreateTable =
    QStringLiteral("create table if not exists sysparam (name text, value text)");
const QString kSelectRow = QStringLiteral("select value from sysparam where name = ?");
const QString kUpdateRow = QStringLiteral("update sysparam set value = ? where name = ?");
const QString kInsertRow = QStringLiteral("insert into sysparam (name, value) values (?, ?)");

bool exec(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql)) return false;
    for (const QVariant& v : values) query.addBindValue(v);
    return query.exec();
}

}  // namespace

WizardParaStore::WizardParaStore(QSqlDatabase db) : db_(db) {}

bool WizardParaStore::createTable() {
    QSqlQuery query(db_);
    if (!query.exec(kCreateTable)) {
        qWarning() << "cannot create the sysparam table:" << query.lastError().text();
        return false;
    }
    return true;
}

bool WizardParaStore::readRows(WizardPara& para, params::StoreContext& ctx) {
    if (!db_.isOpen()) {
        qWarning() << "system parameters not read: the parameter database is not open";
        return false;
    }
    // A database without the table still gets the rows that are inserted when missing.
    if (!db_.tables().contains(QLatin1String(params::kParamTable))) createTable();
    bool allRead = true;
    QSqlQuery query(db_);
    for (const params::RowSpec& row : params::ParamSchema::rows()) {
        if (!exec(query, kSelectRow, {row.name})) {
            qWarning() << "cannot read system parameter row" << row.name << ":"
                       << query.lastError().text();
            allRead = false;
            continue;
        }
        const bool found = query.next();
        const QString value = found ? query.value(0).toString() : QString();
        query.finish();
        if (found) {
            params::ParamSchema::readRow(row, value, para, ctx);
            continue;
        }
        if (!row.insertWhenMissing) {
            qWarning() << "system parameter row" << row.name << "is missing; its values stay";
            continue;
        }
        QSqlQuery insert(db_);
        if (!exec(insert, kInsertRow, {row.name, row.missingValue}))
            qWarning() << "cannot insert system parameter row" << row.name << ":"
                       << insert.lastError().text();
    }
    return allRead;
}

bool WizardParaStore::writeRows(const WizardPara& para, const params::StoreContext& ctx) {
    if (!storage::opensFile(db_)) {
        qWarning() << "system parameters not saved: the parameter database is not open on a file";
        return false;
    }
    // The operator is told why a save failed by SQLite's own answer (a full disk, a read-only
    // or a damaged file), not by the room the disk has left.
    if (!db_.transaction()) {
        storage::noteSqlOutcome(db_.databaseName(), db_.lastError());
        qWarning() << "system parameters not saved: no transaction:" << db_.lastError().text();
        return false;
    }
    QString failure;
    QSqlError error;
    QSqlQuery query(db_);
    if (!query.exec(kCreateTable)) {
        error = query.lastError();
        failure = error.text();
    }
    for (const params::RowSpec* row : params::ParamSchema::rowsInSaveOrder()) {
        if (!failure.isEmpty()) break;
        const QString value = params::ParamSchema::rowText(*row, para, ctx);
        if (!exec(query, kUpdateRow, {value, row->name}) ||
            (query.numRowsAffected() == 0 && !exec(query, kInsertRow, {row->name, value}))) {
            error = query.lastError();
            failure = row->name + QStringLiteral(": ") + error.text();
        }
    }
    query.finish();
    if (failure.isEmpty() && db_.commit()) {
        storage::noteSqlOutcome(db_.databaseName(), QSqlError());
        return true;
    }
    if (failure.isEmpty()) {
        error = db_.lastError();
        failure = error.text();
    }
    storage::noteSqlOutcome(db_.databaseName(), error);
    if (!db_.rollback()) qWarning() << "rollback failed:" << db_.lastError().text();
    qWarning() << "system parameters not saved, the stored values stay:" << failure;
    return false;
}

bool WizardParaStore::ensureRow(const QString& name, const QString& value) {
    if (!storage::opensFile(db_)) return false;
    QSqlQuery query(db_);
    if (!exec(query, kSelectRow, {name})) {
        qWarning() << "cannot read system parameter row" << name << query.lastError().text();
        return false;
    }
    const bool found = query.next();
    query.finish();
    if (found) return true;
    if (!exec(query, kInsertRow, {name, value})) {
        qWarning() << "cannot insert system parameter row" << name << query.lastError().text();
        return false;
    }
    return true;
}

bool WizardParaStore::createDefaultDatabase(const QString& path, const TableMaker& makeTables) {
    if (QFileInfo::exists(path)) {
        qWarning() << "not creating" << path << ": it exists";
        return false;
    }
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath())) {
        qWarning() << "cannot create the folder of" << path;
        return false;
    }
    // Built under a temporary name so that a half-made database never appears as the real one.
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    bool ok = false;
    {
        storage::SqliteConnection connection(building);
        QSqlDatabase db = connection.database();
        if (connection.isOpen()) {
            WizardPara factory;
            params::StoreContext ctx;
            params::ParamSchema::applyFactory(factory, ctx);
            ok = WizardParaStore(db).writeRows(factory, ctx);
            if (ok && makeTables) {
                ok = db.transaction() && makeTables(db) && db.commit();
                if (!ok) {
                    qWarning() << "cannot add the further tables:" << db.lastError().text();
                    db.rollback();
                }
            }
        } else {
            qWarning() << "cannot open" << building << connection.errorText();
        }
    }
    if (ok && !(storage::syncPath(building) && QFile::rename(building, path) &&
                storage::syncPath(target.absolutePath()))) {
        qWarning() << "cannot move the new parameter database to" << path;
        ok = false;
    }
    if (!ok) QFile::remove(building);
    if (ok) qInfo() << "created the parameter database" << path << "from the factory values";
    return ok;
}

QString WizardParaStore::factoryDatabasePath(const QString& workDir) {
    return QDir(workDir).filePath(QStringLiteral("%1/%2/%3")
                                      .arg(QLatin1String(params::kGroupFolder),
                                           QLatin1String(params::kDefaultGroupName),
                                           QLatin1String(params::kParamDatabaseFile)));
}

bool WizardParaStore::ensureFactoryDatabase(const QString& workDir, const TableMaker& makeTables) {
    const QString path = factoryDatabasePath(workDir);
    const storage::DbCheck check = checkDatabase(path);
    if (check.usable()) return true;
    if (check.state == storage::DbState::Damaged) {
        qCritical() << "the factory parameter database" << path << "is damaged:" << check.reason;
        if (storage::moveAside(path).isEmpty()) return false;
    }
    return createDefaultDatabase(path, makeTables);
}

storage::DbCheck WizardParaStore::checkDatabase(const QString& path) {
    storage::DbCheck check = storage::checkDatabase(path, {QLatin1String(params::kParamTable)});
    if (!check.usable()) return check;
    storage::SqliteConnection connection(path);
    QSqlQuery query(connection.database());
    QSet<QString> present;
    if (!query.exec(QStringLiteral("select name, value from sysparam"))) {
        check.state = storage::DbState::Damaged;
        check.reason = query.lastError().text();
        return check;
    }
    while (query.next()) present.insert(query.value(0).toString());
    QStringList missing;
    for (const params::RowSpec& row : params::ParamSchema::rows())
        if (!row.insertWhenMissing && !present.contains(row.name)) missing << row.name;
    if (!missing.isEmpty()) {
        // Without these rows the program would run on built-in values, unseen.
        check.state = storage::DbState::Damaged;
        check.reason = QStringLiteral("rows missing: ") + missing.join(QStringLiteral(", "));
    }
    return check;
}

WizardParaStore::Restore WizardParaStore::restoreWorkingDatabase(const QString& workDir,
                                                                 const TableMaker& makeTables) {
    Restore result;
    const QString working = QDir(workDir).filePath(QLatin1String(params::kParamDatabaseFile));
    QStringList sources;
    if (QFileInfo::exists(working)) {
        const QString group = ParamGroups(workDir).nameAt(
            params::readGroupIndex(QDir(workDir).filePath(QLatin1String(params::kGroupIndexFile))));
        if (group != QLatin1String(params::kDefaultGroupName))
            sources << QDir(ParamGroups(workDir).groupsPath())
                           .filePath(group + QLatin1Char('/') +
                                     QLatin1String(params::kParamDatabaseFile));
    }
    if (ensureFactoryDatabase(workDir, makeTables)) sources << factoryDatabasePath(workDir);
    for (const QString& source : qAsConst(sources)) {
        if (!checkDatabase(source).usable()) {
            qWarning() << "parameter database" << source << "cannot be used to restore";
            continue;
        }
        if (!storage::installDatabaseCopy(source, working, &result.keptAs)) return result;
        params::syncFiles();
        result.restored = true;
        result.source = source;
        qInfo() << "restored" << working << "from" << source;
        return result;
    }
    return result;
}
