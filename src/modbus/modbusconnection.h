#pragma once
// The server thread's side of the Modbus server: the listener, one object per master connection,
// and the bridge through which both reach the data source on the GUI thread.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <atomic>
#include <memory>

#include "modbuslimits.h"
#include "modbusprotocol.h"

class ModbusDataSource;
class QTcpServer;
class QTcpSocket;

// Carries the server thread's reads and counter resets to the data source: reads take the
// values the data source published; a reset is a blocking queued call on the data source's own
// thread. Once refused (the server is stopping) no new reset is made, so whoever stops the
// server only has to answer a call already under way.
class ModbusSourceBridge {
public:
    explicit ModbusSourceBridge(ModbusDataSource* source) : source_(source) {}

    modbus::HoldingRegisters registers() const;
    // Failed when refused (the server is stopping); else what the data source made of it.
    modbus::ResetOutcome resetCounters();

    void refuse() { open_.store(false); }
    // Resets handed to the data source's thread and not yet answered.
    int resetsWaiting() const { return waiting_.load(); }

private:
    ModbusDataSource* source_;
    std::atomic<bool> open_{true};
    std::atomic<int> waiting_{0};
};

// One master's connection: cuts its requests out of the stream and answers them in order.
// Deletes itself when the master disconnects or breaks the framing; the listener may close it
// to make room for a new master.
class ModbusConnection : public QObject {
    Q_OBJECT
public:
    ModbusConnection(QTcpSocket* socket, std::shared_ptr<ModbusSourceBridge> bridge,
                     QObject* parent);

    // The master has not closed its side (looked at without reading).
    bool isOpen() const;
    // No request of the master is half received, so closing loses nothing it sent whole.
    bool betweenRequests() const { return splitter_.buffered() == 0; }
    // Monotonic time (ns) of the last bytes from the master, or of the accept.
    qint64 lastActivity() const { return lastActivity_; }
    // Closes the connection to make room for another master.
    void evict();

private:
    void serve();
    // Writes the replies and empties *replies.
    void send(QByteArray* replies);
    // Replies the kernel has not taken exceed the limit: the master is not reading them.
    bool backlogged() const;
    // Sends what is written already, then closes.
    void closeGracefully();

    QTcpSocket* socket_;
    std::shared_ptr<ModbusSourceBridge> bridge_;
    modbus::FrameSplitter splitter_;
    QString peer_;
    qint64 lastActivity_ = 0;
    bool serving_ = false;
    bool closing_ = false;
};

// Accepts every master; at the connection limit the longest-idle connection makes room. Lives
// and dies on the server thread; its connections go with it.
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
    // Frees a place at the cap; false when every connection is in the middle of a request.
    bool makeRoom();

    QTcpServer* server_;
    std::shared_ptr<ModbusSourceBridge> bridge_;
    modbus::ConnectionLimits limits_;
    QList<ModbusConnection*> connections_;
};
