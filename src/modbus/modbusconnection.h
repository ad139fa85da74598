#pragma once
// The server thread's side of the Modbus server: the listener, one object per master connection,
// and the bridge through which both reach the data source on the GUI thread.

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>

#include "modbuslimits.h"
#include "modbusprotocol.h"

class ModbusDataSource;
class QTcpServer;
class QTcpSocket;

// Carries the server thread's register reads and counter resets to the data source on its own
// thread as blocking queued calls. Once refused (the server is stopping) no new call is made, so
// whoever stops the server only has to answer calls already under way.
class ModbusSourceBridge {
public:
    explicit ModbusSourceBridge(ModbusDataSource* source) : source_(source) {}

    // Both return false when refused, or when the data source could not do it.
    bool readRegisters(modbus::HoldingRegisters* values);
    bool resetCounters();

    void refuse() { open_.store(false); }

private:
    ModbusDataSource* source_;
    std::atomic<bool> open_{true};
};

// One master's connection: cuts its requests out of the stream and answers them in order.
// Deletes itself when the master disconnects, goes idle, or breaks the framing.
class ModbusConnection : public QObject {
    Q_OBJECT
public:
    ModbusConnection(QTcpSocket* socket, std::shared_ptr<ModbusSourceBridge> bridge,
                     int idleTimeoutMs, QObject* parent);

private:
    void onReadyRead();
    void onIdle();
    // Sends what is written already, then closes.
    void closeGracefully();
    // Closes at once, dropping unsent replies.
    void drop();

    QTcpSocket* socket_;
    std::shared_ptr<ModbusSourceBridge> bridge_;
    modbus::FrameSplitter splitter_;
    QTimer idleTimer_;
    QString peer_;
    bool closing_ = false;
};

// Accepts masters up to the connection limit. Lives and dies on the server thread; its
// connections go with it.
class ModbusListener : public QObject {
    Q_OBJECT
public:
    ModbusListener(std::shared_ptr<ModbusSourceBridge> bridge,
                   const modbus::ConnectionLimits& limits);
    ~ModbusListener() override;

    bool listen(const QHostAddress& address, quint16 port);
    quint16 serverPort() const;
    QString errorString() const;

private:
    void onNewConnection();

    QTcpServer* server_;
    std::shared_ptr<ModbusSourceBridge> bridge_;
    modbus::ConnectionLimits limits_;
    int connections_ = 0;
};
