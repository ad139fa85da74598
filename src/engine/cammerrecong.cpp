// The inspection run: registration, position correction, the judgement of every region and the
// single-region test of the editing page.
#include "cammerrecong.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/core.hpp>

#include "frameclip.h"
#include "imagehelpers.h"
#include "regionmeasure.h"
#include "visionguard.h"
#include "wizardpara.h"

using namespace engine;

namespace {

bool rotationSearched(const WizardPara& para) {
    return para.rotateAngle >= kMinRotateAngle && para.rotateAngle <= kMaxRotateAngle;
}

}  // namespace

void CammerRecong::ThresholdFUNC(cv::Mat src, cv::Mat& dst, int lo, int hi) {
    vision::guarded("CammerRecong::ThresholdFUNC", false, [&] {
        thresholdBand(src, dst, lo, hi);
        return true;
    });
}

void CammerRecong::copyBuffer(const std::vector<uchar>& from, std::vector<uchar>& to) const {
    const size_t bytes = size_t(std::max(ctx->frameBytes, 0));
    if (from.size() < bytes || to.size() < bytes) {
        qWarning("Camera %d: frame buffers are not sized for the frame", ctx->cameraNo + 1);
        return;
    }
    if (bytes > 0 && from.data() != to.data()) std::memcpy(to.data(), from.data(), bytes);
}

void CammerRecong::repaint() const {
    if (ctx->repaint) ctx->repaint();
}

// ---- registration ----

int CammerRecong::HomoTransShape(int g) {
    if (!ctx) return 1;
    if (!holding_) dropHeld();
    if (validDetection(g)) lastDetect_ = g;
    const bool done = vision::guarded("CammerRecong::HomoTransShape", false, [&] {
        homoTransImpl(g);
        return true;
    });
    if (!done) {
        vision::guarded("CammerRecong::HomoTransShape copy", false, [&] {
            copyBuffer(ctx->grabBuf, ctx->registeredBuf);
            return true;
        });
    }
    return 1;
}

void CammerRecong::homoTransImpl(int g) {
    // Colour frames are copied whole (all four bytes of every pixel): registration works on
    // monochrome cameras only.
    const bool wanted =
        ctx->para().angleCorrect && !ctx->isColor && validDetection(g) && homoReady[g];
    if (wanted) {
        cv::Mat src = ctx->frameView(ctx->grabBuf);
        cv::Mat dst = ctx->frameView(ctx->registeredBuf);
        if (!src.empty() && !dst.empty() &&
            homo[g].transImageHomo(src, dst, kHomoMatchConfidence)) {
            if (dst.data != ctx->registeredBuf.data())
                dst.copyTo(ctx->frameView(ctx->registeredBuf));
            return;
        }
        const char* reason = homo[g].lastFailure();
        qWarning(
            "Camera %d detection %d: registration refused (%s); the frame is inspected as "
            "it was taken",
            ctx->cameraNo + 1, g + 1, reason ? reason : "no frame");
    }
    copyBuffer(ctx->grabBuf, ctx->registeredBuf);
}

// ---- position correction ----

void CammerRecong::ShapeMatch() {
    if (!ctx) return;
    int g = lastDetect_;
    if (ctx->currentDetect) {
        vision::guarded("CammerRecong::ShapeMatch detection", false, [&] {
            g = ctx->currentDetect();
            return true;
        });
    }
    ShapeMatch(g);
}

void CammerRecong::ShapeMatch(int g) {
    if (!ctx) return;
    const bool done = vision::guarded("CammerRecong::ShapeMatch", false, [&] {
        shapeMatchImpl(g);
        return true;
    });
    if (!done) {
        vision::guarded("CammerRecong::ShapeMatch copy", false, [&] {
            copyBuffer(ctx->registeredBuf, ctx->alignedBuf);
            return true;
        });
    }
}

