#include "httpmanager.h"

#include <QJsonObject>
#include <QtDebug>

namespace {
std::shared_ptr<MCore::TcpReactor> makeReactor(int type) {
    if (type == MCT_CLIENT) return std::make_shared<MCore::TcpCliReactor>();
    if (type == MCT_SERVER) return std::make_shared<MCore::TcpServReactor>();
    return nullptr;
}
}  // namespace

HttpManager::HttpManager(MCT_TYPE type) : QObject(nullptr), type_(type) {
    MCore::registerMetaTypes();
}

HttpManager::~HttpManager() {
    stopReactor();
}

void HttpManager::stopReactor() {
    std::shared_ptr<MCore::TcpReactor> current;
    {
        QMutexLocker lock(&reactorMutex_);
        current.swap(_netcore);
    }
    current.reset();
}

std::shared_ptr<MCore::TcpReactor> HttpManager::reactor() const {
    QMutexLocker lock(&reactorMutex_);
    return _netcore;
}

bool HttpManager::startReactor(const QHostAddress& address, quint16 port,
                               Qt::ConnectionType connectionType) {
    std::shared_ptr<MCore::TcpReactor> previous;
    {
        QMutexLocker lock(&reactorMutex_);
        previous.swap(_netcore);
    }
    previous.reset();  // stops it and closes its connections before the new one listens
    std::shared_ptr<MCore::TcpReactor> created = makeReactor(type_);
    if (!created) return false;
    const QString name = property("name").toString();
    if (!name.isEmpty()) created->setProperty("name", name);
    created->setLimits(limits_);
    created->blockAllRecvSIG();
    connect(created.get(), &MCore::TcpReactor::sigResponse_async, this,
            &HttpManager::SlotRecvResponse_Async, connectionType);
    connect(
        created.get(), &MCore::TcpReactor::sigRequest, this,
        [this, connectionType](const CTask_FormData& request) {
            dispatch(request, connectionType);
        },
        Qt::DirectConnection);
    {
        QMutexLocker lock(&reactorMutex_);
        _netcore = created;
    }
    return created->reAction(address, port);
}

void HttpManager::dispatch(const CTask_FormData& request, Qt::ConnectionType connectionType) {
    const auto direct = anyThreadRoutes_.constFind(request.url);
    if (direct != anyThreadRoutes_.cend() && waitingForOwnThread_.load() == 0) {
        logRequest(request);
        direct.value()(request);
        return;
    }
    ++waitingForOwnThread_;
    QMetaObject::invokeMethod(
        this,
        [this, request] {
            SlotRecvRequest(request);
            --waitingForOwnThread_;
        },
        connectionType);
}

void HttpManager::logRequest(const CTask_FormData& request) const {
    const QMap<QString, QVariant> report = request.taskInfo.getReportParam();
    const qint64 usetime = report.value(QStringLiteral("_tsk_finishrecv_timing")).toLongLong() -
                           report.value(QStringLiteral("_tsk_create_timing")).toLongLong();
    const qint64 packs = report.value(QStringLiteral("_tsk_recv_times")).toLongLong();
    qInfo().noquote() << "[Short_RCV] *********************************" << request.url
                      << "usetime_ms:" << usetime << "packs:" << packs;
}

void HttpManager::SlotRecvRequest(CTask_FormData request) {
    logRequest(request);
    const auto direct = anyThreadRoutes_.constFind(request.url);
    if (direct != anyThreadRoutes_.cend()) {
        direct.value()(request);
        return;
    }
    auto route = routes_.constFind(request.url);
    if (route != routes_.cend())
        route.value()(request);
    else
        callback_immediately(request, false);
}

void HttpManager::callback_immediately(const CTask_FormData& request, bool ok) {
    CTask_FormData reply;
    reply.uuid = request.uuid;
    reply.sessionId = request.sessionId;
    reply.deviceId = request.deviceId;
    reply.values.insert(QStringLiteral("result"), QVariant::fromValue(QJsonObject()));
    if (!ok) reply.handled = 0;
    if (const std::shared_ptr<MCore::TcpReactor> current = reactor()) current->post_async(reply);
}
