// Cost of the statistics screen on the GUI thread while detection runs: counting one stage
// result while the running day is on view (the shown copy is refreshed and the page re-reads
// its figures) beside the same count with no screen, and painting one shift's histogram beside
// a plain fill of its 24 bars.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include "globals.h"
#include "histogram.h"
#include "languagetable.h"
#include "resstatisticsparam.h"
#include "statisticswidget.h"

namespace {

constexpr int kCameras = 8;
constexpr int kStages = 8;
const QList<bool> kResults{true, true, false, true, true, true, true, true};

void countStages(benchmark::State& state, ResStatisticsParam& model) {
    int stage = 0;
    for (auto _ : state) {
        model.addRecord(stage, 0, kResults, "default");
        stage = (stage + 1) % kStages;
    }
}

void BM_CountWhileRunningDayShown(benchmark::State& state) {
    QFile::remove("ResStatistics.db");
    ResStatisticsParam model;
    gpResStatisticsParam = &model;
    {
        StatisticsWidget screen;
        QObject::connect(&screen, &StatisticsWidget::sigUpdateRecord, &model,
                         &ResStatisticsParam::slotUpdateRecord);
        QObject::connect(&model, &ResStatisticsParam::sigLoadFinish, &screen,
                         &StatisticsWidget::slotUpdateRecord);
        QObject::connect(&model, &ResStatisticsParam::sigRecordCounted, &screen,
                         &StatisticsWidget::checkUpdate);
        screen.show();
        countStages(state, model);
    }
    gpResStatisticsParam = nullptr;
}
BENCHMARK(BM_CountWhileRunningDayShown)->Unit(benchmark::kMicrosecond);

// Reference: the same counting with no screen.
void BM_ReferenceCountWithoutScreen(benchmark::State& state) {
    QFile::remove("ResStatistics.db");
    ResStatisticsParam model;
    countStages(state, model);
}
BENCHMARK(BM_ReferenceCountWithoutScreen)->Unit(benchmark::kMicrosecond);

QList<int> hourCounts(int base) {
    QList<int> counts;
    for (int h = 0; h < 24; ++h) counts.append(base + (h * 37) % 50);
    return counts;
}

void BM_PaintDayHistogram(benchmark::State& state) {
    QList<int> hours;
    for (int h = 0; h < 24; ++h) hours.append(h);
    Histogram histogram(nullptr, hours, hourCounts(20), hourCounts(0));
    histogram.resize(1500, 420);
    QImage image(histogram.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) histogram.render(&image);
}
BENCHMARK(BM_PaintDayHistogram)->Unit(benchmark::kMicrosecond);

// Reference: the 48 bars alone, filled on the same picture.
void BM_ReferenceFillBars(benchmark::State& state) {
    QImage image(1500, 420, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        for (int i = 0; i < 48; ++i) painter.fillRect(30 + i * 30, 100, 30, 300, Qt::green);
    }
}
BENCHMARK(BM_ReferenceFillBars)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    numCamera = kCameras;
    gDNum = kStages;
    fillLanguageTable();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
