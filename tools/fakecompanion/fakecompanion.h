#pragma once
// Stand-ins for the peers of the monitoring link, for tests and development runs.
//
// FakeCompanion listens on 127.0.0.1 and speaks the message protocol as the companion does,
// with a parser of its own (nothing of the message core): it records every request and answers
// each with "HTTP/1.1 200 OK", the request's task id and {"code":0,"msg":"OK","result":{...}},
// the heartbeat's result being the flags set here. FakeTimeService answers the platform
// server's time request with a body set here, or not at all. Both run on the thread that
// creates them; tests let them work by processing events.

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace fakepeer {

// One request as a peer received it.
struct Request {
    QString method;
    QString url;
    QString taskId;  // the "User-Agent" value
    QByteArray body;
    QJsonObject json() const;
};

// Cuts complete requests (head and announced body) from the front of `buffer`.
QList<Request> takeRequests(QByteArray& buffer);

// Listening and reading shared by the fakes; `answer` replies to one request on its socket.
class FakePeer : public QObject {
    Q_OBJECT
public:
    ~FakePeer() override;
    // Listens on 127.0.0.1 (port 0: any free one).
    bool listen(quint16 port = 0);
    quint16 port() const { return port_; }
    // Closes the listener and every connection, as a peer that died.
    void stop();
    QList<Request> received(const QString& url = QString()) const;
    void clear() { received_.clear(); }
    int connections() const;
    // Connections accepted since the peer started listening, open or not.
    int accepted() const { return sockets_.size(); }

protected:
    virtual void answer(QTcpSocket* socket, const Request& request) = 0;

private:
    void accept();
    void read(QTcpSocket* socket);

    QTcpServer server_;
    quint16 port_ = 0;
    QList<QPointer<QTcpSocket>> sockets_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QList<Request> received_;
};

class FakeCompanion : public FakePeer {
    Q_OBJECT
public:
    // The "result" object of heartbeat replies, e.g. {"cntserver":true,"register":true}.
    void setHeartbeatResult(const QJsonObject& result) { heartbeatResult_ = result; }
    // A companion that no longer answers (it still records).
    void setAnswering(bool answering) { answering_ = answering; }

protected:
    void answer(QTcpSocket* socket, const Request& request) override;

private:
    QJsonObject heartbeatResult_;
    bool answering_ = true;
};

class FakeTimeService : public FakePeer {
    Q_OBJECT
public:
    // The body of every answer; with none set, requests are never answered.
    void setBody(const QByteArray& body) { body_ = body; }

protected:
    void answer(QTcpSocket* socket, const Request& request) override;

private:
    QByteArray body_;
};

}  // namespace fakepeer
