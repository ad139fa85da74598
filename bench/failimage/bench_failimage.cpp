// One 1920 x 1080 fail picture: rendering the annotated picture from a grey or colour frame,
// storing it into its slot, writing it as JPEG as the saver does (and the saver's whole path
// for one picture), beside plain JPEG writes of the same picture with Qt and with OpenCV.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "faildirectory.h"
#include "failimagelimits.h"
#include "failimagesaver.h"
#include "failpicture.h"
#include "failslots.h"
#include "globals.h"

using namespace failimage;

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr int kAreas = 10;

// A textured frame: a ramp with noise, so the JPEG encoder has real work.
std::vector<uchar> makeFrame(bool color) {
    std::vector<uchar> frame(size_t(kW) * kH * (color ? 4 : 1));
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-20, 20);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int v = std::clamp((x + y) * 255 / (kW + kH) + noise(random), 0, 255);
            if (color) {
                uchar* p = &frame[(size_t(y) * kW + x) * 4];
                p[0] = uchar(v);
                p[1] = uchar(255 - v);
                p[2] = uchar(v / 2);
                p[3] = 255;
            } else {
                frame[size_t(y) * kW + x] = uchar(v);
            }
        }
    return frame;
}

// Ten areas as a detection typically has: rectangles and polygons, three failed with
// defect boxes.
FailPictureSpec makeSpec() {
    FailPictureSpec spec;
    spec.lineText = QStringLiteral("Safety door trigger detection");
    for (int i = 0; i < kAreas; ++i) {
        AreaOverlay area;
        const int x = 100 + (i % 5) * 350;
        const int y = 200 + (i / 5) * 450;
        area.passed = i % 3 != 0;
        if (i % 2) {
            area.shape = AreaShape::Polygon;
            area.imagePolygon =
                QPolygon({QPoint(x, y), QPoint(x + 300, y), QPoint(x + 300, y + 350),
                          QPoint(x + 150, y + 380), QPoint(x, y + 350)});
        } else {
            area.shape = AreaShape::Rect;
            area.imageRect = QRect(x, y, 300, 350);
        }
        if (!area.passed)
            for (int k = 0; k < 20; ++k)
                area.defects.append({x + 10 * k, y + 12 * k, x + 10 * k + 25, y + 12 * k + 18});
        area.label = areaLabel(i, kAreas, QStringLiteral("40"), 37 + i);
        spec.areas.append(area);
    }
    return spec;
}

struct Fixture {
    Fixture() {
        if (!pMutexSaveFail) pMutexSaveFail = new QMutex;
        for (int k = 0; k < kKinds; ++k)
            gpFailImage[slotIndex(0, 0, k)] = std::calloc(size_t(kW) * kH * kBytesPerPixel, 1);
        numCamera = 1;
        gDNum = 1;
        gPicNumNG = 20;
        gPicNumOK = 20;
    }
    std::vector<uchar> grey = makeFrame(false);
    std::vector<uchar> colour = makeFrame(true);
    FailPictureSpec spec = makeSpec();
    QImage picture = renderFailPicture(FrameView{grey.data(), kW, kH, false}, spec);
    QTemporaryDir dir;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_RenderFailPicture(benchmark::State& state) {
    Fixture& f = fixture();
    const bool color = state.range(0) != 0;
    const FrameView frame{color ? f.colour.data() : f.grey.data(), kW, kH, color};
    state.SetLabel(color ? "colour frame" : "grey frame");
    for (auto _ : state) benchmark::DoNotOptimize(renderFailPicture(frame, f.spec));
}
BENCHMARK(BM_RenderFailPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderAndStoreInSlot(benchmark::State& state) {
    Fixture& f = fixture();
    const FrameView frame{f.grey.data(), kW, kH, false};
    for (auto _ : state) saveFailPicture(0, 0, kKindNG, frame, f.spec);
}
BENCHMARK(BM_RenderAndStoreInSlot)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteFailJpeg(benchmark::State& state) {
    Fixture& f = fixture();
    const QString path = f.dir.filePath("saver.jpg");
    for (auto _ : state) writeJpeg(f.picture, path, kDefaultJpegQuality);
    state.SetLabel("QSaveFile + QImageWriter, default quality");
}
BENCHMARK(BM_WriteFailJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// Mark, copy out under the lock, prune a full folder, write, report: one picture of the saver.
void BM_SaverOnePicture(benchmark::State& state) {
    Fixture& f = fixture();
    storePicture(0, 0, kKindNG, f.picture, -1);
    FailImageSaver saver(f.dir.filePath("alarmimage"));
    saver.setFrameSize(0, QSize(kW, kH));
    int reports = 0;
    saver.setReporter([&](const QJsonObject&, const QString&) { ++reports; });
    int n = 0;
    for (auto _ : state) {
        {
            QMutexLocker lock(pMutexSaveFail);
            gisSaveFail[slotIndex(0, 0, kKindNG)] = true;
            gFailIndex[0] = ++n;  // a new name every time, so the folder stays at its limit
        }
        saver.scanOnce([](int, FailImageSaver::PauseFor) { return true; });
    }
    state.counters["reports"] = reports;
}
BENCHMARK(BM_SaverOnePicture)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReferenceQtJpeg(benchmark::State& state) {
    Fixture& f = fixture();
    const QString path = f.dir.filePath("qt.jpg");
    for (auto _ : state) f.picture.save(path, "JPG");
    state.SetLabel("QImage::save, default quality");
}
BENCHMARK(BM_ReferenceQtJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReferenceOpenCVJpeg(benchmark::State& state) {
    Fixture& f = fixture();
    const int quality = int(state.range(0));
    const cv::Mat bgra(kH, kW, CV_8UC4, const_cast<uchar*>(f.picture.constBits()),
                       size_t(f.picture.bytesPerLine()));
    const std::string path = f.dir.filePath("cv.jpg").toStdString();
    for (auto _ : state) {
        cv::Mat bgr;
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        cv::imwrite(path, bgr, {cv::IMWRITE_JPEG_QUALITY, quality});
    }
    state.SetLabel("cv::imwrite quality " + std::to_string(quality));
}
BENCHMARK(BM_ReferenceOpenCVJpeg)->Arg(75)->Arg(95)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
