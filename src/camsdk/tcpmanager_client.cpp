#include "tcpmanager_client.h"

#include <QJsonValue>
#include <QtDebug>

#include "camsdklimits.h"

namespace {
const QString kGetParams = QStringLiteral("/smcam2/camera/getparams");
const QString kSetParams = QStringLiteral("/smcam2/camera/setparams");
const QString kCommands = QStringLiteral("/smcam2/camera/commands");
const QString kGetPic = QStringLiteral("/smcam2/camera/getpic");
const QString kPostPic = QStringLiteral("/smcam2/camera/postpic");
const QString kResult = QStringLiteral("result");
}  // namespace

namespace camsdk {

CTask_FormData makeRequest(const QString& url, const QVariantMap* body) {
    CTask_FormData request;
    request.url = url;
    if (body) {
        QJsonObject object;
        for (auto it = body->cbegin(); it != body->cend(); ++it)
            object.insert(it.key(), QJsonValue::fromVariant(it.value()));
        request.values.insert(QStringLiteral("body"), QVariant::fromValue(object));
    }
    return request;
}

QList<QJsonObject> replyObjects(const CTask_FormData& reply) {
    QList<QJsonObject> objects;
    for (auto it = reply.values.cbegin(); it != reply.values.cend(); ++it)
        if (it.value().userType() == QMetaType::QJsonObject) objects << it.value().toJsonObject();
    return objects;
}

}  // namespace camsdk

TcpManager_Client::TcpManager_Client() : TcpManager(MCT_CLIENT) {
    qRegisterMetaType<cv::Mat>("cv::Mat");
}

bool TcpManager_Client::exchange(CTask_FormData& request, CTask_FormData& reply, int timeoutMs) {
    const std::shared_ptr<MCore::TcpReactor> current = reactor();
    return current && current->post_sync(request, reply, timeoutMs);
}

bool TcpManager_Client::isConnect() {
    if (!reactor()) return true;
    CTask_FormData request = camsdk::makeRequest(kGetParams), reply;
    if (!exchange(request, reply, camsdklimits::kParamTimeoutMs)) return false;
    for (const QJsonObject& object : camsdk::replyObjects(reply))
        if (!object.contains(kResult)) return false;
    return true;
}

int TcpManager_Client::act_getparams(QJsonObject& params) {
    if (!reactor()) return 0;
    CTask_FormData request = camsdk::makeRequest(kGetParams), reply;
    if (!exchange(request, reply, camsdklimits::kParamTimeoutMs)) return -12;
    for (const QJsonObject& object : camsdk::replyObjects(reply))
        params = object.value(kResult).toObject();
    return 0;
}

int TcpManager_Client::act_getparam(QString key, QVariantMap& params) {
    Q_UNUSED(key)
    if (!reactor()) return 0;
    CTask_FormData request = camsdk::makeRequest(kGetParams), reply;
    if (!exchange(request, reply, camsdklimits::kParamTimeoutMs)) return -12;
    for (const QJsonObject& object : camsdk::replyObjects(reply))
        params = object.value(kResult).toObject().toVariantMap();
    return 0;
}

QVariantMap TcpManager_Client::act_setparams(QVariantMap params) {
    QVariantMap result;
    if (reactor()) {
        CTask_FormData request = camsdk::makeRequest(kSetParams, &params), reply;
        if (!exchange(request, reply, camsdklimits::kParamTimeoutMs)) {
            qDebug() << "act_getParams work error!";
        } else {
            for (const QJsonObject& object : camsdk::replyObjects(reply)) {
                const QVariantMap form = object.toVariantMap();
                if (!form.contains(kResult)) continue;
                result = form.value(kResult).toMap();
                qDebug() << "response:" << result;
            }
        }
    }
    qDebug() << "-----------------------------------------------";
    return result;
}

QVariantMap TcpManager_Client::act_Command(QVariantMap command) {
    if (!reactor()) return {};
    CTask_FormData request = camsdk::makeRequest(kCommands, &command), reply;
    if (!exchange(request, reply, camsdklimits::kParamTimeoutMs))
        qDebug() << "act_Command work error!";
    else
        qDebug() << "act_Command success!";
    return {};
}

int TcpManager_Client::act_getPicture(cv::Mat& image, QJsonObject& head, int timeoutMs) {
    if (!reactor()) return 0;
    const QVariantMap body{{QStringLiteral("compulsive"), false}};
    CTask_FormData request = camsdk::makeRequest(kGetPic, &body), reply;
    if (!exchange(request, reply, timeoutMs)) return -12;
    for (const QJsonObject& object : camsdk::replyObjects(reply)) head = object;
    for (auto it = reply.mats.cbegin(); it != reply.mats.cend(); ++it) image = it.value();
    return 0;
}

int TcpManager_Client::act_getPicture_sync(CTask_FormData& reply, int timeoutMs) {
    const QVariantMap body{{QStringLiteral("compulsive"), false}};
    CTask_FormData request = camsdk::makeRequest(kGetPic, &body);
    return exchange(request, reply, timeoutMs) ? 0 : -1;
}

void TcpManager_Client::act_getPicture_async() {
    const std::shared_ptr<MCore::TcpReactor> current = reactor();
    if (!current) return;
    const QVariantMap body{{QStringLiteral("compulsive"), false}};
    CTask_FormData request = camsdk::makeRequest(kGetPic, &body);
    MCore::TcpReactor::assignTaskId(request);
    pendingUuid = request.uuid;
    current->post_async(request);
}

void TcpManager_Client::SlotRecvResponse_async(CTask_FormData response) {
    // A reply comes back with a status line and no url; the task id alone says it answers the
    // pending picture request.
    if (pendingUuid.isEmpty() || response.uuid != pendingUuid) return;
    for (auto it = response.mats.cbegin(); it != response.mats.cend(); ++it)
        if (!it.value().empty()) emit sigRecvPic(it.value());
    pendingUuid.clear();
}

void TcpManager_Client::SlotRecvRequest(CTask_FormData request) {
    // The camera has no business sending requests to its client; pushed pictures are not
    // taken.
    if (request.url == kPostPic) return;
}
