#include "paramgroups.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include "paramfiles.h"
#include "paramlimits.h"
#include "sqlitefiles.h"

namespace {
// Partly written copies are kept under hidden names, which the group list never shows.
const QString kStagingPrefix = QStringLiteral(".staging-");
const QString kRetiredPrefix = QStringLiteral(".retired-");

bool removePath(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return true;
    return info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
}

// Puts a fully written staging copy in place of target; the old target is removed afterwards.
bool replaceWith(const QString& staging, const QString& target) {
    const QFileInfo info(target);
    const QString retired = info.dir().filePath(kRetiredPrefix + info.fileName());
    removePath(retired);
    if (info.exists() && !QDir().rename(target, retired)) return false;
    if (!QDir().rename(staging, target)) {
        QDir().rename(retired, target);
        return false;
    }
    removePath(retired);
    return true;
}
}  // namespace

ParamGroups::ParamGroups(const QString& workDir) : workDir_(workDir) {}

QString ParamGroups::groupsPath() const {
    return QDir(workDir_).filePath(QLatin1String(params::kGroupFolder));
}

QStringList ParamGroups::names() const {
    QDir dir(groupsPath());
    if (!dir.exists()) QDir().mkpath(dir.path());
    return dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

int ParamGroups::indexOf(const QString& name) const {
    return names().indexOf(name);
}

QString ParamGroups::nameAt(int index) const {
    const QStringList list = names();
    return index >= 0 && index < list.size() ? list.at(index)
                                             : QLatin1String(params::kDefaultGroupName);
}

QStringList ParamGroups::removeLeftovers() const {
    QStringList removed;
    for (const QString& folder : {workDir_, groupsPath()}) {
        const QDir dir(folder);
        const QStringList names =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            const bool staging = name.startsWith(kStagingPrefix);
            if (!staging && !name.startsWith(kRetiredPrefix)) continue;
            const QString target = name.mid((staging ? kStagingPrefix : kRetiredPrefix).size());
            const bool targetThere = QFileInfo::exists(dir.filePath(target));
            const bool oldAside = names.contains(kRetiredPrefix + target);
            // A version put aside is the only whole one until its replacement has the name.
            if (staging ? oldAside && !targetThere : !targetThere) continue;
            const QString path = dir.filePath(name);
            if (removePath(path)) {
                qInfo().noquote() << "removed" << path
                                  << "- left by a group copy that was cut short";
                removed << path;
            } else {
                qWarning().noquote()
                    << "cannot remove" << path << "- left by a group copy that was cut short";
            }
        }
    }
    return removed;
}

QStringList ParamGroups::memberNames() {
    QStringList list{QLatin1String(params::kParamDatabaseFile)};
    for (int c = 1; c <= params::kCameraCount; ++c)
        for (int d = 1; d <= params::kStepCount; ++d)
            list << QStringLiteral("cammer%1%2").arg(c).arg(d);
    return list;
}

ParamGroups::Result ParamGroups::checkName(const QString& name) {
    if (name.trimmed().isEmpty()) return Result::EmptyName;
    if (name != name.trimmed() || name.startsWith(QLatin1Char('.')) ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QChar(0)))
        return Result::InvalidName;
    return Result::Ok;
}

QString ParamGroups::workPath(const QString& name) const {
    return QDir(workDir_).filePath(name);
}

QString ParamGroups::groupPath(const QString& name) const {
    return QDir(groupsPath()).filePath(name);
}

ParamGroups::Result ParamGroups::backup(const QString& name, bool overwrite) {
    const Result valid = checkName(name);
    if (valid != Result::Ok) return valid;
    if (name == QLatin1String(params::kDefaultGroupName)) return Result::DefaultGroup;
    const QString target = groupPath(name);
    if (QFileInfo::exists(target) && !overwrite) return Result::Exists;
    if (!QFileInfo::exists(workPath(QLatin1String(params::kParamDatabaseFile))))
        return Result::Incomplete;

    names();  // creates the groups folder
    const QString staging = groupPath(kStagingPrefix + name);
    removePath(staging);
    bool ok = QDir().mkpath(staging);
    for (const QString& member : memberNames()) {
        if (!ok) break;
        const QFileInfo source(workPath(member));
        if (!source.exists()) continue;
        const QString destination = QDir(staging).filePath(member);
        ok = source.isDir() ? params::copyFolder(source.filePath(), destination)
                            : params::copyMember(source.filePath(), destination);
    }
    if (!ok || !replaceWith(staging, target)) {
        qWarning() << "backing up parameter group" << name << "failed";
        removePath(staging);
        return Result::CopyFailed;
    }
    params::syncFiles();
    qInfo() << "parameter group" << name << "backed up";
    return Result::Ok;
}

ParamGroups::Result ParamGroups::restore(const QString& name) {
    const Result valid = checkName(name);
    if (valid != Result::Ok) return valid;
    if (!names().contains(name)) return Result::NotFound;
    const QString group = groupPath(name);
    if (!QFileInfo::exists(QDir(group).filePath(QLatin1String(params::kParamDatabaseFile))))
        return Result::Incomplete;

    // Every member is first copied beside its working copy; only when all copies are complete
    // are they put in place, so a failed copy leaves the working configuration untouched.
    // The database is the exception: it is copied beside itself and put in place by the
    // SQLite-aware copy, first, so that its journal never outlives it.
    const QString database = QLatin1String(params::kParamDatabaseFile);
    QStringList staged;
    bool ok = true;
    for (const QString& member : memberNames()) {
        const QFileInfo source(QDir(group).filePath(member));
        if (!source.exists()) continue;
        if (member == database) {
            staged << member;
            continue;
        }
        const QString staging = workPath(kStagingPrefix + member);
        removePath(staging);
        ok = source.isDir() ? params::copyFolder(source.filePath(), staging)
                            : params::copyMember(source.filePath(), staging);
        if (!ok) break;
        staged << member;
    }
    for (const QString& member : qAsConst(staged)) {
        if (member == database) {
            ok = ok && storage::replaceDatabase(QDir(group).filePath(member), workPath(member));
            continue;
        }
        const QString staging = workPath(kStagingPrefix + member);
        if (ok && !replaceWith(staging, workPath(member))) {
            qWarning() << "cannot put" << member << "of parameter group" << name << "in place";
            ok = false;
        }
        removePath(staging);
    }
    if (!ok) {
        qWarning() << "restoring parameter group" << name << "failed";
        return Result::CopyFailed;
    }
    params::syncFiles();
    qInfo() << "parameter group" << name << "restored";
    return Result::Ok;
}

ParamGroups::Result ParamGroups::remove(const QString& name) {
    const Result valid = checkName(name);
    if (valid != Result::Ok) return valid;
    if (name == QLatin1String(params::kDefaultGroupName)) return Result::DefaultGroup;
    if (!names().contains(name)) return Result::NotFound;
    if (!QDir(groupPath(name)).removeRecursively()) {
        qWarning() << "cannot delete parameter group" << name;
        return Result::CopyFailed;
    }
    params::syncFiles();
    qInfo() << "parameter group" << name << "deleted";
    return Result::Ok;
}