void CammerRecong::shapeMatchImpl(int g) {
    const WizardPara& para = ctx->para();
    if (!validDetection(g) || para.motionCorrect == kMotionCorrectOff || !shapeModel[g].IsValid() ||
        ctx->isColor) {
        copyBuffer(ctx->registeredBuf, ctx->alignedBuf);
        return;
    }
    cv::Mat registered = ctx->frameView(ctx->registeredBuf);
    cv::Mat aligned = ctx->frameView(ctx->alignedBuf);
    const cv::Rect searchRect = shapeSearchRect[g] & cv::Rect(0, 0, ctx->imageW, ctx->imageH);
    if (registered.empty() || aligned.empty() || searchRect.empty()) {
        copyBuffer(ctx->registeredBuf, ctx->alignedBuf);
        return;
    }

    cv::Mat search = registered(searchRect).clone();
    QElapsedTimer timer;
    timer.start();
    int x = 0, y = 0;
    double score = 0.0, angle = 0.0;
    const bool found = shapeModel[g].Find(search, 0, &x, &y, &score, &angle);
    if (!found) {
        qInfo() << "NG运行时间" << timer.elapsed();
        copyBuffer(ctx->registeredBuf, ctx->alignedBuf);
        return;
    }
    const int dx = x - searchRect.x;
    const int dy = y - searchRect.y;
    if (rotationSearched(para) && std::abs(angle) >= kMinResampledAngle) {
        TransformImage(registered, aligned, cv::Point(dx, dy),
                       cv::Point(shapeRefX[g], shapeRefY[g]), angle);
    } else {
        MoveImage(registered, aligned, dx, dy);
    }
    // Both helpers keep a destination of the right size; anything else would have left the
    // pipeline's buffer behind.
    if (aligned.data != ctx->alignedBuf.data()) {
        qWarning("Camera %d: position correction did not write the frame buffer",
                 ctx->cameraNo + 1);
        copyBuffer(ctx->registeredBuf, ctx->alignedBuf);
        return;
    }
    qInfo() << "OK运行时间" << timer.elapsed() << "x: " << dx << "y: " << dy << "a: " << angle;
}

// ---- inspection ----

cv::Mat CammerRecong::inspectedImage(int g) {
    cv::Mat image;
    if (ctx->isColor) {
        image = ctx->grayView(ctx->grayBuf);
        if (image.empty() || ctx->alignedBuf.size() != size_t(ctx->frameBytes)) return cv::Mat();
        const int* pixels = reinterpret_cast<const int*>(ctx->alignedBuf.data());
        if (ctx->grayHue)
            RGBA2Gray(ctx->grayBuf.data(), pixels, ctx->imageW, ctx->imageH);
        else
            RGBA2Hue(ctx->grayBuf.data(), pixels, ctx->imageW, ctx->imageH);
    } else {
        image = ctx->frameView(ctx->alignedBuf);
    }
    // Without a brightness reference the scaling would turn the picture black.
    if (!image.empty() && ctx->para().matchBrightness && tempNorm[g] > 0.0) {
        cv::normalize(image, normalized_, tempNorm[g], 0.0, cv::NORM_L2);
        return normalized_;
    }
    return image;
}

void CammerRecong::regionError(int g, int i, int code) {
    ctx->isOK = false;
    ctx->roiOK[g][i] = 0;
    ctx->roiValue[g][i] = 0;
    ctx->defectRects[size_t(g)][size_t(i)].count = 0;
    const QString text =
        QStringLiteral("REG RUN ERROR = %1, %2, %3").arg(ctx->cameraNo).arg(g).arg(code);
    qWarning("%s (region %d)", qPrintable(text), i);
    if (holding_)
        heldOperatorRecords_ << text;
    else if (ctx->insertRecord)
        ctx->insertRecord(text);
}

void CammerRecong::emitRecord(const param_roi& record) {
    if (holding_)
        heldRecords_.push_back(record);
    else
        deliver(record);
}

void CammerRecong::deliver(const param_roi& record) const {
    const ResultSinks& sinks = ctx->sinks;
    if (sinks.monitor) sinks.monitor(record);
    if (sinks.apiList) {
        QMutexLocker lock(sinks.apiLock);
        sinks.apiList->append(record);
    }
}

