// HTTP JSON API performance.
//
// 1. Google Benchmark, on the calling (GUI) thread:
//    BM_StepReport/<subscribers>/<kind>  the main window's report after a step (rebuild the
//        last-detection document from 8 cameras x 100 regions, push it), with no subscriber,
//        ten dead ones (their connects never complete) or ten live fake subscriber apps;
//        between steps the pushes are let finish, untimed.
//    BM_Reference_ConnectOnCallingThread  one push client connecting to a dead subscriber on
//        the calling thread: what every dead subscriber would cost the cycle if pushes
//        connected there.
//    BM_Cycle/<dead subscribers>  the whole detection cycle of the main window over two
//        simulated cameras (edge at the IO-board simulator to the mould step's release, its
//        delay subtracted), without and with ten dead subscribers. Cycles follow each other
//        far faster than a machine's, so pushes to the dead ones pile up to their cap.
// 2. Loopback load: wrk on "/v18/http/get_product_infos" beside a private nginx serving the
//    same reply in the same run; then with 500 idle connections open, wrk again and the time
//    a new client needs for one request.
//
// Usage: bench_httpapi [--seconds=N] [--connections=N] [google benchmark flags]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include "deraRazovi.h"
#include "eventwait.h"
#include "globals.h"
#include "httpapiserver.h"
#include "loopbackload.h"
#include "recordingsystemactions.h"
#include "subscriberfakes.h"
#include "tcp_push2app.h"
#include "windowrig.h"
#include "wizardpara.h"

