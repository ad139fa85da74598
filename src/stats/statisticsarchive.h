#pragma once
// Archiving of a finished statistics day: the running database file is renamed into the
// archive directory under the day's date. An existing archive is never replaced.

#include <QString>

namespace stats {

// True for a valid date written "yyyy-MM-dd" (the only names given to archives).
bool isDayDate(const QString& text);

// "<dir>/<date>.db", or "<dir>/<date>.<n>.db" with the smallest free n when that exists;
// empty when every name up to the bound is taken.
QString freeArchivePath(const QString& archiveDir, const QString& date);

// Moves runningFile into the archive directory (made when missing); returns the archive
// path, or an empty string (with a warning) when nothing was moved.
QString archiveDayFile(const QString& runningFile, const QString& archiveDir, const QString& date);

}  // namespace stats
