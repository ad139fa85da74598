#include "sqlitefiles.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QVariant>

#include "durablefile.h"
#include "storagelimits.h"

namespace storage {

namespace {

QString uniqueConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("storage-%1").arg(counter.fetchAndAddRelaxed(1));
}

QString lastError(const QSqlQuery& query) {
    return query.lastError().text();
}

// A path that is neither a file nor a folder nor a journal of one.
QString keptName(const QString& path) {
    const QString stem = path + QLatin1String(kDamagedInfix) +
                         QDateTime::currentDateTime().toString(QLatin1String(kKeptTimeFormat));
    for (int n = 0; n <= kMaxKeptCopiesPerSecond; ++n) {
        const QString candidate = n == 0 ? stem : stem + QStringLiteral("-%1").arg(n);
        bool taken = QFileInfo::exists(candidate);
        for (const char* companion : kSqliteCompanions)
            taken = taken || QFileInfo::exists(candidate + QLatin1String(companion));
        if (!taken) return candidate;
    }
    return QString();
}

bool hasCompanions(const QString& path) {
    for (const char* companion : kSqliteCompanions)
        if (QFileInfo::exists(path + QLatin1String(companion))) return true;
    return false;
}

}  // namespace

SqliteConnection::SqliteConnection(const QString& file, const QString& name)
    : name_(name.isEmpty() ? uniqueConnectionName() : name) {
    database_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    database_.setDatabaseName(file);
    open_ = database_.open();
    if (!open_) error_ = database_.lastError().text();
}

SqliteConnection::~SqliteConnection() {
    if (database_.isOpen()) database_.close();
    database_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

bool opensFile(const QSqlDatabase& db) {
    const QString name = db.databaseName();
    return db.isOpen() && !name.isEmpty() && name != QLatin1String(":memory:");
}

DbCheck checkDatabase(const QString& path, const QStringList& requiredTables) {
    DbCheck check;
    const QFileInfo info(path);
    if (!info.exists()) return check;
    check.state = DbState::Damaged;
    if (!info.isFile()) {
        check.reason = QStringLiteral("not a file");
        return check;
    }
    SqliteConnection connection(path);
    if (!connection.isOpen()) {
        check.reason = connection.errorText();
        return check;
    }
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("PRAGMA quick_check"))) {
        check.reason = lastError(query);
        return check;
    }
    QStringList problems;
    while (query.next()) problems << query.value(0).toString();
    query.finish();
    if (problems != QStringList{QStringLiteral("ok")}) {
        check.reason = problems.join(QStringLiteral("; "));
        return check;
    }
    const QStringList tables = connection.database().tables();
    QStringList missing;
    for (const QString& table : requiredTables)
        if (!tables.contains(table)) missing << table;
    if (!missing.isEmpty()) {
        check.reason = QStringLiteral("tables missing: ") + missing.join(QStringLiteral(", "));
        return check;
    }
    check.state = DbState::Usable;
    return check;
}

QString moveAside(const QString& path) {
    const QString kept = keptName(path);
    bool moved = false;
    bool failed = kept.isEmpty();
    if (!failed && QFileInfo::exists(path)) {
        failed = !QFile::rename(path, kept);
        moved = !failed;
    }
    for (const char* companion : kSqliteCompanions) {
        const QString from = path + QLatin1String(companion);
        if (failed || !QFileInfo::exists(from)) continue;
        if (QFile::rename(from, kept + QLatin1String(companion))) {
            moved = true;
        } else {
            // Left there, it would be played back into whatever file takes the name next.
            qWarning().noquote() << "cannot keep" << from << "aside; removing it";
            failed = !QFile::remove(from);
        }
    }
    if (failed) {
        qWarning().noquote() << "cannot keep" << path << "aside";
        return QString();
    }
    syncPath(QFileInfo(path).absolutePath());
    if (moved) qWarning().noquote() << path << "kept as" << kept;
    return kept;
}

namespace {
// Settles a database that is to be copied (an interrupted write is rolled back) and checks it.
bool usableSource(const QString& source, QString* why) {
    const DbCheck check = checkDatabase(source);
    if (check.usable()) return true;
    *why = check.state == DbState::Missing ? QStringLiteral("it is missing")
                                           : QStringLiteral("it is damaged: ") + check.reason;
    return false;
}
}  // namespace

bool copyDatabase(const QString& source, const QString& target, QString* error) {
    QString why;
    if (usableSource(source, &why)) return copyFile(source, target, error);
    qWarning().noquote() << "cannot copy" << source << "-" << why;
    if (error) *error = why;
    return false;
}

