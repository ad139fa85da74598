#pragma once
// The statistics days offered on the screen: the running day first, then the archived days
// of the archive directory, newest first.

#include <QString>
#include <QStringList>

namespace stats {

// Row 0 is runningDate; then every "*.db" entry of archiveDir, in descending name order,
// each with every ".db" removed.
QStringList statisticsDays(const QString& archiveDir, const QString& runningDate);

// The file the screen names for a day: "<absolute archive dir>//<day>.db".
QString dayFilePath(const QString& archiveDir, const QString& day);

}  // namespace stats
