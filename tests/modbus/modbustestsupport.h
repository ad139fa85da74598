#pragma once
// Masters for the server tests: libmodbus on a thread of its own while the test's main thread
// (the GUI thread of the server's data source) keeps its event loop running, a raw socket for
// byte-level checks, and a watchdog that turns a hang into a failure.

#include <modbus/modbus.h>

#include <QByteArray>
#include <QTcpSocket>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace modbustest {

// Runs `body` on a new thread and spins this thread's event loop until it returns.
// False when it did not finish within the time-out.
bool runBeside(const std::function<void()>& body, int timeoutMs = 30000);

// A libmodbus TCP master connected to 127.0.0.1:port (connected() tells whether it is).
class LibmodbusMaster {
public:
    explicit LibmodbusMaster(quint16 port, int responseTimeoutMs = 3000);
    ~LibmodbusMaster();
    LibmodbusMaster(const LibmodbusMaster&) = delete;
    LibmodbusMaster& operator=(const LibmodbusMaster&) = delete;

    bool connected() const { return connected_; }
    modbus_t* ctx() const { return ctx_; }
    // Reads registers; empty on failure with lastErrno() set.
    std::vector<quint16> read(int start, int count);
    // Writes registers; true when the server confirmed.
    bool write(int start, const std::vector<quint16>& values);
    int lastErrno() const { return lastErrno_; }

private:
    modbus_t* ctx_;
    bool connected_ = false;
    int lastErrno_ = 0;
};

// A plain socket on the test's main thread for byte-level exchanges.
class RawMaster {
public:
    explicit RawMaster(quint16 port);
    bool connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes);
    // Waits for at least `count` bytes and takes everything received so far.
    QByteArray receive(int count, int timeoutMs = 5000);
    // Waits up to `ms` and takes whatever arrived (for "no reply" checks).
    QByteArray receiveFor(int ms) { return receive(INT_MAX, ms); }
    // Waits until the server closed the connection.
    bool waitClosed(int timeoutMs = 5000);
    QTcpSocket& socket() { return socket_; }

private:
    QTcpSocket socket_;
    QByteArray received_;
};

// Aborts the test program when a scope does not end in time, so a deadlock shows as a failure
// with its reason instead of a silent hang.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, const char* what);
    ~Watchdog();

private:
    std::mutex mutex_;
    std::condition_variable disarm_;
    bool disarmed_ = false;
    std::thread thread_;
};

QByteArray hex(const char* text);

}  // namespace modbustest
