#pragma once
// Texts of our own for files that cannot be written, in the four languages of the language
// table (which has none for this: its database entry advises a restart, which does not help a
// full disk). Shown in the current language (gLan).

#include <QString>
#include <QStringList>

#include "writecause.h"

namespace lang {

// "<file> cannot be written: no space left on the disk" and the like.
QString cannotWriteText(const QString& file, storage::WriteCause cause);
// The same for a file that was not written just now, with the cause its failed write gave (else
// read from the disk).
QString cannotWriteText(const QString& file);

// A resample the disk refused in part, as recorded and told (camera 1-based, file and cause
// as above): the camera's templates as they were (how many), or its ignore points, stay in force.
QString templateNotResampledText(int camera, int templates, const QString& file);
QString ignorePointsNotClearedText(int camera, const QString& file);

}  // namespace lang
