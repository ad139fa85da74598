#include "netcoretestutil.h"

#include "testsupport.h"

namespace nettest {

QString RawMessage::header(const QString& name) const {
    for (const QByteArray& line : head.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        const int colon = text.indexOf(QLatin1Char(':'));
        if (colon > 0 && text.left(colon).compare(name, Qt::CaseInsensitive) == 0)
            return text.mid(colon + 1).trimmed();
    }
    return QString();
}

QList<RawMessage> takeMessages(QByteArray& buffer) {
    QList<RawMessage> out;
    for (;;) {
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0) break;
        RawMessage message;
        message.head = buffer.left(end);
        const qint64 length = message.header(QStringLiteral("Content-Length")).toLongLong();
        if (buffer.size() < end + 4 + length) break;
        message.body = buffer.mid(end + 4, int(length));
        buffer.remove(0, end + 4 + int(length));
        out << message;
    }
    return out;
}

bool RawClient::connectTo(quint16 port, int timeoutMs) {
    socket.connectToHost(QHostAddress::LocalHost, port);
    return testsupport::waitFor(
        [this] { return socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
}

void RawClient::send(const QByteArray& bytes) {
    socket.write(bytes);
    socket.flush();
}

QList<RawMessage> RawClient::replies(int count, int timeoutMs) {
    testsupport::waitFor(
        [&] {
            buffer_ += socket.readAll();
            messages_ += takeMessages(buffer_);
            return messages_.size() >= count;
        },
        timeoutMs);
    QList<RawMessage> out = messages_;
    messages_.clear();
    return out;
}

bool RawClient::waitClosed(int timeoutMs) {
    return testsupport::waitFor(
        [this] {
            socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
}

QByteArray jsonRequest(const QString& url, const QByteArray& body, const QByteArray& taskId) {
    return "POST " + url.toUtf8() + " HTTP/1.1\r\nUser-Agent: " + taskId +
           "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

EchoService::EchoService() : HttpManager(MCT_SERVER) {
    routes_.insert(QStringLiteral("/echo"), [this](CTask_FormData request) {
        ++handled;
        requests << request;
        CTask_FormData reply;
        reply.uuid = request.uuid;
        reply.sessionId = request.sessionId;
        QJsonObject result;
        result.insert(QStringLiteral("echo"), request.extract_jsonobject());
        reply.values.insert(QStringLiteral("result"), QVariant::fromValue(result));
        reactor()->post_async(reply);
    });
    routes_.insert(QStringLiteral("/silent"), [this](CTask_FormData request) {
        ++handled;
        requests << request;
    });
}

bool EchoService::start(const NetLimits& limits, Qt::ConnectionType handlers) {
    setNetLimits(limits);
    return startReactor(QHostAddress::LocalHost, 0, handlers);
}

quint16 EchoService::port() const {
    return reactor() ? reactor()->localPort() : 0;
}

}  // namespace nettest
