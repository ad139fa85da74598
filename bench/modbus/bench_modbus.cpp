// Read transactions of libmodbus masters against our register server, beside libmodbus's own
// server answering the same registers on one thread, in the same run: with 1 and with 8 masters,
// and (ours only) while the GUI thread is kept busy as by a long inspection.
//
// The main thread plays the GUI thread: it runs its event loop, publishes the register values,
// and spins in long stretches while the busy benchmark runs. The benchmarks run on threads of
// their own, one libmodbus master each.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "globals.h"
#include "modbusdatasource.h"
#include "modbusserver.h"

namespace {

constexpr int kRegisters = 4;
// The busy GUI thread: stretches of work this long, with the event loop running in between.
constexpr int kGuiBusyStretchMs = 200;
quint16 gOurPort = 0;
quint16 gReferencePort = 0;
std::atomic<bool> gGuiBusy{false};

// libmodbus's own server answering registers 0..4 with the values ours shows, every connection
// on one thread (as ours), in the select() loop of libmodbus's multi-client examples.
class ReferenceServer {
public:
    ReferenceServer()
        : ctx_(modbus_new_tcp("127.0.0.1", 0)), mapping_(modbus_mapping_new(0, 0, 5, 0)) {
        const uint16_t values[] = {1, 0, 9, 2, 0};
        std::copy(values, values + 5, mapping_->tab_registers);
        listenSocket_ = modbus_tcp_listen(ctx_, 16);
        sockaddr_in address{};
        socklen_t length = sizeof(address);
        getsockname(listenSocket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "reference");
            serve();
        });
    }
    ~ReferenceServer() {
        stopping_ = true;
        thread_.join();
        close(listenSocket_);
        modbus_mapping_free(mapping_);
        modbus_free(ctx_);
    }
    quint16 port() const { return port_; }

private:
    void serve() {
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        fd_set open;
        FD_ZERO(&open);
        FD_SET(listenSocket_, &open);
        int highest = listenSocket_;
        while (!stopping_) {
            fd_set ready = open;
            timeval slice{0, 100000};
            if (select(highest + 1, &ready, nullptr, nullptr, &slice) <= 0) continue;
            for (int fd = 0; fd <= highest; ++fd) {
                if (!FD_ISSET(fd, &ready)) continue;
                if (fd == listenSocket_) {
                    const int client = accept(listenSocket_, nullptr, nullptr);
                    if (client < 0) continue;
                    FD_SET(client, &open);
                    highest = std::max(highest, client);
                    continue;
                }
                modbus_set_socket(ctx_, fd);
                const int rc = modbus_receive(ctx_, query);
                if (rc > 0) {
                    modbus_reply(ctx_, query, rc, mapping_);
                } else if (rc < 0) {
                    close(fd);
                    FD_CLR(fd, &open);
                }
            }
        }
        for (int fd = 0; fd <= highest; ++fd)
            if (fd != listenSocket_ && FD_ISSET(fd, &open)) close(fd);
    }

    modbus_t* ctx_;
    modbus_mapping_t* mapping_;
    int listenSocket_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

void readRegisters(benchmark::State& state, quint16 port) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
    modbus_set_slave(ctx, 1);
    if (modbus_connect(ctx) != 0) {
        state.SkipWithError("cannot connect");
        modbus_free(ctx);
        return;
    }
    uint16_t values[kRegisters];
    std::vector<double> latenciesUs;
    latenciesUs.reserve(1 << 18);
    int failures = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        if (modbus_read_registers(ctx, 0, kRegisters, values) != kRegisters || values[2] != 9)
            ++failures;
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
    // Per master; with several masters the figures are averaged over them.
    state.counters["p50_us"] =
        benchmark::Counter(percentile(0.50), benchmark::Counter::kAvgThreads);
    state.counters["p99_us"] =
        benchmark::Counter(percentile(0.99), benchmark::Counter::kAvgThreads);
    state.counters["max_us"] = benchmark::Counter(percentile(1.0), benchmark::Counter::kAvgThreads);
}

