// Saving edited areas with 100 polygon areas in each of the 8 detections of a camera: the
// comparison that decides whether to ask (nothing changed) beside comparing the whole record
// byte for byte, and composing the change records of a detection whose every area moved beside
// formatting as many plain numbers.
#include <benchmark/benchmark.h>

#include <QString>
#include <cstring>
#include <memory>

#include "cammersingleton.h"
#include "changelog.h"

namespace {

constexpr int kAreas = roi::kMaxRois;
constexpr int kPoints = 12;

// Two equal records, every area a polygon of kPoints points.
struct Records {
    std::unique_ptr<CammerSingleton> live = std::make_unique<CammerSingleton>(0);
    std::unique_ptr<CammerSingleton> edited = std::make_unique<CammerSingleton>(0);
    Records() {
        for (int g = 0; g < roi::kDetections; ++g) {
            live->roiCount[g] = kAreas;
            for (int i = 0; i < kAreas; ++i) {
                live->roiShapeType[g][i] = roi::kShapePolygon;
                live->roiFunc[g][i] = i % 2 ? roi::kFuncSpot : roi::kFuncDefect;
                RePolygon& p = live->polygons[g][i];
                p.count = kPoints;
                for (int k = 0; k < kPoints; ++k) p.points[k] = QPoint(10 * i + k, 5 * k + g);
            }
        }
        *edited = *live;
    }
};

void BM_SaveComparisonUnchanged(benchmark::State& state) {
    Records r;
    for (auto _ : state) benchmark::DoNotOptimize(r.live->sameParameters(*r.edited));
}

// Reference: the whole record compared byte for byte.
void BM_ReferenceWholeRecordCompare(benchmark::State& state) {
    Records r;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            std::memcmp(r.live.get(), r.edited.get(), sizeof(CammerSingleton)));
}

void BM_ChangeRecordsAllMoved(benchmark::State& state) {
    Records r;
    for (int i = 0; i < kAreas; ++i) r.edited->polygons[0][i].points[0] += QPoint(1, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(cameraview::describeChanges(*r.live, *r.edited, 0, 0, 0));
}

// Reference: formatting the same number of values as the records hold.
void BM_ReferenceFormatNumbers(benchmark::State& state) {
    for (auto _ : state) {
        QString text;
        for (int i = 0; i < kAreas * 4; ++i) text += QString::number(i);
        benchmark::DoNotOptimize(text);
    }
}

}  // namespace

BENCHMARK(BM_SaveComparisonUnchanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceWholeRecordCompare)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChangeRecordsAllMoved)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceFormatNumbers)->Unit(benchmark::kMicrosecond);
