#include "statisticsarchive.h"

#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "statisticsconstants.h"
#include "statisticssqlite.h"

namespace stats {

bool isDayDate(const QString& text) {
    return text.size() == 10 && QDate::fromString(text, QString::fromLatin1(kDateFormat)).isValid();
}

QString freeArchivePath(const QString& archiveDir, const QString& date) {
    const QDir dir(archiveDir);
    const QString first = dir.absoluteFilePath(date + QStringLiteral(".db"));
    if (!QFileInfo::exists(first)) return first;
    for (int n = 1; n <= kMaxArchiveNameSuffix; ++n) {
        const QString candidate = dir.absoluteFilePath(QStringLiteral("%1.%2.db").arg(date).arg(n));
        if (!QFileInfo::exists(candidate)) return candidate;
    }
    return QString();
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
    const QString target = freeArchivePath(archiveDir, date);
    if (target.isEmpty()) {
        qWarning() << "statistics: no free archive name for" << date << "in" << archiveDir;
        return QString();
    }
    if (!target.endsWith(date + QStringLiteral(".db")))
        qWarning() << "statistics: an archive of" << date << "exists; keeping this one as"
                   << target;
    QFile file(runningFile);
    if (!file.rename(target)) {
        qWarning() << "statistics: archiving" << runningFile << "as" << target
                   << "failed:" << file.errorString();
        return QString();
    }
    syncPath(QFileInfo(target).absolutePath());
    return target;
}

}  // namespace stats
