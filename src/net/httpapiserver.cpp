#include "httpapiserver.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QtDebug>

#include "globals.h"
#include "netclock.h"
#include "subscriberbook.h"
#include "tcp_push2app.h"

HttpApiServer::HttpApiServer()
    : HttpManager(MCT_SERVER),
      subscribers_(std::make_unique<SubscriberBook>(
          QDir::currentPath() + QStringLiteral("/cnt_net/workspace/subscriber.ini"))),
      pushes_(std::make_unique<PushLauncher>()) {
    routes_.insert(QStringLiteral("/v18/http/get_product_infos"),
                   [this](CTask_FormData request) { get_product_infos(request); });
    routes_.insert(QStringLiteral("/v18/http/get_last_detectinfo"),
                   [this](CTask_FormData request) { get_last_detailinfo(request); });
    routes_.insert(QStringLiteral("/v18/http/subscriber_detectinfo"),
                   [this](CTask_FormData request) { subscriber_detectinfo(request); });
    updateLocalBaseInfo();
}

HttpApiServer::~HttpApiServer() {
    // Pushes first: they may still be connecting.
    pushes_.reset();
}

int HttpApiServer::pushesInFlight() const {
    return pushes_->inFlight();
}

void HttpApiServer::reply(const CTask_FormData& request, const QJsonObject& result) {
    CTask_FormData answer;
    answer.uuid = request.uuid;
    answer.sessionId = request.sessionId;
    answer.deviceId = deviceName_;
    answer.values.insert(QStringLiteral("result"), QVariant::fromValue(result));
    if (const std::shared_ptr<MCore::TcpReactor> current = reactor()) current->post_async(answer);
}

void HttpApiServer::get_product_infos(const CTask_FormData& request) {
    qDebug() << "hello /v18/http/get_product_infos";
    reply(request, httpapi::productInfos(stateReader_ ? stateReader_() : httpapi::MachineState()));
}

void HttpApiServer::get_last_detailinfo(const CTask_FormData& request) {
    qInfo() << "hello "
            << "get_last_detailinfo";
    reply(request, lastDetect_);
}

void HttpApiServer::subscriber_detectinfo(const CTask_FormData& request) {
    const int taken = subscribers_->subscribe(request.extract_jsonobject(), netcore::nowMs());
    // A request without "subscriber" is answered like one that named nobody usable, so the
    // app does not wait for a reply that never comes.
    CTask_FormData named = request;
    named.deviceId = deviceName_;
    callback_immediately(named, taken > 0);
}

void HttpApiServer::updateLocalBaseInfo() {
    QFile file(QStringLiteral("./cnt_net/config.json"));
    if (!file.open(QIODevice::ReadOnly)) return;
    const QJsonValue name =
        QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("devicename"));
    if (name.isString()) deviceName_ = name.toString();
}

void HttpApiServer::update_DetectOnceInfo(int detectIndex, bool result) {
    QList<param_roi> taken;
    {
        QMutexLocker lock(&roiResultsMutex_);
        taken.swap(roiResults_);
    }
    lastDetect_ = httpapi::lastDetect(taken, detectIndex, result, numCamera, netcore::nowLocal());
}

void HttpApiServer::pushnode_lastdetect() {
    const qint64 now = netcore::nowMs();
    for (const SubscriberBook::Target& target : subscribers_->liveTargets(now))
        pushes_->launch({target.address, target.port, now, deviceName_, lastDetect_});
}
