#include "graymatch.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "greylevels.h"
#include "visionguard.h"
#include "visionlimits.h"

namespace lim = vision::limits;

namespace {

bool isGray8(const cv::Mat& m) {
    return !m.empty() && m.type() == CV_8UC1;
}

}  // namespace

bool GrayMatch::Create(int width, int height, const cv::Mat& mask, int /*reserved*/) {
    return vision::guarded("GrayMatch::Create", false,
                           [&] { return createImpl(width, height, mask); });
}

bool GrayMatch::AddTemp(const cv::Mat& crop) {
    return vision::guarded("GrayMatch::AddTemp", false, [&] { return addImpl(crop); });
}

bool GrayMatch::Train(int sensitivity, int amplify, int flatPercent, int edgePercent) {
    return vision::guarded("GrayMatch::Train", false, [&] {
        return trainImpl(sensitivity, amplify, flatPercent, edgePercent);
    });
}

bool GrayMatch::Match(const cv::Mat& crop, cv::Mat& out) const {
    return vision::guarded("GrayMatch::Match", false, [&] { return matchImpl(crop, out); });
}

void GrayMatch::Clear() {
    *this = GrayMatch();
}

bool GrayMatch::createImpl(int width, int height, const cv::Mat& mask) {
    Clear();
    if (width < 1 || height < 1) return false;
    size_ = cv::Size(width, height);
    if (mask.empty()) {
        mask_ = cv::Mat(size_, CV_8UC1, cv::Scalar(255));
    } else {
        if (!isGray8(mask) || mask.size() != size_) {
            qWarning("GrayMatch: mask %dx%d does not fit a region of %dx%d", mask.cols, mask.rows,
                     width, height);
            size_ = cv::Size();
            return false;
        }
        cv::compare(mask, 0, mask_, cv::CMP_NE);
    }
    return true;
}

bool GrayMatch::addImpl(const cv::Mat& crop) {
    if (size_.empty() || trained_) return false;
    if (!isGray8(crop) || crop.size() != size_) return false;
    if (templateCount_ == 0) {
        minimum_ = crop.clone();
        maximum_ = crop.clone();
        crop.convertTo(sum_, CV_32S);
    } else {
        cv::min(minimum_, crop, minimum_);
        cv::max(maximum_, crop, maximum_);
        cv::add(sum_, crop, sum_, cv::noArray(), CV_32S);
    }
    ++templateCount_;
    return true;
}

bool GrayMatch::trainImpl(int sensitivity, int amplify, int flatPercent, int edgePercent) {
    if (size_.empty() || trained_ || templateCount_ == 0) return false;

    sum_.convertTo(reference_, CV_8U, 1.0 / templateCount_);

    const int factor = std::clamp(amplify, 1, lim::kMaxAmplify);
    const auto tolerance = [&](int percent) {
        const double grey = std::clamp(sensitivity, 0, 255) * std::max(percent, 0) / 100.0;
        return std::clamp(static_cast<int>(std::lround(grey / factor)), lim::kNoiseFloor, 255);
    };
    const int flatTolerance = tolerance(flatPercent);
    const int edgeTolerance = tolerance(edgePercent);

    // Edge pixels are those whose neighbourhood spans clearly more than the pixel itself: a
    // part shifted by one pixel could bring a neighbour's value there. Their band spans the
    // neighbourhood, and they get the edge tolerance.
    cv::Mat lowEdge, highEdge;
    vision::neighbourhoodRange(minimum_, maximum_, lim::kEdgeShiftTolerance, lowEdge, highEdge);
    cv::Mat widenedLow, widenedHigh, edges;
    cv::subtract(minimum_, lowEdge, widenedLow);
    cv::subtract(highEdge, maximum_, widenedHigh);
    cv::max(widenedLow, widenedHigh, edges);
    cv::compare(edges, flatTolerance * lim::kEdgeWideningShare, edges, cv::CMP_GT);

    // The accumulators are dropped below, so the bands are built in place.
    cv::Mat& low = minimum_;
    cv::Mat& high = maximum_;
    lowEdge.copyTo(low, edges);
    highEdge.copyTo(high, edges);

    cv::Mat toleranceMap(size_, CV_8UC1, cv::Scalar(flatTolerance));
    toleranceMap.setTo(edgeTolerance, edges);
    cv::subtract(low, toleranceMap, lower_);
    cv::add(high, toleranceMap, upper_);

    cv::bitwise_not(edges, flat_);
    cv::bitwise_and(flat_, mask_, flat_);

    minimum_.release();
    maximum_.release();
    sum_.release();
    trained_ = true;
    return true;
}

// The lighting is judged on flat inspected pixels (on every inspected pixel when none is flat):
// a one-pixel shift changes edges, not flat areas.
int GrayMatch::brightnessOffset(const cv::Mat& crop) const {
    int median = 0;
    if (!vision::medianDifference(crop, reference_, flat_, lim::kBrightnessSampleStep, &median))
        vision::medianDifference(crop, reference_, mask_, lim::kBrightnessSampleStep, &median);
    return std::clamp(median, -lim::kMaxBrightnessShift, lim::kMaxBrightnessShift);
}

bool GrayMatch::matchImpl(const cv::Mat& crop, cv::Mat& out) const {
    const cv::Size outSize = crop.empty() ? size_ : crop.size();
    if (out.size() != outSize || out.type() != CV_8UC1) out.create(outSize, CV_8UC1);
    out.setTo(0);
    if (!trained_ || !isGray8(crop) || crop.size() != size_) return false;

    const int offset = brightnessOffset(crop);
    cv::Mat adjusted = crop;
    if (offset > 0) cv::subtract(crop, cv::Scalar(offset), adjusted);
    if (offset < 0) cv::add(crop, cv::Scalar(-offset), adjusted);

    cv::Mat above;
    cv::compare(adjusted, lower_, out, cv::CMP_LT);
    cv::compare(adjusted, upper_, above, cv::CMP_GT);
    cv::bitwise_or(out, above, out);
    cv::bitwise_and(out, mask_, out);
    return true;
}
