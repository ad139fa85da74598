#pragma once
// Helpers of the message-core tests: a raw client that reads replies
// with its own minimal parser, and a small service with an echo route.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTcpSocket>
#include <atomic>

#include "httpmanager.h"
#include "taskformdata.h"

namespace nettest {

// One message as a foreign client sees it.
struct RawMessage {
    QByteArray head;
    QByteArray body;
    QString header(const QString& name) const;  // value of a header line, trimmed
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// Cuts complete messages (head, then the announced body) from the front of `buffer`.
QList<RawMessage> takeMessages(QByteArray& buffer);

class RawClient {
public:
    bool connectTo(quint16 port, int timeoutMs = 2000);
    void send(const QByteArray& bytes);
    // Waits until `count` messages have arrived (or the time-out) and returns those that did.
    QList<RawMessage> replies(int count, int timeoutMs = 3000);
    // Waits until the server has closed the connection.
    bool waitClosed(int timeoutMs = 3000);
    QTcpSocket socket;

private:
    QByteArray buffer_;
    QList<RawMessage> messages_;
};

// "POST url HTTP/1.1" with a JSON body and the given task id.
QByteArray jsonRequest(const QString& url, const QByteArray& body,
                       const QByteArray& taskId = "t-1");

// A service with the routes "/echo" (replies {"echo": <request object>}) and "/silent" (never
// replies).
class EchoService : public HttpManager {
    Q_OBJECT
public:
    EchoService();
    bool start(const NetLimits& limits = NetLimits(),
               Qt::ConnectionType handlers = Qt::AutoConnection);
    quint16 port() const;
    void SlotRecvResponse_Async(CTask_FormData) override {}
    std::atomic<int> handled{0};
    QList<CTask_FormData> requests;  // read only once the handlers are done
};

}  // namespace nettest
