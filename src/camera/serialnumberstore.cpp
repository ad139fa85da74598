#include "serialnumberstore.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QUuid>

#include "cameralimits.h"
#include "sqlitefiles.h"

namespace camera {

namespace {

const QString kCreateTable =
    QStringLiteral("create table if not exists sysparam (name text, value text)");
const QString kSelect = QStringLiteral("select value from sysparam where name = ?");
const QString kInsert = QStringLiteral("insert into sysparam (name, value) values (?, ?)");
const QString kUpdate = QStringLiteral("update sysparam set value = ? where name = ?");

QString rowName(int slot) {
    return QLatin1String(kSerialRowPrefix) + QString::number(slot);
}

bool exec(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql)) {
        qWarning().noquote() << "serial numbers:" << sql << query.lastError().text();
        return false;
    }
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) {
        qWarning().noquote() << "serial numbers:" << sql << query.lastError().text();
        return false;
    }
    return true;
}

// Fills a freshly opened database with the table and, when asked, the empty slots.
bool createTable(QSqlDatabase& db, bool withRows) {
    QSqlQuery query(db);
    if (!exec(query, kCreateTable, {})) return false;
    if (!withRows) return true;
    for (int slot = 0; slot < kSerialSlots; ++slot) {
        if (!exec(query, kInsert, {rowName(slot), QLatin1String(kEmptySerial)})) return false;
    }
    return true;
}

}  // namespace

bool isStoredSerial(const QString& value) {
    return value.size() >= kSerialMinLength && value.size() <= kSerialMaxLength;
}

SerialNumberStore::SerialNumberStore(const QString& file, const QString& connectionName)
    : file_(file.isEmpty() ? QLatin1String(kSerialDatabaseFile) : file),
      connectionName_(connectionName.isEmpty() ? QLatin1String(kSerialConnectionName)
                                               : connectionName) {}

SerialNumberStore::~SerialNumberStore() {
    close();
}

void SerialNumberStore::close() {
    usable_ = false;
    query_ = QSqlQuery();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

bool SerialNumberStore::ensureFile(const QString& factoryCopy) {
    if (QFileInfo::exists(file_)) return true;
    if (QFileInfo(factoryCopy).isFile()) {
        if (storage::installDatabaseCopy(factoryCopy, file_)) {
            qInfo().noquote() << file_ << "was missing; restored from" << factoryCopy;
            return true;
        }
    }
    if (createDefaultDatabase(file_)) {
        qWarning().noquote() << file_ << "was missing and has no factory copy; made empty";
        return true;
    }
    return QFileInfo::exists(file_);
}

bool SerialNumberStore::open() {
    close();
    // A damaged file whose header is intact opens, and may even answer for the rows it still
    // holds: every page is read first, as for the program's other databases.
    const storage::DbCheck check = storage::checkDatabase(file_);
    if (check.state == storage::DbState::Damaged) {
        qCritical().noquote() << file_ << "cannot be used:" << check.reason;
        return false;
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(file_);
    if (!db_.open()) {
        qWarning().noquote() << "cannot open" << file_ << db_.lastError().text();
        query_ = QSqlQuery(db_);
        return false;
    }
    // A file that is not a database opens but refuses every statement; creating the table is
    // the first statement and finds that out.
    usable_ = createTable(db_, false);
    query_ = QSqlQuery(db_);
    return usable_;
}

bool SerialNumberStore::restoreFrom(const QString& factoryCopy) {
    close();
    // The broken file is kept aside, and only once the copy is complete on the disk.
    return storage::installDatabaseCopy(factoryCopy, file_);
}

QVector<QString> SerialNumberStore::load() {
    QVector<QString> serials;
    for (int slot = 0; slot < kSerialSlots; ++slot) {
        if (!exec(query_, kSelect, {rowName(slot)})) continue;
        if (query_.next()) {
            const QString value = query_.value(0).toString();
            if (isStoredSerial(value)) serials.append(value);
        } else {
            exec(query_, kInsert, {rowName(slot), QLatin1String(kEmptySerial)});
        }
    }
    return serials;
}

bool SerialNumberStore::write(int slot, const QString& serial) {
    if (!exec(query_, kUpdate, {serial, rowName(slot)})) return false;
    return query_.numRowsAffected() > 0;
}

QString SerialNumberStore::value(int slot) {
    if (!exec(query_, kSelect, {rowName(slot)}) || !query_.next()) return QString();
    return query_.value(0).toString();
}

bool SerialNumberStore::createDefaultDatabase(const QString& path) {
    if (QFileInfo::exists(path)) return false;
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) return false;
    const QString connection =
        QStringLiteral("sn-default-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open() && createTable(db, true);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!ok) QFile::remove(path);
    return ok;
}

}  // namespace camera
