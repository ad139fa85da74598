// The video share at the panel's size (1920 x 1080): one frame written by the copier (I420
// conversion, semaphore, copy into the segment) beside the bare conversion and a plain copy of
// the same bytes; the GUI thread's grab of a main window beside rendering it into a picture
// that already exists.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "videothread.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

QImage windowPicture() {
    QImage picture(kW, kH, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < kW; ++x) row[x] = qRgb(x & 255, y & 255, (x + y) & 255);
    }
    return picture;
}

void BM_CopierWritesFrame(benchmark::State& state) {
    QTemporaryDir keys;
    QMap<int, VideoShareInfo> shares{{0, videoshare::create(0, kW, kH, keys.path())}};
    const QImage picture = windowPicture();
    VideoThread copier(shares, nullptr, [] { return false; });
    for (auto _ : state) benchmark::DoNotOptimize(copier.UpdateMemory(0, picture));
    copier.idestory();
    videoshare::remove(shares[0]);
}

void BM_ReferenceConvertOnly(benchmark::State& state) {
    const QImage picture = windowPicture();
    const cv::Mat bgra(kH, kW, CV_8UC4, const_cast<uchar*>(picture.constBits()));
    cv::Mat i420(kH * 3 / 2, kW, CV_8UC1);
    for (auto _ : state) {
        cv::cvtColor(bgra, i420, cv::COLOR_BGRA2YUV_I420);
        benchmark::DoNotOptimize(i420.data);
    }
}

void BM_ReferenceCopyOnly(benchmark::State& state) {
    std::vector<uchar> from(size_t(kW * kH * 3 / 2), 7), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
    }
}

// A main window of the panel's size with a grid of labels, as the status strip and tool bar.
struct Window {
    Window() {
        widget.resize(kW, kH);
        auto* grid = new QGridLayout(&widget);
        for (int i = 0; i < 24; ++i)
            grid->addWidget(new QLabel(QStringLiteral("label %1").arg(i)), i / 6, i % 6);
        widget.ensurePolished();
    }
    QWidget widget;
};

void BM_GrabWindow(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        QImage picture = window.widget.grab().toImage();
        benchmark::DoNotOptimize(picture.constBits());
    }
}

void BM_ReferenceRenderIntoPicture(benchmark::State& state) {
    Window window;
    QImage picture(kW, kH, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        window.widget.render(&picture);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

}  // namespace

BENCHMARK(BM_CopierWritesFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceConvertOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceCopyOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrabWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceRenderIntoPicture)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
