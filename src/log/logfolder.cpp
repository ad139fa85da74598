#include "logfolder.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace logfiles {

namespace {

// glog names its links after the program with the severity as suffix.
constexpr const char* kInfoLinkSuffix = ".INFO";
constexpr const char* kErrorLinkSuffix = ".ERROR";
// Old logs are named number_KIND_date_time.txt.
constexpr int kOldLogParts = 4;
// A run's own file: PREFIX_stamp.pid.log.
constexpr int kRunLogParts = 2;
constexpr const char* kRunStampFormat = "yyyyMMdd-hhmmss";
constexpr const char* kOldStampFormat = "yyyyMMdd_hhmmss";
// Placeholder number of a freshly kept log until the renumbering.
constexpr const char* kUnnumbered = "X";

bool isInside(const QString& path, const QString& canonicalDir) {
    return !path.isEmpty() && path.startsWith(canonicalDir + QLatin1Char('/'));
}

// Removes glog's links of the previous run. The newest INFO log stays; the files behind the
// other links are removed, but never a file outside the log folder (the program runs as root
// and a link may point anywhere). Returns whether the previous run wrote an ERROR log.
bool removeRunLinks(const QDir& dir) {
    const QString canonicalDir = dir.canonicalPath();
    bool hadError = false;
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral("*")}, QDir::Files | QDir::Hidden, QDir::Time);
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink() || !entry.exists()) continue;  // dangling links are left alone
        const QString name = entry.fileName();
        if (name.contains(QLatin1String(kErrorLinkSuffix))) hadError = true;
        const QString target = entry.canonicalFilePath();
        QFile::remove(entry.absoluteFilePath());
        if (name.contains(QLatin1String(kInfoLinkSuffix))) continue;
        if (isInside(target, canonicalDir))
            QFile::remove(target);
        else
            qWarning() << "log link" << entry.absoluteFilePath()
                       << "points outside the log folder to" << target
                       << "- the link is removed, its target is kept";
    }
    return hadError;
}

// The number of an old log's name, or -1 when the name is not one.
qint64 oldLogNumber(const QString& name) {
    const QStringList parts = name.split(QLatin1Char('_'));
    if (parts.size() != kOldLogParts || parts.first().isEmpty()) return -1;
    for (const QChar c : parts.first())
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
    bool ok = false;
    const qint64 number = parts.first().toLongLong(&ok);
    return ok ? number : -1;
}

// Gives the previous run's own log its unnumbered old-log name; deletes other names that are
// neither old logs nor run logs. Returns the new name, or an empty text when deleted.
QString keepRunLog(const QDir& dir, const QString& name, bool hadError) {
    const QStringList parts = name.split(QLatin1Char('_'));
    if (parts.size() != kRunLogParts) {
        QFile::remove(dir.filePath(name));
        return QString();
    }
    const QString stamp = parts.at(1).section(QLatin1Char('.'), 0, 0);
    const QDateTime start = QDateTime::fromString(stamp, QString::fromLatin1(kRunStampFormat));
    const QString when =
        start.isValid() ? start.toString(QString::fromLatin1(kOldStampFormat)) : QString();
    const QString newName = QString::fromLatin1(kUnnumbered) +
                            (hadError ? QStringLiteral("_ERROR_") : QStringLiteral("_LOG_")) +
                            when + QStringLiteral(".txt");
    QFile::remove(dir.filePath(newName));
    QFile::rename(dir.filePath(name), dir.filePath(newName));
    return newName;
}

}  // namespace

void tidyLogFolder(const QString& logDir, int maxOldLogs) {
    const QDir dir(logDir);
    if (!dir.exists()) return;
    const bool hadError = removeRunLinks(dir);

    QStringList names =
        dir.entryList({QStringLiteral("*.*")}, QDir::Files | QDir::Hidden, QDir::Name);

    // Old logs in ascending order of their numbers; on equal numbers the later name first.
    QStringList kept;
    QList<QPair<qint64, QString>> numbered;
    QStringList others;
    for (auto it = names.crbegin(); it != names.crend(); ++it) {
        const qint64 number = oldLogNumber(*it);
        if (number >= 0)
            numbered.append({number, *it});
        else
            others.prepend(*it);
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : numbered) kept.append(entry.second);

    for (const QString& name : others) {
        const QString newName = keepRunLog(dir, name, hadError);
        if (!newName.isEmpty()) kept.append(newName);
    }

    while (kept.size() > maxOldLogs) QFile::remove(dir.filePath(kept.takeFirst()));

    for (int i = 0; i < kept.size(); ++i) {
        QStringList parts = kept.at(i).split(QLatin1Char('_'));
        if (parts.size() != kOldLogParts) {
            QFile::remove(dir.filePath(kept.at(i)));
            continue;
        }
        parts[0] = QString::number(i + 1);
        const QString newName = parts.join(QLatin1Char('_'));
        if (newName != kept.at(i)) QFile::rename(dir.filePath(kept.at(i)), dir.filePath(newName));
    }
}

void trimFolder(const QString& dir, int maxFiles) {
    const QDir folder(dir);
    if (!folder.exists()) return;
    QFileInfoList files = folder.entryInfoList({QStringLiteral("*")}, QDir::Files, QDir::Time);
    while (files.size() > maxFiles) QFile::remove(files.takeLast().absoluteFilePath());
}

}  // namespace logfiles
