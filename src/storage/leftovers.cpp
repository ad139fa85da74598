#include "leftovers.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "storagelimits.h"

namespace storage {

namespace {

bool isStagedTarget(const QString& name) {
    if (name.startsWith(QLatin1Char('.'))) return false;
    for (const char* end : kStagedTargetEnds)
        if (name.endsWith(QLatin1String(end), Qt::CaseInsensitive)) return true;
    return false;
}

}  // namespace

bool isLeftoverTemporary(const QString& fileName) {
    // mkostemp's letters: exactly as many as the X's of the name's end.
    static const QRegularExpression staged(
        QStringLiteral("^\\.(.+)\\.[A-Za-z0-9]{%1}$").arg(qstrlen(kStagedNameEnd) - 1));
    const QRegularExpressionMatch m = staged.match(fileName);
    if (m.hasMatch()) return isStagedTarget(m.captured(1));
    const QString building = QStringLiteral(".db") + QLatin1String(kBuildingEnd);
    const auto endsIn = [&](const QString& end) {
        return fileName.size() > end.size() && fileName.endsWith(end, Qt::CaseInsensitive);
    };
    if (endsIn(building)) return true;
    for (const char* companion : kSqliteCompanions)
        if (endsIn(building + QLatin1String(companion))) return true;
    return false;
}

QStringList removeLeftoverTemporaries(const QString& folder, int depth) {
    QStringList removed;
    const QDir dir(folder);
    const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks;
    for (const QString& name : dir.entryList(files, QDir::Name)) {
        if (!isLeftoverTemporary(name)) continue;
        const QString path = dir.filePath(name);
        if (QFile::remove(path)) {
            qInfo().noquote() << "removed" << path << "- left by a write that was cut short";
            removed << path;
        } else {
            qWarning().noquote() << "cannot remove" << path
                                 << "- left by a write that was cut short";
        }
    }
    if (depth <= 0) return removed;
    const QDir::Filters folders = QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks;
    for (const QString& name : dir.entryList(folders, QDir::Name))
        removed << removeLeftoverTemporaries(dir.filePath(name), depth - 1);
    return removed;
}

}  // namespace storage