void CammerRecong::Run(int g) {
    if (!ctx) return;
    if (!validDetection(g)) {
        qWarning("Camera %d: inspection of detection index %d, which does not exist",
                 ctx->cameraNo + 1, g);
        ctx->isOK = false;
        return;
    }
    const bool done = vision::guarded("CammerRecong::Run", false, [&] {
        runImpl(g);
        return true;
    });
    if (!done) {
        // An inspection that did not finish must not pass.
        ctx->isOK = false;
    }
}

void CammerRecong::runImpl(int g) {
    const CammerSingleton* p = ctx->liveParam;
    const int count = regionCount(p, g);
    ctx->isOK = true;
    for (int i = 0; i < count; ++i) ctx->roiOK[g][i] = 1;

    const cv::Mat image = inspectedImage(g);
    std::fill(ctx->resultMask.begin(), ctx->resultMask.end(), uchar(0));
    cv::Mat resultMask = ctx->grayView(ctx->resultMask);
    if (count > 0 && (image.empty() || resultMask.empty())) {
        qWarning("Camera %d: no frame to inspect (%dx%d)", ctx->cameraNo + 1, ctx->imageW,
                 ctx->imageH);
        ctx->isOK = false;
        return;
    }

    const WizardPara& para = ctx->para();
    const cv::Mat& trained = detMask[g];
    const bool untrained = trained.rows == 0 || trained.cols == 0 ||
                           trained.size() != image.size() || trained.type() != CV_8UC1;
    cv::Mat bin, out, use;
    for (int i = 0; i < count; ++i) {
        const int f = p->roiFunc[g][i];
        DefectList& defects = ctx->defectRects[size_t(g)][size_t(i)];
        if (isUninspected(f)) {
            ctx->roiValue[g][i] = 0;
            defects.count = 0;
            continue;
        }
        const cv::Mat& mask = ctx->roiMask[g][i];
        if (mask.rows == 0 || mask.cols == 0) {
            regionError(g, i, kErrorNoMask);
            continue;
        }
        if (untrained) {
            regionError(g, i, kErrorUntrained);
            continue;
        }
        const RegionPlace place = placeRegion(*p, g, i, mask, image.size());
        if (place.error) {
            regionError(g, i, place.error);
            continue;
        }

        const cv::Mat crop = image(place.inFrame);
        int kernel = 1;
        int score = 0;
        if (f == roi::kFuncSimilarity) {
            bin = cv::Mat::zeros(crop.size(), CV_8UC1);
            if (surfMatch[g][i].IsValid()) {
                cv::Mat copy = crop.clone();
                score = int(surfMatch[g][i].Match(copy, bin));
            }
        } else if (f == roi::kFuncDefect) {
            bin = cv::Mat::zeros(crop.size(), CV_8UC1);
            kernel = openingKernel(f, p->roiParam3[g][i], para);
            // The matcher applies its own training mask.
            if (grayMatch[g][i].IsValid()) grayMatch[g][i].Match(crop, bin);
        } else {
            const GreyBand band = bandFor(f, p->roiParam1[g][i], p->roiParam3[g][i]);
            kernel = openingKernel(f, p->roiParam3[g][i], para);
            cv::bitwise_and(trained(place.inFrame), place.mask, use);
            thresholdBand(crop, bin, band.lo, band.hi);
            cv::bitwise_and(bin, use, bin);
            if (isCountFunction(f) && countKernelTooLarge(bin.size(), kernel, kCountClearSlackRun))
                bin.setTo(0);
        }

        openRegion(bin, out, kernel);
        out.copyTo(resultMask(place.inFrame));
        const BlobMeasure blobs = measureBlobs(out, place.inFrame.tl(), &defects);
        ctx->roiValue[g][i] = blobs.area;

        const Verdict verdict = judgeRegion(f, blobs.area, blobs.count, score, p->roiParam1[g][i],
                                            p->roiParam2[g][i], p->roiParam3[g][i], para);
        ctx->roiValue[g][i] = verdict.value;
        if (verdict.ng) {
            ctx->isOK = false;
            ctx->roiOK[g][i] = 0;
        }

        param_roi record;
        record.camera = ctx->cameraNo;
        record.detect = g;
        record.roi_id = i;
        record.algorithm_type = f;
        record.algorithm_result = verdict.value;
        record.algorithm_sensitivity = verdict.lower;
        record.algorithm_areaMin = verdict.upper;
        record.algorithm_param = verdict.param;
        record.is_alarm = ctx->isOK ? 1 : 0;
        emitRecord(record);
    }
}

