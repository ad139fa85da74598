#include "statisticsdaylist.h"

#include <QDir>

namespace stats {

QStringList statisticsDays(const QString& archiveDir, const QString& runningDate) {
    QStringList days{runningDate};
    const QStringList names = QDir(archiveDir)
                                  .entryList({QStringLiteral("*.db")},
                                             QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (int i = names.size() - 1; i >= 0; --i) {
        QString day = names.at(i);
        day.remove(QStringLiteral(".db"));
        days.append(day);
    }
    return days;
}

QString dayFilePath(const QString& archiveDir, const QString& day) {
    return QStringLiteral("%1//%2.db").arg(QDir(archiveDir).absolutePath(), day);
}

}  // namespace stats
