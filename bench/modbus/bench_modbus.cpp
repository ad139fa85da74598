// Sequential read transactions of a Modbus master against our register server, beside a server
// built on libmodbus's own receive/reply loop answering the same registers, in the same run.
//
// The main thread plays the idle GUI thread (it only runs its event loop and answers the
// server's register calls); the benchmarks run on a thread of their own with a libmodbus master.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "globals.h"
#include "modbusdatasource.h"
#include "modbusserver.h"

namespace {

constexpr int kRegisters = 4;
quint16 gOurPort = 0;
quint16 gReferencePort = 0;
double gOurTransactionsPerSecond = 0;
double gReferenceTransactionsPerSecond = 0;

// libmodbus's own server answering registers 0..4 with the values ours shows.
class ReferenceServer {
public:
    ReferenceServer()
        : ctx_(modbus_new_tcp("127.0.0.1", 0)), mapping_(modbus_mapping_new(0, 0, 5, 0)) {
        const uint16_t values[] = {1, 0, 9, 2, 0};
        std::copy(values, values + 5, mapping_->tab_registers);
        listenSocket_ = modbus_tcp_listen(ctx_, 1);
        sockaddr_in address{};
        socklen_t length = sizeof(address);
        getsockname(listenSocket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ReferenceServer() {
        stopping_ = true;
        shutdown(listenSocket_, SHUT_RDWR);
        thread_.join();
        close(listenSocket_);
        modbus_mapping_free(mapping_);
        modbus_free(ctx_);
    }
    quint16 port() const { return port_; }

private:
    void serve() {
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stopping_) {
            int socket = listenSocket_;
            if (modbus_tcp_accept(ctx_, &socket) < 0) return;
            for (;;) {
                const int rc = modbus_receive(ctx_, query);
                if (rc > 0) {
                    modbus_reply(ctx_, query, rc, mapping_);
                } else if (rc < 0) {
                    break;
                }
            }
            modbus_close(ctx_);
        }
    }

    modbus_t* ctx_;
    modbus_mapping_t* mapping_;
    int listenSocket_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

void readRegisters(benchmark::State& state, quint16 port, double* transactionsPerSecond) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
    modbus_set_slave(ctx, 1);
    if (modbus_connect(ctx) != 0) {
        state.SkipWithError("cannot connect");
        modbus_free(ctx);
        return;
    }
    uint16_t values[kRegisters];
    std::vector<double> latenciesUs;
    latenciesUs.reserve(1 << 16);
    int failures = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        if (modbus_read_registers(ctx, 0, kRegisters, values) != kRegisters || values[2] != 9) {
            ++failures;
        }
        const auto end = std::chrono::steady_clock::now();
        latenciesUs.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
    }
    modbus_close(ctx);
    modbus_free(ctx);
    if (failures > 0) state.SkipWithError("a read failed or gave wrong values");
    std::sort(latenciesUs.begin(), latenciesUs.end());
    const auto percentile = [&](double p) {
        return latenciesUs.empty() ? 0.0 : latenciesUs[size_t(p * double(latenciesUs.size() - 1))];
    };
    state.SetItemsProcessed(state.iterations());
    state.counters["p50_us"] = percentile(0.50);
    state.counters["p99_us"] = percentile(0.99);
    state.counters["max_us"] = percentile(1.0);
    state.counters["transactions_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    double totalUs = 0;
    for (double us : latenciesUs) totalUs += us;
    *transactionsPerSecond = totalUs > 0 ? double(latenciesUs.size()) * 1e6 / totalUs : 0;
}

void BM_SequentialReads_OurServer(benchmark::State& state) {
    readRegisters(state, gOurPort, &gOurTransactionsPerSecond);
}
void BM_SequentialReads_LibmodbusReference(benchmark::State& state) {
    readRegisters(state, gReferencePort, &gReferenceTransactionsPerSecond);
}
BENCHMARK(BM_SequentialReads_OurServer)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SequentialReads_LibmodbusReference)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    gAllNum[1] = 9;
    gSyncNGNum = 2;
    GlobalsModbusDataSource source;
    source.setStateReader([] { return ModbusMachineState{1, 0, 0}; });
    ModbusServer server(&source);
    if (!server.start(QHostAddress::LocalHost, 0)) return 1;
    gOurPort = server.serverPort();
    ReferenceServer reference;
    gReferencePort = reference.port();

    std::thread runner([&] {
        benchmark::RunSpecifiedBenchmarks();
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    runner.join();
    server.stop();

    if (gOurTransactionsPerSecond > 0 && gReferenceTransactionsPerSecond > 0) {
        std::printf(
            "\nSequential reads of 4 registers: ours %.0f/s (mean %.1f us), libmodbus reference "
            "%.0f/s (mean %.1f us); ours / reference = %.2f\n",
            gOurTransactionsPerSecond, 1e6 / gOurTransactionsPerSecond,
            gReferenceTransactionsPerSecond, 1e6 / gReferenceTransactionsPerSecond,
            gOurTransactionsPerSecond / gReferenceTransactionsPerSecond);
    }
    benchmark::Shutdown();
    return 0;
}
