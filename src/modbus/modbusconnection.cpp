#include "modbusconnection.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtDebug>

#include "modbusdatasource.h"

bool ModbusSourceBridge::readRegisters(modbus::HoldingRegisters* values) {
    if (!open_.load()) return false;
    bool done = false;
    QMetaObject::invokeMethod(
        source_,
        [this, values, &done] {
            *values = source_->holdingRegisters();
            done = true;
        },
        Qt::BlockingQueuedConnection);
    return done;
}

bool ModbusSourceBridge::resetCounters() {
    if (!open_.load()) return false;
    bool done = false;
    QMetaObject::invokeMethod(
        source_, [this, &done] { done = source_->resetCounters(); }, Qt::BlockingQueuedConnection);
    return done;
}

ModbusConnection::ModbusConnection(QTcpSocket* socket, std::shared_ptr<ModbusSourceBridge> bridge,
                                   int idleTimeoutMs, QObject* parent)
    : QObject(parent),
      socket_(socket),
      bridge_(std::move(bridge)),
      peer_(QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort())) {
    socket_->setParent(this);
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(idleTimeoutMs);
    connect(&idleTimer_, &QTimer::timeout, this, &ModbusConnection::onIdle);
    connect(socket_, &QTcpSocket::readyRead, this, &ModbusConnection::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    idleTimer_.start();
    // Bytes may have arrived before the connection was wired.
    if (socket_->bytesAvailable() > 0) onReadyRead();
}

void ModbusConnection::onReadyRead() {
    const QByteArray bytes = socket_->readAll();
    if (closing_) return;
    idleTimer_.start();
    splitter_.append(bytes);
    const auto readRegisters = [this](modbus::HoldingRegisters* values) {
        return bridge_->readRegisters(values);
    };
    const auto resetCounters = [this] { return bridge_->resetCounters(); };
    QByteArray frame;
    for (;;) {
        const modbus::FrameSplitter::Status status = splitter_.next(&frame);
        if (status == modbus::FrameSplitter::Status::NeedMore) break;
        if (status == modbus::FrameSplitter::Status::Malformed) {
            qWarning().noquote() << "Modbus: closing" << peer_
                                 << "- a frame header with an impossible length";
            closeGracefully();
            return;
        }
        socket_->write(modbus::answer(frame, readRegisters, resetCounters));
        if (socket_->bytesToWrite() > modbus::kMaxPendingReplyBytes) {
            qWarning().noquote() << "Modbus: dropping" << peer_ << "- it does not read its replies";
            drop();
            return;
        }
    }
    socket_->flush();
}

void ModbusConnection::onIdle() {
    qInfo().noquote() << "Modbus: closing idle connection" << peer_;
    drop();
}

void ModbusConnection::closeGracefully() {
    closing_ = true;
    socket_->disconnectFromHost();
    if (socket_->state() == QAbstractSocket::UnconnectedState) deleteLater();
}

void ModbusConnection::drop() {
    closing_ = true;
    idleTimer_.stop();
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

void ModbusListener::onNewConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (connections_ >= limits_.maxConnections) {
            qWarning().noquote() << "Modbus: refusing" << socket->peerAddress().toString() << "-"
                                 << connections_ << "masters are connected already";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        qDebug().noquote() << QStringLiteral("connect ip: %1, port:%2")
                                  .arg(socket->peerAddress().toString())
                                  .arg(socket->peerPort());
        auto* connection = new ModbusConnection(socket, bridge_, limits_.idleTimeoutMs, this);
        ++connections_;
        connect(connection, &QObject::destroyed, this, [this] { --connections_; });
    }
}
