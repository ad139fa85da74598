#pragma once
// The folders of saved fail pictures and what happens in them: one NG and one OK folder per
// camera and detection step under a root ("./alarmimage" in the program), a rolling limit of
// pictures per folder and the pictures' names.

#include <QDateTime>
#include <QImage>
#include <QString>

namespace failimage {

// "<root>//camera<c>//detect<d>//NG" (kind 0) or "...//OK" (kind 1), 1-based numbers.
QString failFolderPath(const QString& root, int camera, int step, int kind);

// The time as "yyyy-MM-dd_hh.mm.ss", prefixed "<n>_" when the step's number n is 1 or more.
QString pictureBaseName(const QDateTime& when, int failNumber);

// Makes room for one more picture: with a limit of at least 1, deletes the oldest "*.jpg"
// files (by modification time) so that at most limit - 1 remain. A limit below 1 deletes
// nothing. Returns the number of files deleted; a file that cannot be deleted is logged.
int prunePictures(const QString& folder, int limit);

// Writes the picture as a JPEG file of the library's default quality, replacing any file of
// that name whole. False, with a warning, when it cannot be written.
bool writeJpeg(const QImage& picture, const QString& path, int quality = -1);
// Encodes a picture in the given format and replaces path with it durably (storage's
// replaceFile), so a failure or a full disk leaves the previous file. A failure is logged.
bool writePictureAtomically(const QImage& picture, const QString& path, const char* format,
                            int quality = -1);

}  // namespace failimage
