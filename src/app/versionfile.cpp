#include "versionfile.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "durablefile.h"
#include "globals.h"

bool writeVersionToJson(const QString& path) {
    QJsonObject object;
    QFile in(path);
    if (in.open(QIODevice::ReadOnly)) {
        // Contents that are not a JSON object are replaced by the two keys alone.
        object = QJsonDocument::fromJson(in.readAll()).object();
        in.close();
    }
    object.insert(QStringLiteral("version"), QLatin1String(kProgramVersion));
    object.insert(QStringLiteral("camcount"), numCamera);

    return storage::replaceFile(path, QJsonDocument(object).toJson(QJsonDocument::Indented));
}
