#pragma once
// What one export to a USB disk covers: the day range of a preset of the date dialog, the day
// files of a range, and the exporter's report of a finished file.

#include <QByteArray>
#include <QDate>
#include <QPair>
#include <QString>
#include <QStringList>

namespace stats {

// Presets of the date dialog, as its button ids.
enum ExportPreset {
    PresetCustom,
    PresetOneDay,
    PresetSevenDays,
    PresetOneMonth,
    PresetSixMonths,
    PresetOneYear,
    PresetCount
};

// First and last day of a preset that ends today; month and year steps are calendar steps.
// Custom has no range of its own (two invalid dates).
QPair<QDate, QDate> presetRange(int preset, const QDate& today);

// The files of the days first..last: the archives of archiveDir in name order (a name counts
// by the date before its first "."), then the running day's database when today is in range.
QStringList exportFiles(const QString& archiveDir, const QDate& first, const QDate& last,
                        const QDate& today);

// True for a line of the exporter that reports a finished file.
bool isDoneLine(const QByteArray& line);

}  // namespace stats
