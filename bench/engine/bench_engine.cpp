// The recognition engine on a 1920 x 1080 grey frame, one thread: one inspection of a detection
// with 100 mixed regions (without registration, with position correction, with homography
// registration), the share of each function, and the training of one detection with 10
// templates. Every figure has a reference measured in the same run: the same matchers and
// OpenCV calls made directly on the same regions, without the engine's bookkeeping (records,
// defect boxes, result mask, error checks, clipping).
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "imagehelpers.h"
#include "regionmeasure.h"
#include "roilimits.h"

using namespace enginetest;

namespace {

const cv::Size kFrame(1920, 1080);
constexpr int kMargin = 160;
constexpr int kTemplates = 10;
const cv::Rect kPositionArea(640, 300, 640, 480);

const char* functionName(int f) {
    switch (f) {
        case roi::kFuncDefect:
            return "defect";
        case roi::kFuncSpot:
            return "spot";
        case roi::kFuncDarkArea:
            return "dark_area";
        case roi::kFuncBrightArea:
            return "bright_area";
        case roi::kFuncBrightCount:
            return "bright_count";
        case roi::kFuncDarkCount:
            return "dark_count";
        case roi::kFuncSimilarity:
            return "similarity";
        default:
            return "other";
    }
}

struct Scene {
    cv::Mat big;
    cv::Mat templ;
    cv::Mat frame;    // the part where it belongs
    cv::Mat shifted;  // the part moved
    cv::Mat turned;   // the part moved and turned
    cv::Mat warped;   // the part seen through a slight homography
};

const Scene& scene() {
    static const Scene s = [] {
        cv::setNumThreads(1);
        Scene s;
        s.big = texturedScene(kFrame + cv::Size(2 * kMargin, 2 * kMargin), 77);
        s.templ = s.big(cv::Rect(kMargin, kMargin, kFrame.width, kFrame.height)).clone();
        s.frame = withNoise(s.templ, 2.0, 1);
        const cv::Point2d centre(kPositionArea.x + kPositionArea.width / 2,
                                 kPositionArea.y + kPositionArea.height / 2);
        s.shifted = withNoise(posed(s.big, kMargin, kFrame, centre, 0.0, {-23, 10}), 2.0, 2);
        s.turned = withNoise(posed(s.big, kMargin, kFrame, centre, 3.0, {-23, 10}), 2.0, 3);
        const cv::Matx33d H(0.995, -0.02, 15.0, 0.018, 1.005, -9.0, 1e-5, -8e-6, 1.0);
        s.warped = withNoise(warped(s.big, kMargin, kFrame, H), 2.0, 4);
        return s;
    }();
    return s;
}

struct Setup {
    bool motion = false;
    int rotate = 0;
    bool homography = false;
    int templates = kTemplates;
};

std::unique_ptr<Rig> makeRig(const Setup& setup) {
    const Scene& s = scene();
    auto rig = std::make_unique<Rig>(kFrame.width, kFrame.height, false, true, 1, kTemplates);
    rig->para->motionCorrect = setup.motion ? 0 : -1;
    rig->para->rotateAngle = setup.rotate;
    rig->para->shapeOffset = 60;
    rig->para->angleCorrect = setup.homography ? 1 : 0;
    rig->para->minSpot = 3;
    rig->addMixedRegions(0, setup.motion ? kPositionArea : cv::Rect());
    for (int k = 0; k < setup.templates; ++k)
        rig->setTemplate(0, k, k == 0 ? s.templ : withNoise(s.templ, 2.0, 100 + k));
    rig->monitorAllowed = true;
    return rig;
}

void inspectOnce(Rig& rig) {
    rig.engine->HomoTransShape(0);
    rig.engine->ShapeMatch(0);
    rig.engine->Run(0);
    rig.monitorList.clear();
    rig.apiList.clear();
}

// The reference: the same matchers and OpenCV calls on the same regions, nothing else.
void plainRegions(Rig& rig, const cv::Mat& image) {
    const CammerRecong& e = *rig.engine;
    const CammerSingleton& p = *rig.param;
    cv::Mat bin, out, use;
    std::vector<std::vector<cv::Point>> contours;
    for (int i = 0; i < p.roiCount[0]; ++i) {
        const int f = p.roiFunc[0][i];
        if (engine::isUninspected(f)) continue;
        const QRect q = p.roiImageRect(0, i);
        const cv::Rect r(q.left(), q.top(), q.width(), q.height());
        const cv::Mat crop = image(r);
        int k = 1;
        if (f == roi::kFuncDefect) {
            bin = cv::Mat::zeros(r.size(), CV_8UC1);
            e.grayMatch[0][size_t(i)].Match(crop, bin);
            k = 3;
        } else if (f == roi::kFuncSimilarity) {
            bin = cv::Mat::zeros(r.size(), CV_8UC1);
            cv::Mat copy = crop.clone();
            benchmark::DoNotOptimize(e.surfMatch[0][size_t(i)].Match(copy, bin));
        } else {
            const engine::GreyBand band = engine::bandFor(f, p.roiParam1[0][i], p.roiParam3[0][i]);
            cv::inRange(crop, cv::Scalar(band.lo), cv::Scalar(band.hi), bin);
            cv::bitwise_and(bin, rig.ctx.roiMask[0][i], bin);
            k = engine::isCountFunction(f) ? 2 * p.roiParam3[0][i] + 1 : 3;
        }
        if (k > 1)
            cv::morphologyEx(bin, out, cv::MORPH_OPEN,
                             cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(k, k)));
        else
            out = bin;
        cv::findContours(out, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
        double area = 0;
        for (const auto& c : contours) area += cv::contourArea(c);
        benchmark::DoNotOptimize(area);
    }
}

// ---- one inspection without registration ----

void BM_Inspect_NoRegistration(benchmark::State& state) {
    auto rig = makeRig({});
    rig->build();
    rig->setFrame(scene().frame);
    for (auto _ : state) inspectOnce(*rig);
    state.counters["ok"] = rig->ctx.isOK;
}
BENCHMARK(BM_Inspect_NoRegistration)->Unit(benchmark::kMillisecond);

void BM_Reference_NoRegistration(benchmark::State& state) {
    auto rig = makeRig({});
    rig->build();
    rig->setFrame(scene().frame);
    const cv::Mat aligned = rig->ctx.frameView(rig->ctx.alignedBuf);
    for (auto _ : state) {
        std::memcpy(rig->ctx.registeredBuf.data(), rig->ctx.grabBuf.data(), rig->ctx.frameBytes);
        std::memcpy(rig->ctx.alignedBuf.data(), rig->ctx.registeredBuf.data(), rig->ctx.frameBytes);
        plainRegions(*rig, aligned);
    }
}
BENCHMARK(BM_Reference_NoRegistration)->Unit(benchmark::kMillisecond);

// The share of each function: Run with only that function's regions inspected (the others
// turned into position areas, which Run skips).
void BM_RunShare(benchmark::State& state) {
    const int func = int(state.range(0));
    auto rig = makeRig({});
    rig->build();
    rig->setFrame(scene().frame);
    rig->engine->HomoTransShape(0);
    rig->engine->ShapeMatch(0);
    int regions = 0;
    for (int i = 0; i < rig->param->roiCount[0]; ++i) {
        if (rig->param->roiFunc[0][i] == func)
            ++regions;
        else
            rig->param->roiFunc[0][i] = roi::kFuncPosition;
    }
    for (auto _ : state) {
        rig->engine->Run(0);
        rig->monitorList.clear();
        rig->apiList.clear();
    }
    state.SetLabel(functionName(func));
    state.counters["regions"] = regions;
}
BENCHMARK(BM_RunShare)
    ->Arg(roi::kFuncDefect)
    ->Arg(roi::kFuncSpot)
    ->Arg(roi::kFuncDarkArea)
    ->Arg(roi::kFuncBrightArea)
    ->Arg(roi::kFuncBrightCount)
    ->Arg(roi::kFuncDarkCount)
    ->Arg(roi::kFuncSimilarity)
    ->Arg(roi::kFuncPosition)  // nothing inspected: the fixed cost of a run
    ->Unit(benchmark::kMillisecond);

// ---- with position correction (arg: rotation range, 0 = translation only) ----

void BM_Inspect_PositionCorrection(benchmark::State& state) {
    const int rotate = int(state.range(0));
    auto rig = makeRig({true, rotate});
    rig->build();
    rig->setFrame(rotate ? scene().turned : scene().shifted);
    for (auto _ : state) inspectOnce(*rig);
    state.counters["ok"] = rig->ctx.isOK;
}
BENCHMARK(BM_Inspect_PositionCorrection)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_Reference_PositionCorrection(benchmark::State& state) {
    const int rotate = int(state.range(0));
    auto rig = makeRig({true, rotate});
    rig->build();
    rig->setFrame(rotate ? scene().turned : scene().shifted);
    const CammerRecong& e = *rig->engine;
    const cv::Mat registered = rig->ctx.frameView(rig->ctx.registeredBuf);
    cv::Mat aligned = rig->ctx.frameView(rig->ctx.alignedBuf);
    for (auto _ : state) {
        std::memcpy(rig->ctx.registeredBuf.data(), rig->ctx.grabBuf.data(), rig->ctx.frameBytes);
        cv::Mat search = registered(e.shapeSearchRect[0]).clone();
        int x = 0, y = 0;
        double score = 0, angle = 0;
        if (e.shapeModel[0].Find(search, 0, &x, &y, &score, &angle)) {
            const cv::Point shift(x - e.shapeSearchRect[0].x, y - e.shapeSearchRect[0].y);
            if (rotate)
                TransformImage(registered, aligned, shift,
                               cv::Point(e.shapeRefX[0], e.shapeRefY[0]), angle);
            else
                MoveImage(registered, aligned, shift.x, shift.y);
        }
        plainRegions(*rig, aligned);
    }
}
BENCHMARK(BM_Reference_PositionCorrection)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

// ---- with homography registration ----

void BM_Inspect_Homography(benchmark::State& state) {
    auto rig = makeRig({false, 0, true});
    rig->build();
    rig->setFrame(scene().warped);
    for (auto _ : state) inspectOnce(*rig);
    state.counters["ok"] = rig->ctx.isOK;
}
BENCHMARK(BM_Inspect_Homography)->Unit(benchmark::kMillisecond);

void BM_Reference_Homography(benchmark::State& state) {
    auto rig = makeRig({false, 0, true});
    rig->build();
    rig->setFrame(scene().warped);
    const cv::Mat grab = rig->ctx.frameView(rig->ctx.grabBuf);
    cv::Mat registered = rig->ctx.frameView(rig->ctx.registeredBuf);
    for (auto _ : state) {
        if (!rig->engine->homo[0].transImageHomo(grab, registered, 0.4f)) grab.copyTo(registered);
        plainRegions(*rig, registered);
    }
}
BENCHMARK(BM_Reference_Homography)->Unit(benchmark::kMillisecond);

// ---- training of one detection with 10 templates ----

void BM_Train_VarTrain(benchmark::State& state) {
    auto rig = makeRig({false, 0, false, kTemplates});
    rig->build();
    for (auto _ : state) rig->engine->VarTrain(0);
}
BENCHMARK(BM_Train_VarTrain)->Unit(benchmark::kMillisecond);

void BM_Reference_Train(benchmark::State& state) {
    auto rig = makeRig({false, 0, false, kTemplates});
    rig->build();
    const CammerSingleton& p = *rig->param;
    std::vector<cv::Mat> templates;
    for (int k = 0; k < kTemplates; ++k)
        templates.push_back(rig->ctx.frameView(rig->ctx.templateBuf[0][size_t(k)]));
    std::vector<GrayMatch> defect(100);
    std::vector<SURF> similarity(100);
    for (auto _ : state) {
        for (int i = 0; i < p.roiCount[0]; ++i) {
            const QRect q = p.roiImageRect(0, i);
            const cv::Rect r(q.left(), q.top(), q.width(), q.height());
            const cv::Mat& mask = rig->ctx.roiMask[0][i];
            if (p.roiFunc[0][i] == roi::kFuncDefect) {
                defect[size_t(i)].Create(r.width, r.height, mask, 0);
                for (const cv::Mat& t : templates) defect[size_t(i)].AddTemp(t(r));
                defect[size_t(i)].Train(25, 1, 100, 150);
            } else if (p.roiFunc[0][i] == roi::kFuncSimilarity) {
                similarity[size_t(i)].Create(r.width, r.height, mask);
                for (const cv::Mat& t : templates)
                    similarity[size_t(i)].AddTemp(t(r).clone(), 1, 50, 50);
                similarity[size_t(i)].Train(0, 0, 0, 0);
            }
        }
    }
}
BENCHMARK(BM_Reference_Train)->Unit(benchmark::kMillisecond);

// The whole training of a detection with position correction and registration switched on.
void BM_Train_Full(benchmark::State& state) {
    auto rig = makeRig({true, 5, true, kTemplates});
    rig->build();
    for (auto _ : state) {
        rig->engine->CreateHomoShape(0);
        rig->engine->CreateShape(0);
        rig->engine->VarTrain(0);
    }
}
BENCHMARK(BM_Train_Full)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
