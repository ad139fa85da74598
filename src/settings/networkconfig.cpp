#include "networkconfig.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "durablefile.h"

namespace settings {

namespace {
const QString kNetFunc = QStringLiteral("device_worknetfunc");
const QString kVideo = QStringLiteral("device_workvideo");
const QString kDeviceName = QStringLiteral("devicename");
const QString kServerAddr = QStringLiteral("serveraddr");
const QString kServerPort = QStringLiteral("serverport");
// Read only by the companion: where its video reader lives and where the program keeps its
// working files. Written with these values when missing; a value already there is the site's.
const QString kVideoAppDir = QStringLiteral("videoapp_dir");
const QString kWorkspace = QStringLiteral("workspace");
const QString kDefaultVideoAppDir = QStringLiteral("./cnt_net/rurez_ozuvodi/");
const QString kDefaultWorkspace = QStringLiteral("./cnt_net/workspace/");
constexpr int kMaxPort = 65535;

bool readObject(const QString& path, QJsonObject* object, QString* error) {
    QFile file(path);
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!doc.isObject()) {
        if (error) *error = parse.error ? parse.errorString() : QStringLiteral("not an object");
        return false;
    }
    *object = doc.object();
    return true;
}
}  // namespace

NetworkSettings readNetworkSettings(const QString& path) {
    QJsonObject o;
    NetworkSettings s;
    if (!readObject(path, &o, nullptr)) return s;
    s.netFunc = o.value(kNetFunc).toBool(false);
    s.video = o.value(kVideo).toBool(false);
    s.deviceName = o.value(kDeviceName).toString();
    s.serverAddr = o.value(kServerAddr).toString();
    s.serverPort = o.value(kServerPort).toString();
    return s;
}

bool writeNetworkSettings(const NetworkSettings& s, const QString& path, QString* error) {
    QJsonObject o;
    if (!readObject(path, &o, error)) return false;
    o.insert(kNetFunc, s.netFunc);
    o.insert(kVideo, s.video);
    o.insert(kDeviceName, s.deviceName);
    o.insert(kServerAddr, s.serverAddr);
    o.insert(kServerPort, s.serverPort);
    if (!o.contains(kVideoAppDir)) o.insert(kVideoAppDir, kDefaultVideoAppDir);
    if (!o.contains(kWorkspace)) o.insert(kWorkspace, kDefaultWorkspace);
    return storage::replaceFile(path, QJsonDocument(o).toJson(), error);
}

bool isValidPort(const QString& port) {
    bool ok = false;
    const int value = port.toInt(&ok);
    return ok && value >= 1 && value <= kMaxPort && port == QString::number(value);
}

int linkStateEntry(int allowSnd) {
    switch (allowSnd) {
        case -1:
            return 605;  // the networking program is not started
        case -2:
            return 603;  // no communication with the monitoring program
        case -3:
            return 604;  // not connected to the server
        case -4:
            return 606;  // not registered on the server
        case 1:
            return 607;  // connected
        default:
            return -1;
    }
}

}  // namespace settings
