// Training: the construction of the engine, the matchers of every region (VarTrain), the
// position model (CreateShape) and the registration template (CreateHomoShape).
#include <QtGlobal>
#include <algorithm>
#include <opencv2/core.hpp>

#include "cammerrecong.h"
#include "frameclip.h"
#include "imagehelpers.h"
#include "regionmeasure.h"
#include "visionguard.h"
#include "wizardpara.h"

using namespace engine;

CammerRecong::CammerRecong(EngineContext* context)
    : grayMatch(kDetections), surfMatch(kDetections), ctx(context) {
    if (!ctx) {
        qWarning("Recognition engine built without a context; nothing will be inspected");
        return;
    }
    TrainEnabled();
}

void CammerRecong::TrainEnabled() {
    if (!ctx) return;
    for (int g = 0; g < kDetections; ++g) {
        shapeModel[g].Clear();
        if (!ctx->para().detectEnable[g]) continue;
        CreateHomoShape(g);
        CreateShape(g);
        VarTrain(g);
    }
}

CammerRecong::~CammerRecong() = default;

int CammerRecong::regionCount(const CammerSingleton* p, int g) const {
    if (!p || !validDetection(g)) return 0;
    return std::clamp(p->roiCount[g], 0, kMaxRois);
}

void CammerRecong::clearTraining(int g) {
    for (int i = 0; i < kMaxRois; ++i) {
        if (grayMatch[g][i].IsValid()) grayMatch[g][i].Clear();
        if (surfMatch[g][i].IsValid()) surfMatch[g][i].Clear();
    }
    detMask[g].release();
}

std::vector<int> CammerRecong::trainingSlots(int g) const {
    std::vector<int> picked;
    const std::vector<int>& used = ctx->templateUsed[g];
    for (int k = 0; k < int(used.size()); ++k) {
        if (!used[size_t(k)]) continue;
        picked.push_back(k);
        // At least one used slot is always added.
        if (ctx->templateCount[g] <= int(picked.size())) break;
    }
    return picked;
}

cv::Mat CammerRecong::grayTemplate(int g, int k) {
    std::vector<uchar>& frame = ctx->templateBuf[g][size_t(k)];
    if (!ctx->isColor) return ctx->frameView(frame);
    if (ctx->pixelCount <= 0 || frame.size() != size_t(ctx->frameBytes)) return cv::Mat();
    // Not grayBuf: that holds the live picture the editing page measures after a retrain.
    trainGray_.create(ctx->imageH, ctx->imageW, CV_8UC1);
    const int* pixels = reinterpret_cast<const int*>(frame.data());
    if (ctx->grayHue)
        RGBA2Gray(trainGray_.data, pixels, ctx->imageW, ctx->imageH);
    else
        RGBA2Hue(trainGray_.data, pixels, ctx->imageW, ctx->imageH);
    return trainGray_;
}

void CammerRecong::VarTrain(int g) {
    if (!ctx || !validDetection(g)) return;
    const bool done = vision::guarded("CammerRecong::VarTrain", false, [&] {
        varTrainImpl(g);
        return true;
    });
    if (!done) {
        // A half-trained detection must not pass: without a mask every region reports the
        // untrained error.
        vision::guarded("CammerRecong::VarTrain cleanup", false, [&] {
            clearTraining(g);
            return true;
        });
    }
}

