#pragma once
// Reading and writing the small JSON and text files of the statistics (the shift
// configuration and the day-start file). Writes replace the file durably: a power loss or a
// full disk leaves the old content or the new one, never an empty file.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace stats {

enum class ReadResult { Ok, Missing, Unparsable };

// Reads a file holding one JSON object (a document that is not an object reads as empty).
ReadResult readJsonObjectFile(const QString& path, QJsonObject& out, QString* parseError);
// Writes indented JSON; false (with a warning) when the file could not be replaced.
bool writeJsonObjectFile(const QString& path, const QJsonObject& json);
bool writeTextFile(const QString& path, const QByteArray& data);

// A day start stored as a string of decimal digits (seconds since 1970); anything else is 0.
qint64 dayStartFromText(const QString& text);
qint64 dayStartFromJson(const QJsonValue& value);

// A shift hour read from the configuration: 0 when missing or outside 0..23.
int shiftHourFromJson(const QJsonObject& json, const QString& key);

}  // namespace stats