namespace {

using subscribertest::BlackHole;
using subscribertest::FakeSubscriber;
using Clock = cycletest::WindowRig::Clock;

constexpr int kSubscribers = 10;
constexpr int kRegions = 100;
constexpr int kIdleConnections = 500;
constexpr int kWaitMs = 5000;
constexpr int kCycles = 20;
// The mould step waits this long, so that the board sees closing withheld; it is subtracted.
constexpr int kMouldDelayTenths = 2;
const QString kProductInfos = QStringLiteral("/v18/http/get_product_infos");
const QByteArray kQuery = "{}";

sys::RecordingSystemActions* gSeam = nullptr;

// The API keeps its files under the working folder.
struct InTemporaryFolder {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    InTemporaryFolder() { QDir::setCurrent(dir.path()); }
    ~InTemporaryFolder() { QDir::setCurrent(previous); }
};

QByteArray post(const QString& path, const QByteArray& body) {
    return "POST " + path.toUtf8() +
           " HTTP/1.1\r\nUser-Agent: bench\r\nContent-Type: application/json\r\n"
           "Content-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// Subscribes the ports through the API, as apps do.
bool subscribe(quint16 apiPort, const std::vector<quint16>& ports) {
    QJsonArray list;
    for (quint16 port : ports)
        list.append(QJsonObject{{"subscriber_ip", "127.0.0.1"}, {"subscriber_port", port}});
    const QByteArray reply = benchload::fetchReplyBody(
        apiPort, post("/v18/http/subscriber_detectinfo",
                      QJsonDocument(QJsonObject{{"subscriber", list}}).toJson()));
    return QJsonDocument::fromJson(reply).object().value("code").toInt(-1) == 0;
}

// The subscribers of one run: none, ten dead or ten live.
struct Subscribers {
    std::vector<std::unique_ptr<BlackHole>> dead;
    std::vector<std::unique_ptr<FakeSubscriber>> live;
    std::vector<quint16> ports;
    QString error;

    Subscribers(int count, bool alive) {
        for (int i = 0; i < count; ++i) {
            if (alive) {
                live.push_back(std::make_unique<FakeSubscriber>());
                if (!live.back()->start()) error = "the fake subscriber did not start";
                ports.push_back(live.back()->port());
            } else {
                dead.push_back(std::make_unique<BlackHole>());
                ports.push_back(dead.back()->port());
            }
        }
    }
};

void BM_StepReport(benchmark::State& state) {
    const int count = int(state.range(0));
    const bool alive = state.range(1) != 0;
    InTemporaryFolder folder;
    HttpApiServer api;
    Subscribers subscribers(count, alive);
    if (!subscribers.error.isEmpty() || !api.startReactor(QHostAddress::LocalHost, 0) ||
        (count > 0 && !subscribe(api.reactor()->localPort(), subscribers.ports))) {
        state.SkipWithError("set-up failed");
        return;
    }
    numCamera = kMaxCameras;
    for (auto _ : state) {
        for (int c = 0; c < kMaxCameras; ++c)
            for (int r = 0; r < kRegions; ++r)
                api.roiResults()->append({c, 1, r, 5, 1234, 300, 86, 7, 1});
        api.update_DetectOnceInfo(1, true);
        api.pushnode_lastdetect();
        state.PauseTiming();
        testsupport::waitFor([&] { return api.pushesInFlight() == 0; }, kWaitMs);
        state.ResumeTiming();
    }
    state.SetLabel(QStringLiteral("%1 %2 subscriber(s), %3 regions")
                       .arg(count)
                       .arg(alive ? "live" : "dead")
                       .arg(kMaxCameras * kRegions)
                       .toStdString());
}

void BM_Reference_ConnectOnCallingThread(benchmark::State& state) {
    BlackHole dead;
    for (auto _ : state) {
        Tcp_Push2APP push;
        benchmark::DoNotOptimize(push.startReactor(QHostAddress::LocalHost, dead.port()));
    }
    state.SetLabel("one dead subscriber");
}

void BM_Cycle(benchmark::State& state) {
    const int dead = int(state.range(0));
    cycletest::WindowRig rig(
        2,
        [](WizardPara& p) {
            p.detectMode = 0;
            p.detectProdEnable = 1;
            p.trigInDelay[1] = kMouldDelayTenths;
        },
        *gSeam);
    Subscribers subscribers(dead, false);
    HttpApiServer& api = *rig.window().httpApiServer;
    if (!rig.ok() || (dead > 0 && !subscribe(api.reactor()->localPort(), subscribers.ports))) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) {
        rig.clearChanges();
        const Clock::time_point edge = Clock::now();
        rig.setInput(0, true);
        if (!rig.waitOutput(0, true, kWaitMs) || !rig.waitOutput(0, false, kWaitMs)) {
            state.SkipWithError("the cycle did not end");
            return;
        }
        const Clock::time_point start = rig.firstChange(0, true, edge);
        const Clock::time_point released = rig.firstChange(0, false, start);
        state.SetIterationTime(std::chrono::duration<double>(released - edge).count() -
                               kMouldDelayTenths / 10.0);
        rig.setInput(0, false);
        rig.waitInputSeen(0, false, kWaitMs);
    }
    state.counters["pushes_in_flight"] = api.pushesInFlight();
    state.SetLabel(QStringLiteral("2 cameras, %1 dead subscriber(s), delay subtracted")
                       .arg(dead)
                       .toStdString());
}

// A new client's first request with the idle connections open, in ms; -1 without a reply.
double newClientMs(quint16 port) {
    QElapsedTimer timer;
    timer.start();
    const QByteArray reply = benchload::fetchReplyBody(port, post(kProductInfos, kQuery));
    return reply.isEmpty() ? -1.0 : double(timer.nsecsElapsed()) / 1e6;
}

int runLoopbackComparison(int seconds, int connections) {
    if (!benchload::toolsAvailable()) {
        std::printf("loopback comparison skipped: wrk or nginx is not installed\n");
        return 0;
    }
    InTemporaryFolder folder;
    numCamera = 2;
    HttpApiServer api;
    if (!api.startReactor(QHostAddress::LocalHost, 0)) {
        std::printf("loopback comparison failed: the API does not listen\n");
        return 1;
    }
    const quint16 port = api.reactor()->localPort();
    const QByteArray reply = benchload::fetchReplyBody(port, post(kProductInfos, kQuery));
    if (reply.isEmpty()) {
        std::printf("loopback comparison failed: no reply from the API\n");
        return 1;
    }
    benchload::NginxReference nginx(kProductInfos, reply);
    const QString script = nginx.postScript(kQuery);
    const QString apiUrl = QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(kProductInfos);
    std::printf("\nloopback, %s, %d-byte JSON reply, wrk -t1 -c%d -d%ds\n",
                qPrintable(kProductInfos), int(reply.size()), connections, seconds);
    const QString nginxUrl =
        QStringLiteral("http://127.0.0.1:%1%2").arg(nginx.port()).arg(kProductInfos);
    // A second each to warm up both servers (threads, first connections) before measuring.
    benchload::runWrk(apiUrl, script, 1, connections);
    if (nginx.ok()) benchload::runWrk(nginxUrl, script, 1, connections);
    const benchload::WrkFigures alone = benchload::runWrk(apiUrl, script, seconds, connections);
    benchload::WrkFigures reference;
    if (nginx.ok())
        reference = benchload::runWrk(nginxUrl, script, seconds, connections);
    else
        reference.error = nginx.error();

    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < kIdleConnections; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    testsupport::waitFor(
        [&] {
            for (const auto& socket : idle)
                if (socket->state() == QAbstractSocket::ConnectingState) return false;
            return true;
        },
        kWaitMs);
    const double firstMs = newClientMs(port);
    const benchload::WrkFigures crowded = benchload::runWrk(apiUrl, script, seconds, connections);

    benchload::printHeader();
    benchload::printRow("API server", alone);
    benchload::printRow("nginx, same reply as file", reference);
    benchload::printRow("API server, 500 idle connections", crowded);
    benchload::printRatio("ratio API / nginx", alone, reference);
    std::printf("%-34s %12.2f ms\n", "new client beside 500 idle", firstMs);
    return alone.ok && reference.ok && crowded.ok && firstMs >= 0 ? 0 : 1;
}

}  // namespace

BENCHMARK(BM_StepReport)
    ->Args({0, 0})
    ->Args({kSubscribers, 0})
    ->Args({kSubscribers, 1})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference_ConnectOnCallingThread)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cycle)
    ->Arg(0)
    ->Arg(kSubscribers)
    ->UseManualTime()
    ->Iterations(kCycles)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(benchload::quietHandler);
    sys::RecordingSystemActions seam;
    sys::setActions(&seam);
    gSeam = &seam;
    const int seconds = benchload::intFlag(argc, argv, "seconds", 3);
    const int connections = benchload::intFlag(argc, argv, "connections", 16);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The load runs on the program's own seam: the recording one stamps every task through a
    // lock and the time-zone rules.
    sys::setActions(nullptr);
    return runLoopbackComparison(seconds, connections);
}
