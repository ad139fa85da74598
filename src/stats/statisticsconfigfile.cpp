#include "statisticsconfigfile.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <limits>

#include "durablefile.h"
#include "statisticsconstants.h"

namespace stats {

ReadResult readJsonObjectFile(const QString& path, QJsonObject& out, QString* parseError) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return ReadResult::Missing;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        if (parseError) *parseError = error.errorString();
        return ReadResult::Unparsable;
    }
    out = document.object();
    return ReadResult::Ok;
}

bool writeTextFile(const QString& path, const QByteArray& data) {
    return storage::replaceFile(path, data);
}

bool writeJsonObjectFile(const QString& path, const QJsonObject& json) {
    return writeTextFile(path, QJsonDocument(json).toJson(QJsonDocument::Indented));
}

qint64 dayStartFromText(const QString& text) {
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok);
    if (!ok || value > static_cast<qulonglong>(std::numeric_limits<qint64>::max())) return 0;
    return static_cast<qint64>(value);
}

qint64 dayStartFromJson(const QJsonValue& value) {
    return value.isString() ? dayStartFromText(value.toString()) : 0;
}

int shiftHourFromJson(const QJsonObject& json, const QString& key) {
    const int hour = json.value(key).toInt(0);
    if (hour < 0 || hour >= kHourSlots) {
        qWarning() << "statistics: shift hour" << key << hour << "out of range, using 0";
        return 0;
    }
    return hour;
}

}  // namespace stats
