#include "modbusconnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QtDebug>
#include <cerrno>
#include <chrono>

#include "modbusdatasource.h"

namespace {

qint64 monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void configure(QTcpSocket* socket) {
    // A reply is one small segment the master waits for: send it at once.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int fd = int(socket->socketDescriptor());
    const int idle = modbus::kKeepAliveIdleS;
    const int interval = modbus::kKeepAliveIntervalS;
    const int probes = modbus::kKeepAliveProbes;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

}  // namespace

modbus::HoldingRegisters ModbusSourceBridge::registers() const {
    return source_->published();
}

modbus::ResetOutcome ModbusSourceBridge::resetCounters() {
    if (!open_.load()) return modbus::ResetOutcome::Failed;
    modbus::ResetOutcome done = modbus::ResetOutcome::Failed;
    ++waiting_;
    QMetaObject::invokeMethod(
        source_,
        [this, &done] {
            done = source_->resetCounters();
            // Reads that follow the reset see it at once.
            if (done == modbus::ResetOutcome::Done) source_->publish();
        },
        Qt::BlockingQueuedConnection);
    --waiting_;
    return done;
}

ModbusConnection::ModbusConnection(QTcpSocket* socket, std::shared_ptr<ModbusSourceBridge> bridge,
                                   QObject* parent)
    : QObject(parent),
      socket_(socket),
      bridge_(std::move(bridge)),
      peer_(QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort())),
      lastActivity_(monotonicNs()) {
    socket_->setParent(this);
    socket_->setReadBufferSize(modbus::kMaxBufferedRequestBytes);
    configure(socket_);
    connect(socket_, &QTcpSocket::readyRead, this, &ModbusConnection::serve);
    // Replies drained: requests left unread while the master was not reading are taken up.
    connect(socket_, &QTcpSocket::bytesWritten, this, &ModbusConnection::serve);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    // Bytes may have arrived before the connection was wired.
    if (socket_->bytesAvailable() > 0) serve();
}

bool ModbusConnection::isOpen() const {
    if (socket_->state() != QAbstractSocket::ConnectedState) return false;
    // Requests still to answer keep it open even when the master has shut its sending side.
    if (socket_->bytesAvailable() > 0 || splitter_.buffered() > 0) return true;
    char byte;
    const ssize_t peeked =
        ::recv(int(socket_->socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked > 0 || (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

bool ModbusConnection::backlogged() const {
    return socket_->bytesToWrite() > modbus::kMaxPendingReplyBytes;
}

void ModbusConnection::serve() {
    // Writing may report bytesWritten at once, which calls back in here.
    if (serving_ || closing_) return;
    serving_ = true;
    const auto resetCounters = [this] { return bridge_->resetCounters(); };
    QByteArray frame;
    QByteArray replies;
    while (!backlogged()) {
        const modbus::FrameSplitter::Status status = splitter_.next(&frame);
        if (status == modbus::FrameSplitter::Status::NeedMore) {
            if (socket_->bytesAvailable() == 0) break;
            splitter_.append(socket_->readAll());
            lastActivity_ = monotonicNs();
            continue;
        }
        if (status == modbus::FrameSplitter::Status::Malformed) {
            // The frame boundaries are lost: what arrived so far is dropped and the next
            // request the master sends (after its time-out) starts afresh.
            qWarning().noquote() << "Modbus:" << peer_
                                 << "sent a frame header with an impossible length;"
                                 << splitter_.buffered() << "bytes dropped";
            splitter_.clear();
            continue;
        }
        replies += modbus::answer(frame, bridge_->registers(), resetCounters);
        if (replies.size() > modbus::kMaxPendingReplyBytes) send(&replies);
    }
    send(&replies);
    serving_ = false;
}

void ModbusConnection::send(QByteArray* replies) {
    if (replies->isEmpty()) return;
    // Straight to the kernel while nothing waits in the socket's buffer: the usual case, and
    // it spares the socket layer arming its write notification for every reply.
    qint64 sent = 0;
    if (socket_->bytesToWrite() == 0) {
        sent = ::send(int(socket_->socketDescriptor()), replies->constData(),
                      size_t(replies->size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0) sent = 0;
    }
    // Only what the kernel would not take is left for the socket layer, and counts as unread.
    if (sent < replies->size()) socket_->write(replies->constData() + sent, replies->size() - sent);
    replies->clear();
}

void ModbusConnection::evict() {
    qInfo().noquote() << "Modbus: closing the longest-idle connection" << peer_
                      << "to make room for a new master";
    closing_ = true;
    socket_->abort();
    deleteLater();
}

ModbusListener::ModbusListener(std::shared_ptr<ModbusSourceBridge> bridge,
                               const modbus::ConnectionLimits& limits)
    : server_(new QTcpServer(this)), bridge_(std::move(bridge)), limits_(limits) {
    connect(server_, &QTcpServer::newConnection, this, &ModbusListener::onNewConnection);
}

ModbusListener::~ModbusListener() {
    server_->close();
}

bool ModbusListener::listen(const QHostAddress& address, quint16 port) {
    return server_->listen(address, port);
}

quint16 ModbusListener::serverPort() const {
    return server_->serverPort();
}

QString ModbusListener::errorString() const {
    return server_->errorString();
}

bool ModbusListener::makeRoom() {
    // Connections whose master has gone, but whose end this thread has not seen yet, give
    // their place back first.
    for (ModbusConnection* connection : QList<ModbusConnection*>(connections_)) {
        if (connection->isOpen()) continue;
        connections_.removeOne(connection);
        delete connection;
    }
    if (connections_.size() < limits_.maxConnections) return true;
    ModbusConnection* idlest = nullptr;
    for (ModbusConnection* connection : qAsConst(connections_)) {
        if (connection->betweenRequests() &&
            (!idlest || connection->lastActivity() < idlest->lastActivity()))
            idlest = connection;
    }
    if (!idlest) return false;
    connections_.removeOne(idlest);
    idlest->evict();
    return true;
}

void ModbusListener::onNewConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (connections_.size() >= limits_.maxConnections && !makeRoom()) {
            qWarning().noquote() << "Modbus: refusing" << socket->peerAddress().toString()
                                 << "- each of the" << connections_.size()
                                 << "masters is in the middle of a request";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        qDebug().noquote() << QStringLiteral("connect ip: %1, port:%2")
                                  .arg(socket->peerAddress().toString())
                                  .arg(socket->peerPort());
        auto* connection = new ModbusConnection(socket, bridge_, this);
        connections_.append(connection);
        connect(connection, &QObject::destroyed, this,
                [this, connection] { connections_.removeOne(connection); });
    }
}