bool installDatabaseCopy(const QString& source, const QString& target, QString* keptAs,
                         QString* error) {
    const auto failed = [&](const QString& why) {
        qWarning().noquote() << "cannot put a copy of" << source << "in place of" << target << "-"
                             << why;
        if (error) *error = why;
        return false;
    };
    QString why;
    if (!usableSource(source, &why)) return failed(why);
    StagedFile copy(target);
    if (!copy.append(source) || !copy.seal()) return failed(copy.errorString());
    QString kept;
    // A journal without its database goes aside too: it would be played back into the copy.
    const bool hadTarget = QFileInfo::exists(target);
    if (hadTarget || hasCompanions(target)) {
        kept = moveAside(target);
        if (kept.isEmpty()) return failed(QStringLiteral("the old file cannot be kept aside"));
    }
    if (!copy.commit()) {
        if (hadTarget) QFile::rename(kept, target);
        return failed(copy.errorString());
    }
    if (keptAs) *keptAs = hadTarget ? kept : QString();
    return true;
}

bool replaceDatabase(const QString& source, const QString& target, QString* error) {
    const auto failed = [&](const QString& why) {
        qWarning().noquote() << "cannot replace" << target << "by a copy of" << source << "-"
                             << why;
        if (error) *error = why;
        return false;
    };
    QString why;
    if (!usableSource(source, &why)) return failed(why);
    StagedFile copy(target);
    if (!copy.append(source) || !copy.seal()) return failed(copy.errorString());
    if (QFileInfo::exists(target)) checkDatabase(target);
    for (const char* companion : kSqliteCompanions) {
        const QString journal = target + QLatin1String(companion);
        if (QFileInfo::exists(journal) && !QFile::remove(journal))
            return failed(QStringLiteral("its journal %1 cannot be removed").arg(journal));
    }
    if (!copy.commit()) return failed(copy.errorString());
    return true;
}

bool createDatabase(const QString& path, const QStringList& statements, const QString& templateFile,
                    QString* error) {
    QString why;
    if (QFileInfo::exists(path)) {
        why = QStringLiteral("it exists");
    } else if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        why = QStringLiteral("its folder cannot be made");
    } else {
        const QString building = path + QStringLiteral(".building");
        QFile::remove(building);
        for (const char* companion : kSqliteCompanions)
            QFile::remove(building + QLatin1String(companion));
        bool ok = true;
        if (!templateFile.isEmpty() && checkDatabase(templateFile).usable()) {
            StagedFile copy(building);
            ok = copy.append(templateFile) && copy.commit();
            if (!ok) why = copy.errorString();
        }
        if (ok) {
            SqliteConnection connection(building);
            ok = connection.isOpen();
            if (!ok) why = connection.errorText();
            QSqlQuery query(connection.database());
            for (const QString& statement : statements) {
                if (!ok) break;
                ok = query.exec(statement);
                if (!ok) why = lastError(query);
            }
        }
        // The file is synced by SQLite's commits; the size and the folder entry are checked here.
        ok = ok && syncPath(building) && !hasCompanions(building) &&
             QFile::rename(building, path) && syncPath(QFileInfo(path).absolutePath());
        if (ok) return true;
        if (why.isEmpty()) why = QStringLiteral("it cannot be put in place");
        QFile::remove(building);
    }
    qWarning().noquote() << "cannot create the database" << path << "-" << why;
    if (error) *error = why;
    return false;
}

bool inTransactionWith(const QString& mainFile, const QString& attachedFile, const QString& alias,
                       const std::function<bool(QSqlQuery&)>& work, QString* error) {
    QString why;
    {
        SqliteConnection connection(mainFile);
        QSqlDatabase db = connection.database();
        QSqlQuery query(db);
        if (!connection.isOpen()) {
            why = connection.errorText();
        } else {
            query.prepare(QStringLiteral("ATTACH DATABASE ? AS ") + alias);
            query.addBindValue(attachedFile);
            if (!query.exec()) {
                why = lastError(query);
            } else {
                if (!db.transaction()) {
                    why = db.lastError().text();
                } else if (!work(query)) {
                    why = lastError(query);
                    if (why.isEmpty()) why = QStringLiteral("the work failed");
                    query.finish();
                    db.rollback();
                } else {
                    query.finish();
                    if (!db.commit()) {
                        why = db.lastError().text();
                        db.rollback();
                    }
                }
                query.finish();
                query.exec(QStringLiteral("DETACH DATABASE ") + alias);
            }
        }
    }
    if (why.isEmpty()) return true;
    qWarning().noquote() << "transaction on" << mainFile << "with" << attachedFile
                         << "failed:" << why;
    if (error) *error = why;
    return false;
}

}  // namespace storage