void CammerRecong::varTrainImpl(int g) {
    clearTraining(g);
    if (!ctx->isPrepared(g)) {
        qWarning("Camera %d detection %d has no templates or ignore mask; it stays untrained",
                 ctx->cameraNo + 1, g + 1);
        return;
    }
    const CammerSingleton* p = ctx->liveParam;
    const cv::Size frame(ctx->imageW, ctx->imageH);

    // Ignore points and ignore areas are 255 first, then the mask is turned round. An ignore
    // area replaces the points inside its rectangle by its own shape.
    cv::Mat mask = cv::Mat(frame, CV_8UC1, ctx->ignoreMask[g].data()).clone();
    const int count = regionCount(p, g);
    for (int i = 0; i < count; ++i) {
        if (p->roiFunc[g][i] != roi::kFuncIgnore) continue;
        const RegionPlace place = placeRegion(*p, g, i, ctx->roiMask[g][i], frame);
        if (place.error) continue;
        place.mask.copyTo(mask(place.inFrame));
    }
    cv::bitwise_not(mask, mask);

    const std::vector<int> added = trainingSlots(g);
    tempNorm[g] = 0.0;

    // Every matcher is created first so that each template is made grey only once.
    struct Trainee {
        int roi;
        bool similarity;
        cv::Rect inFrame;
    };
    std::vector<Trainee> trainees;
    for (int i = 0; i < count; ++i) {
        const int f = p->roiFunc[g][i];
        if (f != roi::kFuncDefect && f != roi::kFuncSimilarity) continue;
        const RegionPlace place = placeRegion(*p, g, i, ctx->roiMask[g][i], frame);
        if (place.error) {
            // Run reports these regions; nothing can be trained for them.
            continue;
        }
        cv::Mat trainMask;
        cv::bitwise_and(place.mask, mask(place.inFrame), trainMask);
        const int w = place.inFrame.width, h = place.inFrame.height;
        if (f == roi::kFuncSimilarity)
            surfMatch[g][i].Create(w, h, trainMask.clone());
        else
            grayMatch[g][i].Create(w, h, trainMask, 0);
        trainees.push_back({i, f == roi::kFuncSimilarity, place.inFrame});
    }

    cv::Mat lastGray;
    for (int k : added) {
        const cv::Mat gray = grayTemplate(g, k);
        if (gray.empty()) continue;
        lastGray = gray;
        for (const Trainee& t : trainees) {
            const cv::Mat crop = gray(t.inFrame);
            if (t.similarity)
                surfMatch[g][t.roi].AddTemp(crop.clone(), kSimilarityAddArg1, kSimilarityAddArg2,
                                            p->roiParam1[g][t.roi]);
            else
                grayMatch[g][t.roi].AddTemp(crop);
        }
    }

    // The brightness reference is the last template added (a colour template's grey picture
    // is still in trainGray_).
    if (!lastGray.empty()) tempNorm[g] = cv::norm(lastGray, cv::NORM_L2);

    const WizardPara& para = ctx->para();
    for (const Trainee& t : trainees) {
        if (t.similarity)
            surfMatch[g][t.roi].Train(0, 0, 0, 0);
        else
            grayMatch[g][t.roi].Train(p->roiParam1[g][t.roi], para.amplify, kDefectFlatPercent,
                                      kDefectEdgePercent);
    }
    detMask[g] = mask;
}

void CammerRecong::CreateShape(int g) {
    if (!ctx || !validDetection(g)) return;
    const bool done = vision::guarded("CammerRecong::CreateShape", false, [&] {
        createShapeImpl(g);
        return true;
    });
    if (!done) shapeModel[g].Clear();
}

