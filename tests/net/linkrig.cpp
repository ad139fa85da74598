#include "linkrig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include "testsupport.h"

namespace linktest {

LinkRig::LinkRig(bool networkFunction, bool video) : previousDir_(QDir::currentPath()) {
    const QString folder = dir_.filePath(QStringLiteral("panel dir"));
    QDir().mkpath(folder + QStringLiteral("/cnt_net"));
    QDir::setCurrent(folder);
    QFile config(QStringLiteral("cnt_net/config.json"));
    config.open(QIODevice::WriteOnly);
    config.write(QJsonDocument(QJsonObject{{"device_worknetfunc", networkFunction},
                                           {"device_workvideo", video}})
                     .toJson());
    config.close();
    listening_ = companion.listen();
    testsupport::recorder().setServicePort(sys::Service::MonitorLink, companion.port());
    link = std::make_unique<MON_NETMN>();
    link->InitStart();
}

LinkRig::~LinkRig() {
    link->destoryVideoShare();
    link.reset();
    QDir::setCurrent(previousDir_);
}

QString LinkRig::configPath() const {
    return dir_.filePath(QStringLiteral("panel dir/cnt_net/config.json"));
}

bool LinkRig::setFlags(const QJsonObject& flags) {
    companion.setHeartbeatResult(flags);
    link->sndHeartBeat();
    const auto flag = [&flags](const char* key) { return flags.value(key).toBool(false); };
    return testsupport::waitFor([&] {
        return link->cntServer() == flag("cntserver") && link->registered() == flag("register") &&
               link->needOkImg() == flag("needokimg") && link->needVideo() == flag("needvideo");
    });
}

QList<fakepeer::Request> LinkRig::await(const QString& url, int count, int timeoutMs) {
    testsupport::waitFor([&] { return companion.received(url).size() >= count; }, timeoutMs);
    return companion.received(url);
}

}  // namespace linktest
