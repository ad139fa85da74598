#pragma once
// Archiving of a finished statistics day into "<archive dir>/<yyyy-MM-dd>.db". The day's rows
// move out of the running database in one transaction: into a new archive, or added to the
// counts of an archive of the same date that exists already. A move that failed leaves both
// files as they were; one that is done is never done again.

#include <QJsonObject>
#include <QString>

namespace stats {

// True for a valid date written "yyyy-MM-dd" (the only names given to archives).
bool isDayDate(const QString& text);

// "<dir>/<date>.db" as an absolute path.
QString archivePath(const QString& archiveDir, const QString& date);

// One document with the counts of both (the first one's shift starts stay); either may be
// empty.
QJsonObject mergeDayDocuments(const QJsonObject& archived, const QJsonObject& finished);

// Moves the running database's day into the archive of date (made when missing; a damaged one
// is kept aside first). Returns the archive path, or an empty string (with a warning).
QString archiveDayFile(const QString& runningFile, const QString& archiveDir, const QString& date);

}  // namespace stats
