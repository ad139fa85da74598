#include "regionmeasure.h"

#include <algorithm>
#include <climits>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "frameclip.h"
#include "wizardpara.h"

namespace engine {

RegionPlace placeRegion(const CammerSingleton& param, int g, int i, const cv::Mat& mask,
                        cv::Size frame) {
    RegionPlace place;
    if (mask.empty()) {
        place.error = kErrorNoMask;
        return place;
    }
    place.rect = imaging::toCvRect(param.roiImageRect(g, i));
    if (place.rect.width < 1 || place.rect.height < 1) {
        place.error = kErrorEmptyRegion;
        return place;
    }
    if (mask.type() != CV_8UC1 || mask.size() != place.rect.size()) {
        place.error = kErrorNoMask;
        return place;
    }
    const imaging::ClippedArea area = imaging::clipToFrame(place.rect, frame);
    if (area.isEmpty()) {
        place.error = kErrorEmptyRegion;
        return place;
    }
    place.inFrame = area.inFrame;
    place.mask = mask(area.inMask);
    return place;
}

bool isUninspected(int func) {
    return func == roi::kFuncIgnore || func == roi::kFuncPosition || func == roi::kFuncRegistration;
}

bool isBandFunction(int func) {
    return func != roi::kFuncDefect && func != roi::kFuncSimilarity && !isUninspected(func);
}

bool isCountFunction(int func) {
    return func == roi::kFuncBrightCount || func == roi::kFuncDarkCount;
}

void thresholdBand(const cv::Mat& src, cv::Mat& dst, int lo, int hi) {
    if (src.empty()) {
        dst.release();
        return;
    }
    if (lo > hi) {
        dst.create(src.size(), CV_8UC1);
        dst.setTo(0);
        return;
    }
    cv::inRange(src, cv::Scalar(lo), cv::Scalar(hi), dst);
}

GreyBand bandFor(int func, int param1, int param3) {
    GreyBand band;
    switch (func) {
        case roi::kFuncSpot: {
            const int a = param3 & kBandByteMask;
            const int b = (param3 >> kBandHighShift) & kBandByteMask;
            band.lo = std::min(a, b);
            band.hi = std::max(a, b);
            break;
        }
        case roi::kFuncDarkArea:
        case roi::kFuncDarkCount:
            band.lo = 0;
            band.hi = param1 & kBandByteMask;
            break;
        case roi::kFuncBrightArea:
        case roi::kFuncBrightCount:
            band.lo = param1 & kBandByteMask;
            band.hi = 255;
            break;
        default:
            break;
    }
    return band;
}

int openingKernel(int func, int param3, const WizardPara& para) {
    if (func == roi::kFuncSimilarity) return 1;
    if (func == roi::kFuncDefect) return para.showAllParam ? param3 : para.filterSize;
    // Widened so that a garbage param3 cannot overflow.
    if (isCountFunction(func)) return int(std::clamp<qint64>(2 * qint64(param3) + 1, 1, INT_MAX));
    return para.minSpot;
}

bool countKernelTooLarge(cv::Size region, int kernel, int slack) {
    const int m = std::min(region.width, region.height);
    return 2 * (m / 2) - slack <= kernel;
}

void openRegion(const cv::Mat& bin, cv::Mat& out, int kernel) {
    const int k = std::clamp(kernel, 1, kMaxOpeningKernel);
    if (k == 1 || bin.empty()) {
        bin.copyTo(out);
        return;
    }
    const cv::Mat element = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(k, k));
    cv::morphologyEx(bin, out, cv::MORPH_OPEN, element, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                     cv::morphologyDefaultBorderValue());
}

BlobMeasure measureBlobs(const cv::Mat& out, cv::Point offset, DefectList* defects) {
    BlobMeasure m;
    if (defects) defects->count = 0;
    if (out.empty()) return m;
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(out, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    m.count = int(contours.size());
    int kept = 0;
    for (const std::vector<cv::Point>& contour : contours) {
        m.area = static_cast<int>(m.area + cv::contourArea(contour));
        if (defects && kept < kMaxDefectRects) {
            const cv::Rect box = cv::boundingRect(contour) + offset;
            defects->rects[size_t(kept)] = {box.x, box.y, box.x + box.width, box.y + box.height};
            ++kept;
        }
    }
    if (defects) defects->count = kept;
    return m;
}

Verdict judgeRegion(int func, int area, int blobs, int score, int param1, int param2, int param3,
                    const WizardPara& para) {
    Verdict v;
    v.value = area;
    switch (func) {
        case roi::kFuncSpot:
            v.ng = !(param1 <= area && area <= param2);
            v.lower = param1;
            v.upper = param2;
            break;
        case roi::kFuncDarkArea:
        case roi::kFuncBrightArea:
            v.ng = area > param2;
            v.lower = 0;
            v.upper = param2;
            break;
        case roi::kFuncSimilarity:
            v.value = score;
            v.ng = score < param1;
            v.lower = param1;
            break;
        case roi::kFuncBrightCount:
        case roi::kFuncDarkCount: {
            const unsigned range = unsigned(param2);
            const int lo = int(range & kCountLowMask);
            const int hi = int(range >> kCountHighShift);
            v.value = blobs;
            v.ng = blobs < lo || blobs > hi;
            v.lower = lo;
            v.upper = hi;
            break;
        }
        default: {
            // Defect and every other code: a summed area against the region's own limit or
            // the global one; "template is NG" turns the comparison round.
            const int limit = para.showAllParam ? param2 : para.alarmArea;
            v.ng = para.templateIsNG ? area < limit : area > limit;
            v.lower = param1;
            v.upper = param2;
            v.param = param3;
            break;
        }
    }
    return v;
}

}  // namespace engine
