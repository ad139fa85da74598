#pragma once
// The client end of the message protocol towards one smart camera: its four requests
// (parameter set, parameter change, command, picture) as message records, and the camera's
// replies as Qt values.

#include <QJsonObject>
#include <QVariantMap>
#include <opencv2/core.hpp>

#include "tcpmanager.h"

// Pictures travel through sigRecvPic, across threads when its receiver lives elsewhere.
Q_DECLARE_METATYPE(cv::Mat)

class TcpManager_Client : public TcpManager {
    Q_OBJECT
public:
    TcpManager_Client();

    // False after a failed exchange or when a reply object lacks "result"; true without a
    // reactor.
    bool isConnect();
    // 0 (params replaced by the camera's set, or untouched without a reactor), -12.
    int act_getparams(QJsonObject& params);
    // As act_getparams, as a map; key does not narrow what is fetched.
    int act_getparam(QString key, QVariantMap& params);
    // The camera's "result" map; empty on failure.
    QVariantMap act_setparams(QVariantMap params);
    // Always empty: the camera's answer to a command carries nothing the caller uses.
    QVariantMap act_Command(QVariantMap command);
    // 0 (outputs replaced by the reply's, or untouched without a reactor), -12.
    int act_getPicture(cv::Mat& image, QJsonObject& head, int timeoutMs);
    // 0 with the whole reply in `reply`, -1 on failure or without a reactor.
    int act_getPicture_sync(CTask_FormData& reply, int timeoutMs);
    // Posts a picture request; its picture arrives as sigRecvPic. Only the newest pending
    // request's reply is delivered. Nothing happens without a reactor.
    void act_getPicture_async();

    QString pendingUuid;

signals:
    void sigRecvPic(cv::Mat image);

public slots:
    void SlotRecvResponse_async(CTask_FormData response) override;
    void SlotRecvRequest(CTask_FormData request) override;

private:
    // post_sync on the current reactor; false without one or on failure.
    bool exchange(CTask_FormData& request, CTask_FormData& reply, int timeoutMs);
};

namespace camsdk {
// A request record for a route, with the map as its JSON body when `body` is set.
CTask_FormData makeRequest(const QString& url, const QVariantMap* body = nullptr);
// The JSON objects among the reply's values, in key order.
QList<QJsonObject> replyObjects(const CTask_FormData& reply);
}  // namespace camsdk
