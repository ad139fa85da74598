#include "statisticsarchive.h"

#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSqlQuery>

#include "sqlitefiles.h"
#include "statisticsconstants.h"
#include "statisticsjson.h"
#include "statisticssqlite.h"

namespace stats {

namespace {

const QString kRunningAlias = QStringLiteral("running");

int detectCountOf(const QJsonObject& day) {
    return day.value(QStringLiteral("groups"))
        .toArray()
        .first()
        .toObject()
        .value(QStringLiteral("detectCount"))
        .toInt();
}

QString readDocument(QSqlQuery& query, const QString& schema) {
    if (!query.exec(
            QStringLiteral("select value1 from %1.resstatistics where name='statisticsjson'")
                .arg(schema)))
        return QString();
    const QString text = query.next() ? query.value(0).toString() : QString();
    query.finish();
    return text;
}

}  // namespace

bool isDayDate(const QString& text) {
    return text.size() == 10 && QDate::fromString(text, QString::fromLatin1(kDateFormat)).isValid();
}

QString archivePath(const QString& archiveDir, const QString& date) {
    return QDir(archiveDir).absoluteFilePath(date + QStringLiteral(".db"));
}

QJsonObject mergeDayDocuments(const QJsonObject& archived, const QJsonObject& finished) {
    if (archived.isEmpty()) return finished;
    if (finished.isEmpty()) return archived;
    CountGroupList into;
    CountGroupList from;
    dayFromJson(into, archived);
    dayFromJson(from, finished);
    addDay(into, from);
    return dayToJson(into, qMax(detectCountOf(archived), detectCountOf(finished)));
}

QString archiveDayFile(const QString& runningFile, const QString& archiveDir, const QString& date) {
    if (!isDayDate(date)) {
        qWarning() << "statistics: refusing to archive a day named" << date;
        return QString();
    }
    if (!QFileInfo(runningFile).isFile()) {
        qWarning() << "statistics: no running database" << runningFile << "to archive";
        return QString();
    }
    if (!QDir().mkpath(archiveDir)) {
        qWarning() << "statistics: cannot make the archive directory" << archiveDir;
        return QString();
    }
    const QString target = archivePath(archiveDir, date);
    const storage::DbCheck existing = storage::checkDatabase(target);
    if (existing.state == storage::DbState::Damaged) {
        qWarning() << "statistics: the archive" << target << "is damaged:" << existing.reason;
        if (storage::moveAside(target).isEmpty()) return QString();
    }
    if (!QFileInfo::exists(target) && !createStatisticsFile(target, QString())) return QString();
    const bool moved =
        storage::inTransactionWith(target, runningFile, kRunningAlias, [](QSqlQuery& query) {
            if (!ensureStatisticsTable(query)) return false;
            const QJsonObject merged =
                mergeDayDocuments(documentFromText(readDocument(query, QStringLiteral("main"))),
                                  documentFromText(readDocument(query, kRunningAlias)));
            return upsertDayDocument(query, QString::fromUtf8(documentText(merged))) &&
                   query.exec(QStringLiteral("DELETE FROM %1.resstatistics").arg(kRunningAlias));
        });
    if (!moved) {
        qWarning() << "statistics: the day" << date << "was not archived into" << target;
        return QString();
    }
    return target;
}

}  // namespace stats
