#include "exportselection.h"

#include <QDir>

#include "statisticsconstants.h"

namespace stats {

QPair<QDate, QDate> presetRange(int preset, const QDate& today) {
    switch (preset) {
        case PresetOneDay:
            return {today, today};
        case PresetSevenDays:
            return {today.addDays(-7).addDays(1), today};
        case PresetOneMonth:
            return {today.addMonths(-1).addDays(1), today};
        case PresetSixMonths:
            return {today.addMonths(-6).addDays(1), today};
        case PresetOneYear:
            return {today.addYears(-1).addDays(1), today};
        default:
            return {};
    }
}

QStringList exportFiles(const QString& archiveDir, const QDate& first, const QDate& last,
                        const QDate& today) {
    const auto inRange = [&](const QDate& day) {
        return day.isValid() && first.isValid() && last.isValid() && first <= day && day <= last;
    };
    QStringList files;
    const QStringList names = QDir(archiveDir)
                                  .entryList({QStringLiteral("*.db")},
                                             QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        if (inRange(QDate::fromString(name.section(QLatin1Char('.'), 0, 0),
                                      QLatin1String(kDateFormat))))
            files << archiveDir + QLatin1Char('/') + name;
    if (inRange(today)) files << QLatin1String(kRunningDbPath);
    return files;
}

bool isDoneLine(const QByteArray& line) {
    return line.startsWith("Done");
}

}  // namespace stats
