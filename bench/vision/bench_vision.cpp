// Vision matchers on a 1920 x 1080 frame, one thread, each beside a plain OpenCV reference
// measured in the same run.
#include <benchmark/benchmark.h>

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>

#include "findshape.h"
#include "graymatch.h"
#include "imghomotrans.h"
#include "surf.h"
#include "synthetic.h"

namespace {

const cv::Size kFrame(1920, 1080);
// Defect regions of 1 megapixel in all.
const cv::Rect kDefectRegion(400, 40, 1000, 1000);

struct Scene {
    cv::Mat big;     // template scene with room around the frame
    cv::Rect inner;  // the frame within it
    cv::Mat templ;   // template frame
    cv::Rect area;   // default position model area
    cv::Point ref;
    cv::Mat frame;   // the part moved (and turned for the rotation searches)
    cv::Mat turned;  // by 17 degrees
    cv::Mat tilted;  // by 4 degrees
};

const Scene& scene() {
    static const Scene s = [] {
        cv::setNumThreads(1);
        Scene s;
        s.big = synthetic::scene(cv::Size(kFrame.width + 200, kFrame.height + 200), 31);
        s.inner = cv::Rect(100, 100, kFrame.width, kFrame.height);
        s.templ = s.big(s.inner).clone();
        s.area = cv::Rect(kFrame.width / 4, kFrame.height / 4, 3 * kFrame.width / 4,
                          3 * kFrame.height / 4);
        s.ref = cv::Point(s.area.x + s.area.width / 2, s.area.y + s.area.height / 2);
        s.frame = synthetic::withNoise(
            synthetic::posedFrame(s.big, s.inner, cv::Point2d(s.ref), 0.0, {-37, 23}), 2.0, 1);
        s.turned = synthetic::withNoise(
            synthetic::posedFrame(s.big, s.inner, cv::Point2d(s.ref), 17.0, {-21, 14}), 2.0, 2);
        s.tilted = synthetic::withNoise(
            synthetic::posedFrame(s.big, s.inner, cv::Point2d(s.ref), 4.0, {-21, 14}), 2.0, 3);
        return s;
    }();
    return s;
}

// ---- Defects, per megapixel of regions ----
// Arg: regions covering one megapixel together (1 region of 1000 x 1000, or 100 of 100 x 100).

std::vector<cv::Rect> defectRegions(int count) {
    if (count == 1) return {kDefectRegion};
    std::vector<cv::Rect> regions;
    for (int i = 0; i < count; ++i)
        regions.emplace_back(kDefectRegion.x + (i % 10) * 100, kDefectRegion.y + (i / 10) * 100,
                             100, 100);
    return regions;
}

void BM_GrayMatch_Match(benchmark::State& state) {
    const Scene& s = scene();
    const std::vector<cv::Rect> regions = defectRegions(static_cast<int>(state.range(0)));
    std::vector<GrayMatch> matchers(regions.size());
    for (size_t i = 0; i < regions.size(); ++i) {
        const cv::Rect& r = regions[i];
        matchers[i].Create(r.width, r.height, cv::Mat(), 0);
        matchers[i].AddTemp(s.templ(r));
        matchers[i].AddTemp(synthetic::withNoise(s.templ(r), 3.0, 5));
        matchers[i].Train(25, 0, 100, 150);
    }
    const cv::Mat frame = synthetic::withNoise(s.templ, 3.0, 6);
    std::vector<cv::Mat> outs;
    for (const cv::Rect& r : regions) outs.push_back(cv::Mat::zeros(r.size(), CV_8UC1));
    for (auto _ : state) {
        for (size_t i = 0; i < regions.size(); ++i) {
            outs[i].setTo(0);
            matchers[i].Match(frame(regions[i]), outs[i]);
        }
        benchmark::DoNotOptimize(outs.back().data);
    }
}
BENCHMARK(BM_GrayMatch_Match)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

// Plain OpenCV: difference to one template and a fixed threshold.
void BM_Reference_AbsdiffThreshold(benchmark::State& state) {
    const Scene& s = scene();
    const std::vector<cv::Rect> regions = defectRegions(static_cast<int>(state.range(0)));
    const cv::Mat frame = synthetic::withNoise(s.templ, 3.0, 6);
    cv::Mat diff, out;
    for (auto _ : state) {
        for (const cv::Rect& r : regions) {
            cv::absdiff(frame(r), s.templ(r), diff);
            cv::threshold(diff, out, 25, 255, cv::THRESH_BINARY);
        }
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_Reference_AbsdiffThreshold)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_GrayMatch_Train(benchmark::State& state) {
    const Scene& s = scene();
    for (auto _ : state) {
        GrayMatch m;
        m.Create(kDefectRegion.width, kDefectRegion.height, cv::Mat(), 0);
        m.AddTemp(s.templ(kDefectRegion));
        m.Train(25, 0, 100, 150);
        benchmark::DoNotOptimize(m.IsValid());
    }
}
BENCHMARK(BM_GrayMatch_Train)->Unit(benchmark::kMillisecond);

// ---- Similarity of a 620 x 668 region trained on 10 templates ----

const cv::Rect kSimilarityRegion(700, 200, 620, 668);
constexpr int kSimilarityTemplates = 10;

void BM_Similarity_Match(benchmark::State& state) {
    const Scene& s = scene();
    const cv::Rect& region = kSimilarityRegion;
    SURF m;
    m.Create(region.width, region.height, cv::Mat());
    for (int k = 0; k < kSimilarityTemplates; ++k)
        m.AddTemp(synthetic::withNoise(s.templ(region), 3.0, 10 + k), 1, 50, 80);
    m.Train(0, 0, 0, 0);
    cv::Mat crop = synthetic::withNoise(s.templ(region + cv::Point(1, -1)), 3.0, 2);
    cv::Mat out;
    float score = 0;
    for (auto _ : state) {
        out = cv::Mat::zeros(crop.size(), CV_8UC1);
        score = m.Match(crop, out);
        benchmark::DoNotOptimize(score);
    }
    state.counters["score"] = score;
}
BENCHMARK(BM_Similarity_Match)->Unit(benchmark::kMillisecond);

// Plain OpenCV: one normalised correlation of the region with one template of its size.
void BM_Reference_SimilarityMatchTemplate(benchmark::State& state) {
    const Scene& s = scene();
    const cv::Mat templ = s.templ(kSimilarityRegion);
    const cv::Mat crop =
        synthetic::withNoise(s.templ(kSimilarityRegion + cv::Point(1, -1)), 3.0, 2);
    cv::Mat result;
    for (auto _ : state) {
        cv::matchTemplate(crop, templ, result, cv::TM_CCOEFF_NORMED);
        benchmark::DoNotOptimize(result.data);
    }
}
BENCHMARK(BM_Reference_SimilarityMatchTemplate)->Unit(benchmark::kMillisecond);

// ---- Position search over the whole frame (model: the default three quarters) ----

FindShape makeShape(int angleRange) {
    const Scene& s = scene();
    FindShape f;
    f.CreateShape(s.templ(s.area).clone(), 0.0, 0, angleRange, s.ref.x, s.ref.y, false, 255,
                  cv::Mat(s.area.size(), CV_8UC1, cv::Scalar(255)), 5, 5);
    return f;
}

void BM_FindShape_Create(benchmark::State& state) {
    const Scene& s = scene();
    const cv::Mat model = s.templ(s.area).clone();
    const cv::Mat mask(s.area.size(), CV_8UC1, cv::Scalar(255));
    for (auto _ : state) {
        FindShape f;
        f.CreateShape(model, 0.0, 0, static_cast<int>(state.range(0)), s.ref.x, s.ref.y, false, 255,
                      mask, 5, 5);
        benchmark::DoNotOptimize(f.IsValid());
    }
}
BENCHMARK(BM_FindShape_Create)->Arg(0)->Arg(30)->Arg(180)->Unit(benchmark::kMillisecond);

void BM_FindShape_Find(benchmark::State& state) {
    const Scene& s = scene();
    const int range = static_cast<int>(state.range(0));
    const FindShape f = makeShape(range);
    cv::Mat search = (range == 0 ? s.frame : range < 17 ? s.tilted : s.turned).clone();
    int x = 0, y = 0;
    double score = 0, angle = 0;
    bool found = false;
    for (auto _ : state) {
        found = f.Find(search, 0, &x, &y, &score, &angle);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
    state.counters["dx"] = x;
    state.counters["dy"] = y;
    state.counters["angle"] = angle;
    state.counters["score"] = score;
}
BENCHMARK(BM_FindShape_Find)->Arg(0)->Arg(5)->Arg(30)->Arg(180)->Unit(benchmark::kMillisecond);

// Plain OpenCV: the same model core correlated over the whole frame at full resolution.
void BM_Reference_FullFrameMatchTemplate(benchmark::State& state) {
    const Scene& s = scene();
    const int margin = s.area.height / 8;
    const cv::Mat core = s.templ(cv::Rect(s.area.x + margin, s.area.y + margin,
                                          s.area.width - 2 * margin, s.area.height - 2 * margin));
    cv::Mat result;
    for (auto _ : state) {
        cv::matchTemplate(s.frame, core, result, cv::TM_CCOEFF_NORMED);
        double best;
        cv::Point at;
        cv::minMaxLoc(result, nullptr, &best, nullptr, &at);
        benchmark::DoNotOptimize(at);
    }
}
BENCHMARK(BM_Reference_FullFrameMatchTemplate)->Unit(benchmark::kMillisecond);

// ---- Homography registration ----

cv::Mat tiltedFrame() {
    const Scene& s = scene();
    const std::vector<cv::Point2f> from{{0, 0}, {1920, 0}, {1920, 1080}, {0, 1080}};
    const std::vector<cv::Point2f> to{{30, 14}, {1900, -10}, {1935, 1070}, {-6, 1095}};
    cv::Mat frame;
    cv::warpPerspective(s.templ, frame, cv::getPerspectiveTransform(from, to), s.templ.size(),
                        cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return frame;
}

void BM_Homography_SetTemplate(benchmark::State& state) {
    const Scene& s = scene();
    for (auto _ : state) {
        ImgHomoTrans h;
        benchmark::DoNotOptimize(h.setTemplate(s.templ, cv::Mat(), 300));
    }
}
BENCHMARK(BM_Homography_SetTemplate)->Unit(benchmark::kMillisecond);

void BM_Homography_Register(benchmark::State& state) {
    const Scene& s = scene();
    ImgHomoTrans h;
    h.setTemplate(s.templ, cv::Mat(), 300);
    const cv::Mat frame = tiltedFrame();
    cv::Mat out(frame.size(), CV_8UC1);
    bool ok = false;
    for (auto _ : state) {
        ok = h.transImageHomo(frame, out, 0.4f);
        benchmark::DoNotOptimize(ok);
    }
    state.counters["registered"] = ok;
}
BENCHMARK(BM_Homography_Register)->Unit(benchmark::kMillisecond);

// Plain OpenCV: SIFT on the same scaled frame, brute-force ratio matching, RANSAC, warp.
void BM_Reference_SiftBruteForceHomography(benchmark::State& state) {
    const Scene& s = scene();
    const double scale = std::min(1.0, std::sqrt(500000.0 / s.templ.total()));
    const cv::Ptr<cv::SIFT> sift = cv::SIFT::create(0, 3, 0.04, 10, 1.6);
    cv::Mat templSmall;
    cv::resize(s.templ, templSmall, cv::Size(), scale, scale, cv::INTER_LINEAR_EXACT);
    std::vector<cv::KeyPoint> templKeys;
    cv::Mat templDesc;
    sift->detectAndCompute(templSmall, cv::noArray(), templKeys, templDesc);
    const cv::Mat frame = tiltedFrame();
    cv::BFMatcher matcher(cv::NORM_L2);
    cv::Mat out;
    for (auto _ : state) {
        cv::Mat small;
        cv::resize(frame, small, cv::Size(), scale, scale, cv::INTER_LINEAR_EXACT);
        std::vector<cv::KeyPoint> keys;
        cv::Mat desc;
        sift->detectAndCompute(small, cv::noArray(), keys, desc);
        std::vector<std::vector<cv::DMatch>> knn;
        matcher.knnMatch(desc, templDesc, knn, 2);
        std::vector<cv::Point2f> a, b;
        for (const auto& m : knn)
            if (m.size() == 2 && m[0].distance < 0.6f * m[1].distance) {
                a.push_back(keys[m[0].queryIdx].pt / scale);
                b.push_back(templKeys[m[0].trainIdx].pt / scale);
            }
        const cv::Mat h = cv::findHomography(a, b, cv::RANSAC, 3.0, cv::noArray(), 2000, 0.995);
        if (!h.empty()) cv::warpPerspective(frame, out, h, frame.size());
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_Reference_SiftBruteForceHomography)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
