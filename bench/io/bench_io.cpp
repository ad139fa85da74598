// Latency of the IO board link against the IO-board simulator over a pseudo-terminal:
//  - input: from an input change at the board to the program's detection pass (the receiver's
//    Run() slot, queued into the main thread by the IO thread's change signal);
//  - output: from IOFlashOut in the main thread to the board taking the new output word.
// Beside them, the poll period they are made of, as a measured 5 ms sleep in the same run.
//
// The main thread plays the idle GUI thread (it only runs its event loop); the benchmarks run
// on a thread of their own.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "controlport.h"
#include "globals.h"
#include "ioboardsimulator.h"
#include "iolimits.h"
#include "recordingsystemactions.h"
#include "wizardpara.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kIterations = 300;
constexpr auto kGiveUp = std::chrono::seconds(1);

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

class RunReceiver : public QObject {
    Q_OBJECT
public:
    std::atomic<qint64> lastRunNs{0};
public slots:
    void Run() { lastRunNs = nowNs(); }
};

iosim::IoBoardSimulator* gBoard = nullptr;
ControlPort* gPort = nullptr;
RunReceiver* gReceiver = nullptr;
std::atomic<qint64> gOutputSeenNs{0};

struct Summary {
    double meanMs = 0, p50Ms = 0, p99Ms = 0, maxMs = 0;
};
Summary gInput, gOutput, gReference;

Summary summarize(std::vector<double> ms) {
    Summary s;
    if (ms.empty()) return s;
    std::sort(ms.begin(), ms.end());
    double total = 0;
    for (double v : ms) total += v;
    s.meanMs = total / double(ms.size());
    s.p50Ms = ms[ms.size() / 2];
    s.p99Ms = ms[size_t(0.99 * double(ms.size() - 1))];
    s.maxMs = ms.back();
    return s;
}

void report(benchmark::State& state, const Summary& s) {
    state.counters["mean_ms"] = s.meanMs;
    state.counters["p50_ms"] = s.p50Ms;
    state.counters["p99_ms"] = s.p99Ms;
    state.counters["max_ms"] = s.maxMs;
    state.counters["poll_period_ms"] = io::kPollPeriodMs;
}

// Waits (bounded) until the value moves past since; returns it, or 0 on time-out.
qint64 waitPast(const std::atomic<qint64>& value, qint64 since) {
    const auto deadline = Clock::now() + kGiveUp;
    while (Clock::now() < deadline) {
        const qint64 v = value.load();
        if (v > since) return v;
        std::this_thread::yield();
    }
    return 0;
}

void BM_InputChangeToDetectionPass(benchmark::State& state) {
    std::vector<double> samples;
    quint32 word = 0;
    for (auto _ : state) {
        // Start at a random phase of the poll cycle, as a machine's signal does.
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + std::rand() % 5000));
        word ^= 0x001;
        const qint64 start = nowNs();
        gBoard->setInputs(word);
        const qint64 seen = waitPast(gReceiver->lastRunNs, start);
        if (!seen) {
            state.SkipWithError("the input change never reached the detection pass");
            break;
        }
        const double seconds = double(seen - start) / 1e9;
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e3);
    }
    gInput = summarize(samples);
    report(state, gInput);
}

void BM_OutputFlushToBoard(benchmark::State& state) {
    std::vector<double> samples;
    int on = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + std::rand() % 5000));
        on ^= 1;
        std::atomic<qint64> flushedNs{0};
        const qint64 before = gOutputSeenNs.load();
        // ControlPort belongs to the main thread; flush there, as the detection pass does.
        QMetaObject::invokeMethod(
            gPort,
            [&] {
                gPort->IOSetOut(1, on);
                flushedNs = nowNs();
                gPort->IOFlashOut();
            },
            Qt::QueuedConnection);
        const qint64 seen = waitPast(gOutputSeenNs, before);
        const qint64 flushed = flushedNs.load();
        if (!seen || !flushed) {
            state.SkipWithError("the output never reached the board");
            break;
        }
        const double seconds = double(seen - flushed) / 1e9;
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e3);
    }
    gOutput = summarize(samples);
    report(state, gOutput);
}

void BM_PollPeriodReference(benchmark::State& state) {
    std::vector<double> samples;
    for (auto _ : state) {
        const qint64 start = nowNs();
        QThread::msleep(io::kPollPeriodMs);
        const double seconds = double(nowNs() - start) / 1e9;
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e3);
    }
    gReference = summarize(samples);
    report(state, gReference);
}

BENCHMARK(BM_PollPeriodReference)
    ->UseManualTime()
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InputChangeToDetectionPass)
    ->UseManualTime()
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OutputFlushToBoard)
    ->UseManualTime()
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    sys::RecordingSystemActions seam;  // no system action is performed by a benchmark
    sys::setActions(&seam);
    pMutexIO = new QMutex;
    gpWPara = new WizardPara;
    std::fill(std::begin(gpWPara->outputInvert), std::end(gpWPara->outputInvert), 0);
    std::fill(std::begin(gpWPara->inputInvert), std::end(gpWPara->inputInvert), 0);
    gpWPara->output4Use = 0;
    gpWPara->input4Use = 0;

    iosim::IoBoardSimulator board;
    if (!board.start()) {
        std::fprintf(stderr, "simulator: %s\n", board.errorString().toLocal8Bit().constData());
        return 1;
    }
    board.setOutputObserver([](quint32) { gOutputSeenNs = nowNs(); });
    seam.setSerialPath(board.slavePath());
    RunReceiver receiver;
    ControlPort port;
    port.InitIOThread(&receiver);
    gBoard = &board;
    gPort = &port;
    gReceiver = &receiver;

    std::thread runner([&] {
        // Let the link settle into polling first.
        board.waitForCommandCount(io::kCommandPoll, 20, 5000);
        benchmark::RunSpecifiedBenchmarks();
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    runner.join();
    port.StopIOThread();
    board.stop();

    std::printf(
        "\nIO link latency (mean / p99 / max), poll period %d ms (measured sleep mean %.2f ms):\n"
        "  input change at the board -> detection pass: %.2f / %.2f / %.2f ms = %.1f poll "
        "periods on average\n"
        "  output flush -> board has the new word:      %.2f / %.2f / %.2f ms = %.1f poll "
        "periods on average\n",
        io::kPollPeriodMs, gReference.meanMs, gInput.meanMs, gInput.p99Ms, gInput.maxMs,
        gInput.meanMs / io::kPollPeriodMs, gOutput.meanMs, gOutput.p99Ms, gOutput.maxMs,
        gOutput.meanMs / io::kPollPeriodMs);
    benchmark::Shutdown();
    sys::setActions(nullptr);
    return 0;
}

#include "bench_io.moc"