// ---- inspection beside other cameras ----

void CammerRecong::dropHeld() {
    heldStep_ = -1;
    heldRecords_.clear();
    heldOperatorRecords_.clear();
}

void CammerRecong::InspectHeld(int g) {
    if (!ctx) return;
    dropHeld();
    holding_ = true;
    HomoTransShape(g);
    ShapeMatch(g);
    Run(g);
    holding_ = false;
    heldStep_ = g;
}

bool CammerRecong::ReleaseHeld(int g) {
    if (!ctx || heldStep_ != g || !validDetection(g)) return false;
    for (const QString& text : qAsConst(heldOperatorRecords_))
        if (ctx->insertRecord) ctx->insertRecord(text);
    for (const param_roi& record : heldRecords_) deliver(record);
    dropHeld();
    return true;
}

void CammerRecong::InspectStep(int g) {
    if (!ctx || ReleaseHeld(g)) return;
    HomoTransShape(g);
    ShapeMatch();
    Run(g);
}

// ---- single-region test of the editing page ----

void CammerRecong::RunTest(int g, int i) {
    if (!ctx) return;
    vision::guarded("CammerRecong::RunTest", false, [&] {
        runTestImpl(g, i);
        return true;
    });
}

void CammerRecong::runTestImpl(int g, int i) {
    if (!validDetection(g) || i < 0 || i >= kMaxRois) return;
    cv::Mat image;
    if (ctx->isColor) {
        image = ctx->grayView(ctx->grayBuf);
    } else if (ctx->isPrepared(g) && ctx->curTemplate >= 0 &&
               ctx->curTemplate < int(ctx->templateBuf[g].size())) {
        image = ctx->frameView(ctx->templateBuf[g][size_t(ctx->curTemplate)]);
    }

    std::fill(ctx->resultMask.begin(), ctx->resultMask.end(), uchar(0));
    ctx->roiValue[g][i] = 0;
    ctx->defectRects[size_t(g)][size_t(i)].count = 0;

    const CammerSingleton* p = ctx->editParam;
    if (i >= regionCount(p, g)) return;
    const int f = p->roiFunc[g][i];
    if (!isBandFunction(f)) {
        repaint();
        return;
    }
    const cv::Rect rect = imaging::toCvRect(p->roiImageRect(g, i));
    if (rect.width < 1 || rect.height < 1) return;

    cv::Mat resultMask = ctx->grayView(ctx->resultMask);
    const cv::Mat& trained = detMask[g];
    if (image.empty() || resultMask.empty() || trained.size() != image.size() ||
        trained.type() != CV_8UC1) {
        qWarning("Camera %d detection %d: region %d cannot be measured before training",
                 ctx->cameraNo + 1, g + 1, i + 1);
        return;
    }
    const RegionPlace place = placeRegion(*p, g, i, ctx->editRoiMask[g][i], image.size());
    if (place.error) {
        qWarning("Camera %d detection %d: region %d has no mask or lies outside the frame",
                 ctx->cameraNo + 1, g + 1, i + 1);
        return;
    }

    const WizardPara& para = ctx->para();
    const GreyBand band = bandFor(f, p->roiParam1[g][i], p->roiParam3[g][i]);
    const int kernel = openingKernel(f, p->roiParam3[g][i], para);
    cv::Mat use, bin, out;
    cv::bitwise_and(trained(place.inFrame), place.mask, use);
    thresholdBand(image(place.inFrame), bin, band.lo, band.hi);
    cv::bitwise_and(bin, use, bin);
    if (isCountFunction(f) && countKernelTooLarge(bin.size(), kernel, kCountClearSlackTest))
        bin.setTo(0);
    openRegion(bin, out, kernel);
    out.copyTo(resultMask(place.inFrame));
    const BlobMeasure blobs = measureBlobs(out, place.inFrame.tl(), nullptr);
    ctx->roiValue[g][i] = isCountFunction(f) ? blobs.count : blobs.area;
    ctx->testShown = true;
    repaint();
}
