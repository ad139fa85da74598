// The detection cycle of 8 grey cameras at 1920 x 1080, 100 regions each and position
// correction within +-5 degrees, from the input edge to the decision (the step has no delay):
// the cameras inspected at the same time (arg 1), beside the same cycle with the cameras taken
// one after the other (arg 0), and one camera's inspection alone, all in the same run. Counters
// of the cycles: one_camera_ms, the single inspection measured just before, and ratio, the
// cycle's time over it (the aim for the cameras at the same time: at most 1.5). BENCH_CV_THREADS
// sets OpenCV's own thread count (default: OpenCV's choice), to see the cameras' tasks alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "cyclefakes.h"
#include "enginestation.h"
#include "recordingsystemactions.h"

namespace {

using namespace enginetest;

constexpr int kCameras = 8;
constexpr int kTemplates = 3;
constexpr int kMargin = 160;
constexpr int kRounds = 10;
const cv::Size kFrame(1920, 1080);
const cv::Rect kPositionArea(640, 300, 640, 480);

struct Cameras {
    std::vector<std::unique_ptr<Rig>> rigs;
    std::vector<std::unique_ptr<EngineStation>> stations;
};

// Every camera sees its own mould, moved and turned by 3 degrees.
Cameras& cameras() {
    static Cameras c = [] {
        Cameras c;
        const cv::Point2d centre(kPositionArea.x + kPositionArea.width / 2,
                                 kPositionArea.y + kPositionArea.height / 2);
        for (int k = 0; k < kCameras; ++k) {
            const cv::Mat big =
                texturedScene(kFrame + cv::Size(2 * kMargin, 2 * kMargin), unsigned(50 + k));
            const cv::Mat templ = big(cv::Rect(kMargin, kMargin, kFrame.width, kFrame.height));
            auto rig =
                std::make_unique<Rig>(kFrame.width, kFrame.height, false, true, 1, kTemplates);
            rig->ctx.cameraNo = k;
            rig->para->motionCorrect = 0;
            rig->para->rotateAngle = 5;
            rig->para->shapeOffset = 60;
            rig->para->minSpot = 3;
            rig->addMixedRegions(0, kPositionArea);
            for (int t = 0; t < kTemplates; ++t)
                rig->setTemplate(0, t, withNoise(templ, 2.0, unsigned(100 * k + t)));
            rig->build();
            rig->setFrame(
                withNoise(posed(big, kMargin, kFrame, centre, 3.0, {-23, 10}), 2.0, unsigned(k)));
            c.stations.push_back(std::make_unique<EngineStation>(*rig));
            c.rigs.push_back(std::move(rig));
        }
        return c;
    }();
    return c;
}

void clearRecords(Cameras& c) {
    for (auto& rig : c.rigs) {
        rig->monitorList.clear();
        rig->apiList.clear();
    }
}

double oneCameraMs(Cameras& c) {
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < kRounds; ++round) {
        c.rigs.front()->engine->InspectStep(0);
        clearRecords(c);
    }
    return double(timer.nsecsElapsed()) / 1e6 / kRounds;
}

void BM_OneCamera(benchmark::State& state) {
    Cameras& c = cameras();
    for (auto _ : state) {
        c.rigs.front()->engine->InspectStep(0);
        clearRecords(c);
    }
    state.counters["ok"] = c.rigs.front()->ctx.isOK;
}
BENCHMARK(BM_OneCamera)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Cycle(benchmark::State& state) {
    Cameras& c = cameras();
    cycletest::CycleRig cycle("detectEnable[1]=0", 0);
    for (auto& s : c.stations) cycle.host.stations.push_back(s.get());
    cycle.controller->setParallelInspection(state.range(0) != 0);
    const double single = oneCameraMs(c);
    bool allOk = true;
    double totalMs = 0;
    for (auto _ : state) {
        cycle.setInput(0, false);
        cycle.controller->run();
        clearRecords(c);
        QElapsedTimer timer;
        timer.start();
        cycle.edge(0);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1e3);
        totalMs += ms;
        for (auto& rig : c.rigs) allOk = allOk && rig->ctx.isOK;
    }
    state.counters["ok"] = allOk;
    state.counters["one_camera_ms"] = single;
    state.counters["ratio"] = totalMs / double(state.iterations()) / single;
    state.SetLabel(state.range(0) ? "8 cameras at the same time" : "8 cameras one by one");
}
BENCHMARK(BM_Cycle)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    sys::RecordingSystemActions seam;
    sys::setActions(&seam);
    if (qEnvironmentVariableIsSet("BENCH_CV_THREADS"))
        cv::setNumThreads(qEnvironmentVariableIntValue("BENCH_CV_THREADS"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sys::setActions(nullptr);
    return 0;
}
