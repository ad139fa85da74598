#include "surf.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "greylevels.h"
#include "visionguard.h"
#include "visionlimits.h"

namespace lim = vision::limits;

namespace {

bool isGray8(const cv::Mat& m) {
    return !m.empty() && m.type() == CV_8UC1;
}

// Window origins along one side: every `step` pixels, and the last one flush with the end so
// that no pixel is left out.
std::vector<int> origins(int length, int window, int step) {
    std::vector<int> at;
    for (int x = 0; x + window < length; x += step) at.push_back(x);
    at.push_back(length - window);
    return at;
}

}  // namespace

bool SURF::Create(int width, int height, const cv::Mat& mask) {
    return vision::guarded("SURF::Create", false, [&] { return createImpl(width, height, mask); });
}

bool SURF::AddTemp(const cv::Mat& crop, int /*reserved1*/, int /*reserved2*/, int /*minScore*/) {
    return vision::guarded("SURF::AddTemp", false, [&] { return addImpl(crop); });
}

bool SURF::Train(int, int, int, int) {
    return vision::guarded("SURF::Train", false, [&] { return trainImpl(); });
}

float SURF::Match(cv::Mat& crop, cv::Mat& out) const {
    return vision::guarded("SURF::Match", 0.0f, [&] { return matchImpl(crop, out); });
}

void SURF::Clear() {
    *this = SURF();
}

bool SURF::createImpl(int width, int height, const cv::Mat& mask) {
    Clear();
    if (width < 1 || height < 1) return false;
    const cv::Size size(width, height);
    if (mask.empty()) {
        mask_ = cv::Mat(size, CV_8UC1, cv::Scalar(255));
    } else if (isGray8(mask) && mask.size() == size) {
        cv::compare(mask, 0, mask_, cv::CMP_NE);
    } else {
        qWarning("SURF: mask %dx%d does not fit a region of %dx%d", mask.cols, mask.rows, width,
                 height);
        return false;
    }
    size_ = size;
    return true;
}

bool SURF::addImpl(const cv::Mat& crop) {
    if (size_.empty() || trained_ || !isGray8(crop) || crop.size() != size_) return false;
    if (templateCount_ == 0) {
        minimum_ = crop.clone();
        maximum_ = crop.clone();
    } else {
        cv::min(minimum_, crop, minimum_);
        cv::max(maximum_, crop, maximum_);
    }
    ++templateCount_;
    return true;
}

bool SURF::trainImpl() {
    if (size_.empty() || trained_ || templateCount_ == 0) return false;
    if (cv::countNonZero(mask_) == 0) {
        qWarning("SURF: the mask leaves nothing to compare");
        return false;
    }
    cv::Mat low, high;
    vision::neighbourhoodRange(minimum_, maximum_, lim::kSimilarityShiftTolerance, low, high);

    cv::Mat range;
    cv::subtract(high, low, range);
    cv::compare(range, lim::kSimilaritySteadyRange, steady_, cv::CMP_LE);
    cv::bitwise_and(steady_, mask_, steady_);
    cv::addWeighted(low, 0.5, high, 0.5, 0.0, reference_);

    cv::subtract(low, cv::Scalar(lim::kSimilarityTolerance), lower_);
    cv::add(high, cv::Scalar(lim::kSimilarityTolerance), upper_);
    minimum_.release();
    maximum_.release();
    layOutWindows();
    trained_ = true;
    return true;
}

void SURF::layOutWindows() {
    const int winW = std::min(lim::kSimilarityWindow, size_.width);
    const int winH = std::min(lim::kSimilarityWindow, size_.height);
    cell_ = std::max(1, std::min({lim::kSimilarityWindowStep, winW, winH}));
    cellGrid_ = cv::Size((size_.width + cell_ - 1) / cell_, (size_.height + cell_ - 1) / cell_);

    cv::Mat inside, counts;
    cv::compare(mask_, 0, inside, cv::CMP_NE);
    cv::integral(inside / 255, counts, CV_32S);
    const int stride = counts.cols;
    const double minPixels = lim::kSimilarityMinWindowFill * winW * winH;
    windows_.clear();
    for (int y : origins(size_.height, winH, cell_)) {
        for (int x : origins(size_.width, winW, cell_)) {
            Window w;
            w.topLeft = y * stride + x;
            w.topRight = w.topLeft + winW;
            w.bottomLeft = (y + winH) * stride + x;
            w.bottomRight = w.bottomLeft + winW;
            const int* c = counts.ptr<int>();
            const int n = c[w.bottomRight] - c[w.bottomLeft] - c[w.topRight] + c[w.topLeft];
            if (n == 0) continue;
            w.weight = float(1.0 / (lim::kSimilaritySaturation * std::max<double>(n, minPixels)));
            const int x0 = x / cell_, y0 = y / cell_;
            w.cells = cv::Rect(x0, y0, (x + winW + cell_ - 1) / cell_ - x0,
                               (y + winH + cell_ - 1) / cell_ - y0);
            windows_.push_back(w);
        }
    }
}

// The lighting is judged where the templates agree: a small shift changes nothing there.
int SURF::brightnessOffset(const cv::Mat& crop) const {
    int median = 0;
    vision::medianDifference(crop, reference_, steady_, lim::kSimilaritySampleStep, &median);
    return std::clamp(median, -lim::kSimilarityMaxBrightnessShift,
                      lim::kSimilarityMaxBrightnessShift);
}

float SURF::matchImpl(const cv::Mat& crop, cv::Mat& out) const {
    const cv::Size outSize = crop.empty() ? size_ : crop.size();
    if (out.size() != outSize || out.type() != CV_8UC1) out.create(outSize, CV_8UC1);
    out.setTo(0);
    if (!trained_ || !isGray8(crop) || crop.size() != size_) return 0.0f;

    const int offset = brightnessOffset(crop);
    cv::Mat adjusted = crop;
    if (offset > 0) cv::subtract(crop, cv::Scalar(offset), adjusted);
    if (offset < 0) cv::add(crop, cv::Scalar(-offset), adjusted);

    // Grey levels outside the band (saturating subtractions give 0 inside it), capped.
    cv::Mat below, beyond;
    cv::subtract(lower_, adjusted, below);
    cv::subtract(adjusted, upper_, beyond);
    cv::max(below, beyond, beyond);
    cv::min(beyond, cv::Scalar(lim::kSimilaritySaturation), beyond);
    cv::bitwise_and(beyond, mask_, beyond);

    cv::Mat sums;
    cv::integral(beyond, sums, CV_32S);
    const int* s = sums.ptr<int>();
    double worst = 0.0;
    cv::Mat marked;
    for (const Window& w : windows_) {
        const double share =
            double(s[w.bottomRight] - s[w.bottomLeft] - s[w.topRight] + s[w.topLeft]) * w.weight;
        worst = std::max(worst, share);
        if (share >= lim::kSimilarityMarkedShare) {
            if (marked.empty()) marked = cv::Mat::zeros(cellGrid_, CV_8UC1);
            marked(w.cells).setTo(255);
        }
    }
    if (!marked.empty()) {
        cv::Mat cells, strong;
        cv::resize(marked, cells, cv::Size(cellGrid_.width * cell_, cellGrid_.height * cell_), 0, 0,
                   cv::INTER_NEAREST);
        cv::compare(beyond, lim::kSimilaritySaturation / 2, strong, cv::CMP_GE);
        cv::bitwise_and(strong, cells(cv::Rect(cv::Point(), size_)), out);
    }
    return static_cast<float>(std::clamp(100.0 * (1.0 - worst), 0.0, 100.0));
}
