// The detection cycle end to end: from an input edge at the IO-board simulator to the output
// word at the simulator, minus the configured step delay, with one and with four simulated
// cameras. Beside it, in the same run, the engine's own time for one step of every camera and
// the IO round trip (edge to the cycle start's output word, no inspection, no delay).
//
// The manual time of BM_EdgeToOutput is edge-to-release minus the delay; its counters:
//   engine_ms   the inspection of one step on every camera, measured alone before the edges
//   io_trip_ms  edge to the first output word of the cycle (board poll, queued pass, flush)
//   beyond_ms   edge-to-release minus the delay minus the engine time: the cycle's own cost
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>

#include "cammerwidget.h"
#include "cyclecamerastation.h"
#include "deraRazovi.h"
#include "globals.h"
#include "recordingsystemactions.h"
#include "windowrig.h"
#include "wizardpara.h"

namespace {

using cycletest::WindowRig;
using Clock = WindowRig::Clock;

constexpr int kProductDelayTenths = 2;
constexpr int kMouldDelayTenths = 2;
constexpr int kWaitMs = 5000;
constexpr int kEngineRounds = 20;
constexpr int kEdges = 25;

sys::RecordingSystemActions* gSeam = nullptr;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::unique_ptr<WindowRig> makeRig(int cameras) {
    return std::make_unique<WindowRig>(
        cameras,
        [](WizardPara& p) {
            p.detectMode = 0;
            p.detectProdEnable = 1;
            p.trigInDelay[0] = kProductDelayTenths;
            p.trigInDelay[1] = kMouldDelayTenths;
        },
        *gSeam);
}

// One product step inspected on every camera, as the cycle runs it, in milliseconds.
double engineStepMs(WindowRig& rig) {
    DeRaRazovi& w = rig.window();
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < kEngineRounds; ++round)
        for (int c = 0; c < numCamera; ++c) CammerWidgetStation(w.cammerWidgets[c], w).inspect(0);
    return double(timer.nsecsElapsed()) / 1e6 / kEngineRounds;
}

void BM_EngineStep(benchmark::State& state) {
    auto rig = makeRig(int(state.range(0)));
    if (!rig->ok()) {
        state.SkipWithError(rig->error().toUtf8().constData());
        return;
    }
    DeRaRazovi& w = rig->window();
    for (auto _ : state)
        for (int c = 0; c < numCamera; ++c) CammerWidgetStation(w.cammerWidgets[c], w).inspect(0);
    state.SetLabel(QStringLiteral("%1 camera(s), 640x480 grey").arg(numCamera).toStdString());
}

void BM_EdgeToOutput(benchmark::State& state) {
    auto rig = makeRig(int(state.range(0)));
    if (!rig->ok()) {
        state.SkipWithError(rig->error().toUtf8().constData());
        return;
    }
    const double engine = engineStepMs(*rig);
    const double delay = kProductDelayTenths * 100.0;
    double tripSum = 0;
    double beyondSum = 0;
    double worst = 0;
    int edges = 0;
    for (auto _ : state) {
        rig->clearChanges();
        const Clock::time_point edge = Clock::now();
        rig->setInput(0, true);
        // The product step's OK releases the ejector after its delay.
        if (!rig->waitOutput(1, true, kWaitMs) || !rig->waitOutput(1, false, kWaitMs)) {
            state.SkipWithError("no release at the board");
            return;
        }
        const Clock::time_point withheld = rig->firstChange(1, true, edge);
        const Clock::time_point released = rig->firstChange(1, false, withheld);
        const double latency = ms(released - edge) - delay;
        state.SetIterationTime(latency / 1000.0);
        tripSum += ms(withheld - edge);
        beyondSum += latency - engine;
        worst = std::max(worst, latency - engine);
        ++edges;
        // End of the cycle: the mould step releases the clamp; then the input goes low.
        if (!rig->waitOutput(0, false, kWaitMs)) {
            state.SkipWithError("the mould step did not end the cycle");
            return;
        }
        rig->setInput(0, false);
        rig->waitInputSeen(0, false, kWaitMs);
    }
    state.counters["engine_ms"] = engine;
    state.counters["io_trip_ms"] = tripSum / edges;
    state.counters["beyond_ms"] = beyondSum / edges;
    state.counters["beyond_worst_ms"] = worst;
    state.SetLabel(QStringLiteral("%1 camera(s), delay %2 ms subtracted")
                       .arg(numCamera)
                       .arg(delay)
                       .toStdString());
}

}  // namespace

BENCHMARK(BM_EngineStep)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EdgeToOutput)
    ->Arg(1)
    ->Arg(4)
    ->UseManualTime()
    ->Iterations(kEdges)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    sys::RecordingSystemActions seam;
    sys::setActions(&seam);
    gSeam = &seam;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sys::setActions(nullptr);
    return 0;
}
