// Showing a camera frame: the conversion into the painted picture beside Gray2RGBA and a plain
// copy, and one whole repaint of a 1280 x 960 view with its regions beside drawing the scaled
// picture alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSqlDatabase>
#include <cstring>
#include <memory>
#include <vector>

#include "cammersingleton.h"
#include "cammerwidget.h"
#include "globals.h"
#include "imagehelpers.h"
#include "languagetable.h"
#include "scriptedcamera.h"
#include "viewframes.h"
#include "wizardpara.h"

namespace {

constexpr int kW = 1280;
constexpr int kH = 960;

std::vector<uchar> greyFrame() {
    std::vector<uchar> frame(size_t(kW * kH));
    for (size_t k = 0; k < frame.size(); ++k) frame[k] = uchar(k * 7);
    return frame;
}

void BM_FrameToDisplay(benchmark::State& state) {
    const bool colour = state.range(0) != 0;
    const cameraview::FrameFormat format{kW, kH, colour};
    std::vector<uchar> frame(size_t(format.frameBytes()), 90);
    std::vector<uchar> display(size_t(kW * kH * 4));
    for (auto _ : state) {
        cameraview::frameToDisplay(frame.data(), format, display.data());
        benchmark::DoNotOptimize(display.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(format.frameBytes()));
}

// Reference: the shared grey conversion, which leaves the fourth byte 0.
void BM_ReferenceGray2RGBA(benchmark::State& state) {
    const std::vector<uchar> frame = greyFrame();
    std::vector<int> display(size_t(kW * kH));
    for (auto _ : state) {
        Gray2RGBA(frame.data(), display.data(), kW, kH);
        benchmark::DoNotOptimize(display.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(frame.size()));
}

// Reference: copying a colour frame as it is.
void BM_ReferenceMemcpy(benchmark::State& state) {
    std::vector<uchar> frame(size_t(kW * kH * 4), 90);
    std::vector<uchar> display(frame.size());
    for (auto _ : state) {
        std::memcpy(display.data(), frame.data(), frame.size());
        benchmark::DoNotOptimize(display.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(frame.size()));
}

// A live view of a 640 x 480 camera with `regions` rectangles in detection 0, the last NG.
struct ViewBench {
    WizardPara para;
    QSqlDatabase db;
    testcamera::ScriptedCamera camera{640, 480};
    std::unique_ptr<CammerWidget> view;

    explicit ViewBench(int regions) {
        gShowW = kW;
        gShowH = kH;
        gDNum = 2;
        gTempNum = 1;
        numCamera = 1;
        gSource = 1;
        gpWPara = &para;
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        cameraview::CameraViewHooks hooks;
        hooks.createCamera = [this](const _cameraInfo&) -> CameraInterface* { return &camera; };
        hooks.paramDatabase = [this] { return db; };
        hooks.hostState = [] {
            cameraview::ViewHostState s;
            s.resultState = 2;
            return s;
        };
        view = std::make_unique<CammerWidget>(nullptr, 0, _cameraInfo(), hooks);
        CammerSingleton& p = *view->liveParam;
        for (int i = 0; i < regions; ++i) {
            p.roiShapeType[0][i] = 1;
            const int x = 20 + (i % 10) * 120;
            const int y = 60 + (i / 10) * 88;
            p.rects[0][i].showRect = QRect(x, y, 100, 70);
            p.roiFunc[0][i] = 0;
            view->context.roiMask[0][i] = p.finishRoi(0, i, view->baseScaleX, view->baseScaleY);
            view->context.roiOK[0][i] = i % 3 != 0;
        }
        p.roiCount[0] = regions;
        view->isOK = false;
        view->alarmBlink = 1;
        std::fill(view->context.resultMask.begin(), view->context.resultMask.end(), uchar(255));
        view->resize(kW, kH);
        view->show();
        QCoreApplication::processEvents();
    }
    ~ViewBench() {
        view.reset();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("bench"));
        gpWPara = nullptr;
    }
};

void BM_PaintLiveView(benchmark::State& state) {
    ViewBench bench(int(state.range(0)));
    QImage target(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        bench.view->render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}

// Reference: drawing the same 640 x 480 picture scaled to the view, nothing else.
void BM_ReferenceDrawScaledPicture(benchmark::State& state) {
    QImage picture(640, 480, QImage::Format_RGBX8888);
    picture.fill(qRgb(90, 90, 90));
    QImage target(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.drawImage(QRect(0, 0, kW, kH), picture);
        painter.end();
        benchmark::DoNotOptimize(target.bits());
    }
}

}  // namespace

BENCHMARK(BM_FrameToDisplay)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceGray2RGBA)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceMemcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintLiveView)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceDrawScaledPicture)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fillLanguageTable();
    gLan = 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