void BM_Reads_Ours(benchmark::State& state) {
    readRegisters(state, gOurPort);
}
void BM_Reads_LibmodbusReference(benchmark::State& state) {
    readRegisters(state, gReferencePort);
}
void BM_Reads_OursWhileGuiBusy(benchmark::State& state) {
    gGuiBusy = true;
    readRegisters(state, gOurPort);
    gGuiBusy = false;
}
// The same load on the machine (a core spinning in the GUI thread) without a GUI thread
// behind the server.
void BM_Reads_LibmodbusReferenceWhileGuiBusy(benchmark::State& state) {
    gGuiBusy = true;
    readRegisters(state, gReferencePort);
    gGuiBusy = false;
}
// Repeated and interleaved (see main), so that a change of load on a shared machine falls on
// both servers alike; the summary takes the medians.
constexpr int kRepetitions = 5;
BENCHMARK(BM_Reads_Ours)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(kRepetitions)
    ->Threads(1)
    ->Threads(8);
BENCHMARK(BM_Reads_LibmodbusReference)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(kRepetitions)
    ->Threads(1)
    ->Threads(8);
BENCHMARK(BM_Reads_OursWhileGuiBusy)->UseRealTime()->MinTime(1.0)->Repetitions(kRepetitions);
BENCHMARK(BM_Reads_LibmodbusReferenceWhileGuiBusy)
    ->UseRealTime()
    ->MinTime(1.0)
    ->Repetitions(kRepetitions);

// Keeps each run's reads per second and p99 for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate ||
                run.aggregate_name != "median")
                continue;
            const auto rate = run.counters.find("items_per_second");
            const auto p99 = run.counters.find("p99_us");
            Figures& figures = byName[run.run_name.function_name][int(run.threads)];
            if (rate != run.counters.end()) figures.readsPerSecond = rate->second.value;
            if (p99 != run.counters.end()) figures.p99Us = p99->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Figures {
        double readsPerSecond = 0;
        double p99Us = 0;
    };
    std::map<std::string, std::map<int, Figures>> byName;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    args.insert(args.begin() + 1, {interleave, aggregatesOnly});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());

    gAllCycleNum[1] = 9;
    gSyncNGCycleNum = 2;
    GlobalsModbusDataSource source;
    source.setStateReader([] { return ModbusMachineState{1, 0, 0}; });
    ModbusServer server(&source);
    if (!server.start(QHostAddress::LocalHost, 0)) return 1;
    gOurPort = server.serverPort();
    ReferenceServer reference;
    gReferencePort = reference.port();

    // The busy GUI thread: a long stretch of work whenever its event loop comes round.
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [] {
        if (!gGuiBusy) return;
        QElapsedTimer stretch;
        stretch.start();
        while (stretch.elapsed() < kGuiBusyStretchMs) {
        }
    });
    busy.start(1);

    SummaryReporter reporter;
    std::thread runner([&] {
        benchmark::RunSpecifiedBenchmarks(&reporter);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    runner.join();
    server.stop();

    auto& ours = reporter.byName["BM_Reads_Ours"];
    auto& ref = reporter.byName["BM_Reads_LibmodbusReference"];
    std::printf("\nReads of 4 registers per second, ours beside the libmodbus reference:\n");
    for (int masters : {1, 8}) {
        const double o = ours[masters].readsPerSecond;
        const double r = ref[masters].readsPerSecond;
        if (o > 0 && r > 0)
            std::printf("  %d master(s): ours %.0f/s, reference %.0f/s, ours / reference = %.2f\n",
                        masters, o, r, o / r);
    }
    const auto& busyOurs = reporter.byName["BM_Reads_OursWhileGuiBusy"][1];
    const auto& busyRef = reporter.byName["BM_Reads_LibmodbusReferenceWhileGuiBusy"][1];
    std::printf(
        "Read latency p99, 1 master: ours %.0f us, reference %.0f us; with the GUI thread "
        "busy in %d ms stretches: ours %.0f us, reference %.0f us\n",
        ours[1].p99Us, ref[1].p99Us, kGuiBusyStretchMs, busyOurs.p99Us, busyRef.p99Us);
    std::printf("(medians of %d interleaved repetitions)\n", kRepetitions);
    benchmark::Shutdown();
    return 0;
}
