#include "httpapiserver.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QtDebug>

#include "globals.h"
#include "httpapilimits.h"
#include "netclock.h"
#include "subscriberbook.h"
#include "tcp_push2app.h"

HttpApiServer::HttpApiServer()
    : HttpManager(MCT_SERVER),
      subscribers_(std::make_unique<SubscriberBook>(
          QDir::currentPath() + QStringLiteral("/cnt_net/workspace/subscriber.ini"))),
      pushes_(std::make_unique<PushLauncher>()) {
    anyThreadRoutes_.insert(QStringLiteral("/v18/http/get_product_infos"),
                            [this](CTask_FormData request) { get_product_infos(request); });
    anyThreadRoutes_.insert(QStringLiteral("/v18/http/get_last_detectinfo"),
                            [this](CTask_FormData request) { get_last_detailinfo(request); });
    routes_.insert(QStringLiteral("/v18/http/subscriber_detectinfo"),
                   [this](CTask_FormData request) { subscriber_detectinfo(request); });
    updateLocalBaseInfo();
    // The counters and states change on this thread between two waits of its event loop.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &HttpApiServer::publish);
    refresh_ = new QTimer(this);
    connect(refresh_, &QTimer::timeout, this, &HttpApiServer::publish);
    refresh_->start(httpapi::kPublishRefreshMs);
    publish();
}

HttpApiServer::~HttpApiServer() {
    // The reads run on the reactor's threads and use our members: they end first. Then the
    // pushes, which may still be connecting.
    stopReactor();
    pushes_.reset();
}

void HttpApiServer::setStateReader(StateReader reader) {
    stateReader_ = std::move(reader);
    publish();
}

void HttpApiServer::publish() {
    const QJsonObject infos =
        httpapi::productInfos(stateReader_ ? stateReader_() : httpapi::MachineState());
    QMutexLocker lock(&publishedMutex_);
    published_.productInfos = infos;
}

HttpApiServer::Published HttpApiServer::published() const {
    QMutexLocker lock(&publishedMutex_);
    return published_;
}

int HttpApiServer::pushesInFlight() const {
    return pushes_->inFlight();
}

void HttpApiServer::reply(const CTask_FormData& request, const QJsonObject& result,
                          const QString& deviceName) {
    CTask_FormData answer;
    answer.uuid = request.uuid;
    answer.sessionId = request.sessionId;
    answer.deviceId = deviceName;
    answer.values.insert(QStringLiteral("result"), QVariant::fromValue(result));
    if (const std::shared_ptr<MCore::TcpReactor> current = reactor()) current->post_async(answer);
}

void HttpApiServer::get_product_infos(const CTask_FormData& request) {
    qDebug() << "hello /v18/http/get_product_infos";
    const Published now = published();
    reply(request, now.productInfos, now.deviceName);
}

void HttpApiServer::get_last_detailinfo(const CTask_FormData& request) {
    qInfo() << "hello "
            << "get_last_detailinfo";
    const Published now = published();
    reply(request, now.lastDetect, now.deviceName);
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
    if (!name.isString()) return;
    deviceName_ = name.toString();
    QMutexLocker lock(&publishedMutex_);
    published_.deviceName = deviceName_;
}

void HttpApiServer::update_DetectOnceInfo(int detectIndex, bool result) {
    QList<param_roi> taken;
    {
        QMutexLocker lock(&roiResultsMutex_);
        taken.swap(roiResults_);
    }
    lastDetect_ = httpapi::lastDetect(taken, detectIndex, result, numCamera, netcore::nowLocal());
    // The step's counters are published with its document, so a read never sees one without
    // the other.
    const QJsonObject infos =
        httpapi::productInfos(stateReader_ ? stateReader_() : httpapi::MachineState());
    QMutexLocker lock(&publishedMutex_);
    published_.lastDetect = lastDetect_;
    published_.productInfos = infos;
}

void HttpApiServer::pushnode_lastdetect() {
    const qint64 now = netcore::nowMs();
    for (const SubscriberBook::Target& target : subscribers_->liveTargets(now))
        pushes_->launch({target.address, target.port, now, deviceName_, lastDetect_});
}
