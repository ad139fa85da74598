#include "fakecompanion.h"

#include <QJsonDocument>

namespace fakepeer {

namespace {

QByteArray reply(const QByteArray& taskId, const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nUser-Agent: " + taskId +
           "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

QJsonObject Request::json() const {
    return QJsonDocument::fromJson(body).object();
}

QList<Request> takeRequests(QByteArray& buffer) {
    QList<Request> requests;
    for (;;) {
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0) return requests;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        Request request;
        qint64 length = 0;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = QString::fromLatin1(first.value(0));
        request.url = QString::fromLatin1(first.value(1));
        for (const QByteArray& line : lines.mid(1)) {
            const int colon = line.indexOf(':');
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length") length = value.toLongLong();
            if (name == "user-agent") request.taskId = QString::fromUtf8(value);
        }
        if (buffer.size() < headEnd + 4 + length) return requests;
        request.body = buffer.mid(headEnd + 4, int(length));
        buffer.remove(0, headEnd + 4 + int(length));
        requests << request;
    }
}

FakePeer::~FakePeer() {
    stop();
}

bool FakePeer::listen(quint16 port) {
    connect(&server_, &QTcpServer::newConnection, this, &FakePeer::accept, Qt::UniqueConnection);
    if (!server_.listen(QHostAddress::LocalHost, port)) return false;
    port_ = server_.serverPort();
    return true;
}

void FakePeer::stop() {
    server_.close();
    for (const QPointer<QTcpSocket>& socket : qAsConst(sockets_))
        if (socket) socket->abort();
    qDeleteAll(sockets_);
    sockets_.clear();
    buffers_.clear();
}

QList<Request> FakePeer::received(const QString& url) const {
    QList<Request> matching;
    for (const Request& request : received_)
        if (url.isEmpty() || request.url == url) matching << request;
    return matching;
}

int FakePeer::connections() const {
    int open = 0;
    for (const QPointer<QTcpSocket>& socket : sockets_)
        if (socket && socket->state() == QAbstractSocket::ConnectedState) ++open;
    return open;
}

void FakePeer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        sockets_ << socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
    }
}

void FakePeer::read(QTcpSocket* socket) {
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    for (const Request& request : takeRequests(buffer)) {
        received_ << request;
        answer(socket, request);
    }
}

void FakeCompanion::answer(QTcpSocket* socket, const Request& request) {
    if (!answering_) return;
    const QJsonObject result =
        request.url == QLatin1String("/inline/bymain/heartbeat") ? heartbeatResult_ : QJsonObject();
    const QJsonObject body{{"code", 0}, {"msg", "OK"}, {"result", result}};
    socket->write(
        reply(request.taskId.toUtf8(), QJsonDocument(body).toJson(QJsonDocument::Compact)));
}

void FakeTimeService::answer(QTcpSocket* socket, const Request&) {
    if (body_.isEmpty()) return;
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                  QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_);
    socket->disconnectFromHost();
}

}  // namespace fakepeer