void CammerRecong::createShapeImpl(int g) {
    // A model of earlier settings must not outlive them.
    shapeModel[g].Clear();
    shapeSearchRect[g] = cv::Rect();
    const WizardPara& para = ctx->para();
    if (para.motionCorrect == kMotionCorrectOff || ctx->isColor) return;
    if (!ctx->isPrepared(g)) return;

    const CammerSingleton* p = ctx->liveParam;
    const int W = ctx->imageW, H = ctx->imageH;
    const cv::Size frame(W, H);

    cv::Rect area;
    cv::Mat mask;
    const int count = regionCount(p, g);
    for (int i = 0; i < count; ++i) {
        if (p->roiFunc[g][i] != roi::kFuncPosition) continue;
        const cv::Rect rect = imaging::toCvRect(p->roiImageRect(g, i));
        if (rect.width > 0 && rect.height > 0) {
            const RegionPlace place = placeRegion(*p, g, i, ctx->roiMask[g][i], frame);
            if (place.error) {
                qWarning(
                    "Camera %d detection %d: position area %d lies outside the frame or "
                    "has no mask; no position model",
                    ctx->cameraNo + 1, g + 1, i + 1);
                return;
            }
            area = place.inFrame;
            mask = place.mask.clone();
        }
        break;
    }
    if (area.empty()) {
        // The lower-right three quarters of the frame.
        area = cv::Rect(W / 4, H / 4, 3 * W / 4, 3 * H / 4) & cv::Rect(0, 0, W, H);
        mask = cv::Mat(area.size(), CV_8UC1, cv::Scalar(255));
    }
    shapeRefX[g] = area.x + area.width / 2;
    shapeRefY[g] = area.y + area.height / 2;

    const cv::Mat templ = ctx->frameView(ctx->templateBuf[g][0]);
    const cv::Mat model = templ(area).clone();
    const int angle = (para.rotateAngle >= kMinRotateAngle && para.rotateAngle <= kMaxRotateAngle)
                          ? para.rotateAngle
                          : para.motionCorrect;
    shapeModel[g].CreateShape(model, 0.0, 0, angle, shapeRefX[g], shapeRefY[g], false,
                              kShapeModelThreshold, mask, para.shapeAccuracy, para.zoomLayers);

    const qint64 m = std::max(para.shapeOffset, 0);
    const qint64 x1 = std::max<qint64>(area.x - m, 0);
    const qint64 y1 = std::max<qint64>(area.y - m, 0);
    const qint64 x2 = std::min<qint64>(qint64(area.x) + area.width + m, W);
    const qint64 y2 = std::min<qint64>(qint64(area.y) + area.height + m, H);
    shapeSearchRect[g] =
        (x2 > x1 && y2 > y1) ? cv::Rect(int(x1), int(y1), int(x2 - x1), int(y2 - y1)) : cv::Rect();
}

void CammerRecong::CreateHomoShape(int g) {
    if (!ctx || !validDetection(g)) return;
    const bool done = vision::guarded("CammerRecong::CreateHomoShape", false, [&] {
        createHomoShapeImpl(g);
        return true;
    });
    if (!done) homoReady[g] = false;
}

void CammerRecong::createHomoShapeImpl(int g) {
    homoReady[g] = false;
    if (!ctx->para().angleCorrect || ctx->isColor) return;
    if (!ctx->isPrepared(g)) return;

    const CammerSingleton* p = ctx->liveParam;
    const int W = ctx->imageW, H = ctx->imageH;
    const cv::Size frame(W, H);
    cv::Mat mask(frame, CV_8UC1, cv::Scalar(0));
    bool lastUsable = false;
    const int count = regionCount(p, g);
    for (int i = 0; i < count; ++i) {
        if (p->roiFunc[g][i] != roi::kFuncRegistration) continue;
        const cv::Rect rect = imaging::toCvRect(p->roiImageRect(g, i));
        lastUsable = rect.width > 0 && rect.height > 0;
        const RegionPlace place = placeRegion(*p, g, i, ctx->roiMask[g][i], frame);
        if (!place.error) place.mask.copyTo(mask(place.inFrame));
    }
    if (!lastUsable)
        mask(cv::Rect(W / 4, H / 4, 3 * W / 4, 3 * H / 4) & cv::Rect(0, 0, W, H)).setTo(255);

    const cv::Mat templ = ctx->frameView(ctx->templateBuf[g][0]);
    // Too few features are accepted: registration then fails or works on what was found.
    if (!homo[g].setTemplate(templ, mask, kHomoMinFeatures))
        qWarning(
            "Camera %d detection %d: the registration template has %d features, fewer than "
            "the %d registration needs to be reliable",
            ctx->cameraNo + 1, g + 1, homo[g].templateFeatures(), kHomoMinFeatures);
    homoReady[g] = true;
}

void CammerRecong::AreaGen() {
    // Deliberately empty: areas are drawn by the operator; the window's AutogenerationRegion
    // holds the one attempt at deriving them from pictures.
}
