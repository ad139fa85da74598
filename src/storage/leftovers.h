#pragma once
// The temporary files of the program's own writes that a power loss or a kill cut short: a
// staged new version ".<name>.<6 random letters or digits>" beside the file it was to replace
// (durablefile), and a database still being built, "<name>.db.building" with its journal
// files (sqlitefiles). Nothing else removes them: the next write of the same file picks new
// random letters, and a copy of a folder would take them along.

#include <QString>
#include <QStringList>

namespace storage {

// Whether a file name (no folder) is one of those temporary files.
bool isLeftoverTemporary(const QString& fileName);

// Removes those temporary files from folder and from its subfolders down to `depth` levels
// (0: the folder alone); symbolic links are neither followed nor removed. Each removal is
// logged; returns the paths removed.
QStringList removeLeftoverTemporaries(const QString& folder, int depth);

}  // namespace storage
