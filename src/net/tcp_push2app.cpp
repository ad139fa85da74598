#include "tcp_push2app.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QtDebug>

#include "httpapilimits.h"
#include "netclock.h"

namespace {
const QString kPushUrl = QStringLiteral("/v18/http/subscriber_detectinfo");
}

Tcp_Push2APP::Tcp_Push2APP() : HttpManager(MCT_CLIENT), selfDestruct_(new QTimer(this)) {
    selfDestruct_->setSingleShot(true);
    connect(selfDestruct_, &QTimer::timeout, this, &QObject::deleteLater);
    selfDestruct_->start(httpapi::kPushLifetimeMs);
}

Tcp_Push2APP::~Tcp_Push2APP() {
    // The reply slot runs on the reactor's thread and may be under way right now: the reactor
    // stops (and the slot has returned) while this object is still whole, not in the base's
    // destructor, where the slot would be a pure virtual call.
    std::shared_ptr<MCore::TcpReactor> stopping = reactor();
    _netcore.reset();
    stopping.reset();
    qDebug() << "~Tcp_Push2APP delete" << this;
}

void Tcp_Push2APP::SlotRecvResponse_Async(CTask_FormData response) {
    if (response.uuid != property("uuid").toString()) return;
    const double allTime = double(netcore::nowMs() - property("create-time").toLongLong());
    const QJsonValue result = response.extract_jsonobject().value(QStringLiteral("result"));
    int appRecv = -1;
    int appParse = -1;
    if (result.isObject()) {
        appRecv = result.toObject().value(QStringLiteral("recv_time")).toInt(-1);
        appParse = result.toObject().value(QStringLiteral("analysis_time")).toInt(-1);
    }
    qInfo() << "[POST_2_APP] -" << property("type").toString() << ": all-time(ms):" << allTime
            << "app-recv(ms):" << appRecv << "app-parse(ms):" << appParse;
    alive_ = false;
    deleteLater();
}

PushLauncher::PushLauncher() {
    pool_.setMaxThreadCount(httpapi::kPushThreads);
}

PushLauncher::~PushLauncher() {
    stopping_ = true;
    emit stopAll();
    pool_.clear();
    pool_.waitForDone();
}

bool PushLauncher::launch(const PushOrder& order) {
    if (inFlight_.load() >= httpapi::kMaxPendingPushes) {
        if (droppedInBurst_++ == 0)
            qWarning().noquote() << QStringLiteral(
                                        "netdbg: push to %1:%2 dropped: %3 pushes still under "
                                        "way (subscribers do not answer)")
                                        .arg(order.address)
                                        .arg(order.port)
                                        .arg(inFlight_.load());
        return false;
    }
    if (droppedInBurst_ > 1)
        qWarning() << "netdbg:" << droppedInBurst_ << "pushes were dropped in all";
    droppedInBurst_ = 0;
    ++inFlight_;
    pool_.start([this, order] {
        run(order);
        --inFlight_;
    });
    return true;
}

void PushLauncher::run(const PushOrder& order) {
    QEventLoop loop;
    const QMetaObject::Connection stop =
        connect(this, &PushLauncher::stopAll, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    if (stopping_) return;
    QPointer<Tcp_Push2APP> push = new Tcp_Push2APP;
    connect(push, &QObject::destroyed, &loop, &QEventLoop::quit);
    push->setProperty("create-time", order.createdMs);
    push->setProperty("uuid", order.createdMs);
    push->setProperty("type", QStringLiteral("last_detect_info"));
    if (push->startReactor(QHostAddress(order.address), order.port, Qt::DirectConnection)) {
        CTask_FormData request;
        request.url = kPushUrl;
        request.uuid = QString::number(order.createdMs);
        request.deviceId = order.deviceName;
        request.values.insert(QStringLiteral("result"), QVariant::fromValue(order.document));
        qInfo() << "[POST_2_APP - 2]"
                << "++++++++++++++++++++++++ subscriber_detectinfo presend";
        push->reactor()->post_async(request);
    } else {
        qInfo() << "[POST_2_APP]"
                << "ERROR NO CONNECTED"
                << "(/v18/http/subscriber_detectinfo)";
        push->deleteLater();
    }
    loop.exec();
    disconnect(stop);
    delete push.data();
}
