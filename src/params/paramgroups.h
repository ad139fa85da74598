#pragma once
// Parameter groups: named copies of a product's configuration in sub-folders of
// "./paraGroup". A group holds the parameter database and the template folders of the cameras;
// "default" holds the factory copies and is never written or deleted here. Groups are numbered
// by their folder names in name order; sysadd.txt keeps the number of the current one.

#include <QString>
#include <QStringList>

class ParamGroups {
public:
    enum class Result {
        Ok,
        EmptyName,     // the name is empty
        InvalidName,   // the name cannot be a folder name (path separators, leading dot)
        DefaultGroup,  // "default" cannot be backed up over or deleted
        Exists,        // backup without overwrite of an existing group
        NotFound,      // no such group
        Incomplete,    // the group has no parameter database
        CopyFailed,    // a file could not be copied; nothing was replaced
    };

    // Files are kept relative to workDir (the program's working folder by default).
    explicit ParamGroups(const QString& workDir = QStringLiteral("."));

    QString groupsPath() const;
    // Group names in name order; the groups folder is created when missing.
    QStringList names() const;
    // Number of the group in names(), -1 when there is none of that name.
    int indexOf(const QString& name) const;
    // Name of group number index, "default" outside the list.
    QString nameAt(int index) const;

    // Copies the working parameter database and template folders into the group.
    Result backup(const QString& name, bool overwrite);
    // Copies the group's files over the working ones. The program is meant to restart
    // afterwards: an open connection keeps seeing the replaced database until then.
    Result restore(const QString& name);
    Result remove(const QString& name);

    // Files and folders (relative to the working folder) that make up a group.
    static QStringList memberNames();

    // At the start: removes the copies a backup or restore cut short by a power loss or a kill
    // left beside the working files and the groups. A copy is kept where it may be the only
    // whole one: cut between putting the old version aside and the new one in its place.
    // Returns the paths removed.
    QStringList removeLeftovers() const;

private:
    static Result checkName(const QString& name);
    QString workPath(const QString& name) const;
    QString groupPath(const QString& name) const;

    QString workDir_;
};
