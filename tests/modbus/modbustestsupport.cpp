#include "modbustestsupport.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "testsupport.h"

namespace modbustest {

bool runBeside(const std::function<void()>& body, int timeoutMs) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    const bool finished = testsupport::waitFor([&] { return done.load(); }, timeoutMs);
    // The body may still wait for this thread; keep answering until it is over.
    while (!done.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    return finished;
}

LibmodbusMaster::LibmodbusMaster(quint16 port, int responseTimeoutMs)
    : ctx_(modbus_new_tcp("127.0.0.1", port)) {
    if (!ctx_) return;
    modbus_set_response_timeout(ctx_, responseTimeoutMs / 1000,
                                uint32_t(responseTimeoutMs % 1000) * 1000);
    modbus_set_slave(ctx_, 1);
    connected_ = modbus_connect(ctx_) == 0;
}

LibmodbusMaster::~LibmodbusMaster() {
    if (!ctx_) return;
    modbus_close(ctx_);
    modbus_free(ctx_);
}

std::vector<quint16> LibmodbusMaster::read(int start, int count) {
    std::vector<uint16_t> values(size_t(std::max(count, 1)));
    const int rc = modbus_read_registers(ctx_, start, count, values.data());
    if (rc != count) {
        lastErrno_ = errno;
        return {};
    }
    return std::vector<quint16>(values.begin(), values.begin() + count);
}

bool LibmodbusMaster::write(int start, const std::vector<quint16>& values) {
    std::vector<uint16_t> data(values.begin(), values.end());
    const int rc = modbus_write_registers(ctx_, start, int(data.size()), data.data());
    if (rc != int(data.size())) {
        lastErrno_ = errno;
        return false;
    }
    return true;
}

RawMaster::RawMaster(quint16 port) {
    socket_.connectToHost(QHostAddress::LocalHost, port);
    testsupport::waitFor([this] { return connected(); }, 5000);
}

void RawMaster::send(const QByteArray& bytes) {
    socket_.write(bytes);
    socket_.flush();
}

QByteArray RawMaster::receive(int count, int timeoutMs) {
    testsupport::waitFor(
        [&] {
            received_.append(socket_.readAll());
            return received_.size() >= count;
        },
        timeoutMs);
    QByteArray taken;
    taken.swap(received_);
    return taken;
}

bool RawMaster::waitClosed(int timeoutMs) {
    return testsupport::waitFor(
        [this] {
            received_.append(socket_.readAll());
            return socket_.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
}

Watchdog::Watchdog(std::chrono::seconds limit, const char* what)
    : thread_([this, limit, what] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!disarm_.wait_for(lock, limit, [this] { return disarmed_; })) {
              std::fprintf(stderr, "watchdog: %s did not end within %lld s\n", what,
                           static_cast<long long>(limit.count()));
              std::abort();
          }
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        disarmed_ = true;
    }
    disarm_.notify_all();
    thread_.join();
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

}  // namespace modbustest
