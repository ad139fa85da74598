// Showing a camera frame: the conversion into the painted picture beside Gray2RGBA and a plain
// copy, and one whole repaint of a 1280 x 960 view with its regions beside drawing the scaled
// picture alone. Editing by touch on a 1920 x 1080 view of a 1920 x 1080 camera: one drag of an
// area (a rectangle, or a freehand polygon of the most points an area keeps) and a step move of
// all 100 areas, beside making the same masks with OpenCV's polygon fill.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSqlDatabase>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <opencv2/imgproc.hpp>
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

// A view of a scripted camera on a display of showW x showH, its regions read from an empty
// in-memory parameter database; the editing source 0 or the live source 1.
struct BenchView {
    WizardPara para;
    QSqlDatabase db;
    testcamera::ScriptedCamera camera;
    std::unique_ptr<CammerWidget> view;

    BenchView(int showW, int showH, int camW, int camH, int source,
              std::function<cameraview::ViewHostState()> host = {})
        : camera(camW, camH) {
        gShowW = showW;
        gShowH = showH;
        gDNum = 2;
        gTempNum = 1;
        numCamera = 1;
        gSource = source;
        gpWPara = &para;
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        cameraview::CameraViewHooks hooks;
        hooks.createCamera = [this](const _cameraInfo&) -> CameraInterface* { return &camera; };
        hooks.paramDatabase = [this] { return db; };
        hooks.hostState = std::move(host);
        view = std::make_unique<CammerWidget>(nullptr, 0, _cameraInfo(), hooks);
        view->resize(showW, showH);
    }
    ~BenchView() {
        view.reset();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("bench"));
        gpWPara = nullptr;
    }
};

// A live view of a 640 x 480 camera with `regions` rectangles in detection 0, the last NG.
struct ViewBench : BenchView {
    explicit ViewBench(int regions)
        : BenchView(kW, kH, 640, 480, 1, [] {
              cameraview::ViewHostState s;
              s.resultState = 2;
              return s;
          }) {
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
        view->show();
        QCoreApplication::processEvents();
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

// The editing page on a full-size view: 100 drawn rectangles (kept as 4-point polygons) in
// detection 0, area 0 optionally a freehand polygon of the most points an area keeps.
struct EditBench : BenchView {
    explicit EditBench(int firstPoints) : BenchView(1920, 1080, 1920, 1080, 0) {
        CammerSingleton& p = *view->editParam;
        for (int i = 0; i < roi::kMaxRois; ++i) {
            const int x = 60 + (i % 10) * 180, y = 60 + (i / 10) * 100;
            const QPoint corners[] = {{x, y}, {x + 150, y}, {x + 150, y + 80}, {x, y + 80}};
            p.polygons[0][i] = RePolygon(4, corners);
            p.roiShapeType[0][i] = roi::kShapePolygon;
        }
        if (firstPoints > 4) {
            // A freehand ring of points around the first area's place.
            std::vector<QPoint> stroke(static_cast<size_t>(firstPoints));
            for (int k = 0; k < firstPoints; ++k) {
                const double a = 6.283185307 * k / firstPoints;
                stroke[size_t(k)] =
                    QPoint(int(135 + 70 * std::cos(a)), int(100 + 35 * std::sin(a)));
            }
            p.polygons[0][0] = RePolygon(firstPoints, stroke.data());
            p.polygons[0][0].SetHand(true);
        }
        for (int i = 0; i < roi::kMaxRois; ++i)
            view->context.editRoiMask[0][i] = p.finishRoi(0, i, view->baseScaleX, view->baseScaleY);
        p.roiCount[0] = roi::kMaxRois;
    }
    void mouse(QEvent::Type type, QPoint at) {
        QMouseEvent e(type, at, Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &e);
    }
};

// One drag of area 0: press, ten moves, release (which rebuilds its mask).
void BM_EditDragArea(benchmark::State& state) {
    EditBench bench(int(state.range(0)));
    const QPoint inside(135, 100);
    for (auto _ : state) {
        bench.mouse(QEvent::MouseButtonPress, inside);
        for (int k = 1; k <= 10; ++k)
            bench.mouse(QEvent::MouseMove, inside + QPoint(k % 2 ? 24 : 0, 0));
        bench.mouse(QEvent::MouseButtonRelease, inside);
        bench.view->DeselectROI();
    }
}

// One step of every area one pixel right and back (moveAllMode 2): 200 masks rebuilt.
void BM_EditStepAllAreas(benchmark::State& state) {
    EditBench bench(4);
    bench.view->setCurRoi(0);
    bench.view->SlotMoveAll();
    bench.view->SlotMoveAll();
    for (auto _ : state) {
        bench.view->SlotMoveR();
        bench.view->SlotMoveL();
    }
}

// Reference: the same 200 masks of 151 x 81 pixels filled by OpenCV.
void BM_ReferenceFillAreaMasks(benchmark::State& state) {
    const std::vector<cv::Point> corners = {{0, 0}, {150, 0}, {150, 80}, {0, 80}};
    for (auto _ : state) {
        for (int k = 0; k < 2 * roi::kMaxRois; ++k) {
            cv::Mat mask(80, 150, CV_8UC1, cv::Scalar(0));
            cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{corners}, cv::Scalar(255));
            benchmark::DoNotOptimize(mask.data);
        }
    }
}

}  // namespace

BENCHMARK(BM_EditDragArea)->Arg(4)->Arg(8095)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditStepAllAreas)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceFillAreaMasks)->Unit(benchmark::kMicrosecond);
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
