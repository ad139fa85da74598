#pragma once
// Modbus-TCP register server: masters read the run state, the detection status and the main
// counters as holding registers 0 to 3 (function 3) and reset the counters by writing 1 into
// register 4 (function 16).
//
// The server's sockets run on a thread of their own. Reads are answered from the register values
// the data source's thread (the GUI thread) publishes; counters are reset on that thread through
// a blocking queued call, so it never waits for the server thread - except while stopping, and
// then it keeps answering a reset already under way.

#include <QHostAddress>
#include <QObject>
#include <memory>

#include "modbuslimits.h"

class ModbusDataSource;
class GlobalsModbusDataSource;
class ModbusServerThread;
class ModbusSourceBridge;

class ModbusServer : public QObject {
    Q_OBJECT
public:
    // Serves the process counters through its own GlobalsModbusDataSource and listens on any
    // address at the Modbus service port at once.
    explicit ModbusServer(QObject* parent = nullptr);
    // Serves the given data source, which must outlive the running server; does not listen yet.
    explicit ModbusServer(ModbusDataSource* source, QObject* parent = nullptr);
    ~ModbusServer() override;

    // Listens on the address and port (0: any free port), stopping a running server first.
    // False when the port cannot be bound.
    bool start(const QHostAddress& address, quint16 port);
    // Stops and listens again on the address and port.
    bool reAction(const QHostAddress& address, quint16 port) { return start(address, port); }
    // Closes the listener and every connection. Call it from the thread that created the server,
    // never from inside a counter reset (that call holds the server thread).
    void stop();

    bool isRunning() const;
    // A master's counter reset is waiting for the data source's thread. On the thread that
    // created the server.
    bool resetWaiting() const;
    // The port actually bound while running, else 0.
    quint16 serverPort() const { return boundPort_; }
    QHostAddress serverAddress() const { return address_; }

    // The server's own data source when it was created without one, else null. The main window
    // gives it its state reader and counter saver.
    GlobalsModbusDataSource* globalsSource() const { return ownSource_; }

    // Limits used from the next start.
    void setLimits(const modbus::ConnectionLimits& limits) { limits_ = limits; }

private:
    ModbusDataSource* source_;
    GlobalsModbusDataSource* ownSource_ = nullptr;
    std::shared_ptr<ModbusSourceBridge> bridge_;
    std::unique_ptr<ModbusServerThread> thread_;
    modbus::ConnectionLimits limits_;
    QHostAddress address_ = QHostAddress::Any;
    quint16 boundPort_ = 0;
};
