#include "surf.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "visionguard.h"
#include "visionlimits.h"

namespace lim = vision::limits;

namespace {

bool isGray8(const cv::Mat& m) {
    return !m.empty() && m.type() == CV_8UC1;
}

// Sums of one block over its masked pixels.
struct BlockSums {
    double n = 0, t = 0, s = 0, tt = 0, ss = 0, ts = 0;
    int area = 0;  // all pixels of the block, masked or not

    // Enough of the block lies inside the mask to judge it.
    bool usable() const { return n > 0 && n >= vision::limits::kSimilarityMinBlockFill * area; }
    double meanT() const { return t / n; }
    double meanS() const { return s / n; }
    double varianceT() const { return std::max(0.0, tt / n - meanT() * meanT()); }
    double varianceS() const { return std::max(0.0, ss / n - meanS() * meanS()); }
    double covariance() const { return ts / n - meanT() * meanS(); }
};

double median(std::vector<double>& values) {
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The mean of the largest group of values that fit within a window of the given width.
double densestValue(std::vector<double>& values, double width) {
    std::sort(values.begin(), values.end());
    size_t bestFirst = 0, bestCount = 0;
    for (size_t first = 0, last = 0; first < values.size(); ++first) {
        while (last < values.size() && values[last] - values[first] <= width) ++last;
        if (last - first > bestCount) {
            bestCount = last - first;
            bestFirst = first;
        }
    }
    double sum = 0.0;
    for (size_t i = bestFirst; i < bestFirst + bestCount; ++i) sum += values[i];
    return sum / bestCount;
}

}  // namespace

bool SURF::Create(int width, int height, const cv::Mat& mask) {
    return vision::guarded("SURF::Create", false, [&] { return createImpl(width, height, mask); });
}

bool SURF::AddTemp(const cv::Mat& crop, int /*reserved1*/, int /*reserved2*/, int /*minScore*/) {
    return vision::guarded("SURF::AddTemp", false, [&] {
        if (size_.empty() || trained_ || !isGray8(crop) || crop.size() != size_) return false;
        Template t;
        t.image = crop.clone();
        templates_.push_back(std::move(t));
        return true;
    });
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
    shift_ = std::min(width, height) >= lim::kSimilarityMinShiftSide ? lim::kSimilarityShift : 0;
    core_ = cv::Rect(shift_, shift_, width - 2 * shift_, height - 2 * shift_);
    mask_(core_).convertTo(coreMask_, CV_32F, 1.0 / 255);
    coreCount_ = cv::countNonZero(mask_(core_));
    block_ = std::clamp(std::min(core_.width, core_.height) / 4, lim::kSimilarityMinBlock,
                        lim::kSimilarityBlock);
    return true;
}

bool SURF::trainImpl() {
    if (size_.empty() || trained_ || templates_.empty()) return false;
    if (coreCount_ <= 0) {
        qWarning("SURF: the mask leaves nothing to compare");
        return false;
    }
    for (Template& t : templates_) {
        cv::Mat core;
        t.image(core_).convertTo(core, CV_32F);
        const double sum = coreMask_.dot(core);
        const double sumSq = coreMask_.dot(core.mul(core));
        t.mean = sum / coreCount_;
        t.sigma = std::sqrt(std::max(0.0, sumSq / coreCount_ - t.mean * t.mean));
        cv::subtract(core, cv::Scalar(t.mean), t.weighted);
        t.weighted = t.weighted.mul(coreMask_);
        t.norm = std::sqrt(t.weighted.dot(t.weighted));
    }
    trained_ = true;
    return true;
}

float SURF::matchImpl(const cv::Mat& crop, cv::Mat& out) const {
    const cv::Size outSize = crop.empty() ? size_ : crop.size();
    if (out.size() != outSize || out.type() != CV_8UC1) out.create(outSize, CV_8UC1);
    out.setTo(0);
    if (!trained_ || !isGray8(crop) || crop.size() != size_) return 0.0f;

    cv::Mat cropF;
    crop.convertTo(cropF, CV_32F);
    Comparison best;
    best.score = -1.0;
    for (const Template& t : templates_) {
        Comparison c = compare(t, crop, cropF);
        if (c.score > best.score) best = std::move(c);
    }
    best.different.copyTo(out);
    return static_cast<float>(std::clamp(best.score, 0.0, 100.0));
}

// The shift (within shift_ in each direction) at which the crop correlates best with the
// template; the unshifted position wins ties.
cv::Point SURF::bestShift(const Template& t, const cv::Mat& cropF) const {
    if (shift_ == 0 || t.sigma < lim::kSimilarityFlatSigma) return {0, 0};
    const cv::Mat cropSq = cropF.mul(cropF);
    cv::Point best(0, 0);
    double bestNcc = -2.0;
    const auto consider = [&](int dx, int dy) {
        const cv::Rect r = core_ + cv::Point(dx, dy);
        const cv::Mat s = cropF(r);
        const double num = t.weighted.dot(s);
        const double sum = coreMask_.dot(s);
        const double sumSq = coreMask_.dot(cropSq(r));
        const double var = std::max(sumSq - sum * sum / coreCount_, 1e-6);
        const double ncc = num / (t.norm * std::sqrt(var) + 1e-12);
        if (ncc > bestNcc) {
            bestNcc = ncc;
            best = {dx, dy};
        }
    };
    consider(0, 0);
    for (int dy = -shift_; dy <= shift_; ++dy)
        for (int dx = -shift_; dx <= shift_; ++dx)
            if (dx != 0 || dy != 0) consider(dx, dy);
    return best;
}

SURF::Comparison SURF::compare(const Template& t, const cv::Mat& crop, const cv::Mat& cropF) const {
    Comparison result;
    result.shift = bestShift(t, cropF);
    const cv::Rect window = core_ + result.shift;
    const cv::Mat tCore = t.image(core_);
    const cv::Mat sCore = crop(window);
    const cv::Mat mCore = mask_(core_);

    const int w = core_.width, h = core_.height;
    const int blocksX = std::max(1, (w + block_ / 2) / block_);
    const int blocksY = std::max(1, (h + block_ / 2) / block_);
    // Blocks split the core evenly; each pixel's block is its column's plus its row's index.
    std::vector<int> blockColumn(w), blockRow(h);
    for (int x = 0; x < w; ++x) blockColumn[x] = x * blocksX / w;
    for (int y = 0; y < h; ++y) blockRow[y] = (y * blocksY / h) * blocksX;
    std::vector<BlockSums> sums(static_cast<size_t>(blocksX) * blocksY);
    for (int y = 0; y < h; ++y) {
        const uchar* tp = tCore.ptr<uchar>(y);
        const uchar* sp = sCore.ptr<uchar>(y);
        const uchar* mp = mCore.ptr<uchar>(y);
        BlockSums* row = &sums[blockRow[y]];
        for (int x = 0; x < w; ++x) {
            BlockSums& b = row[blockColumn[x]];
            ++b.area;
            if (!mp[x]) continue;
            const double tv = tp[x], sv = sp[x];
            b.n += 1;
            b.t += tv;
            b.s += sv;
            b.tt += tv * tv;
            b.ss += sv * sv;
            b.ts += tv * sv;
        }
    }

    // Global linear brightness correction s' = gain * s + offset, estimated robustly from the
    // blocks whose structure agrees (both textured or both flat): the median contrast ratio and
    // the offset most of them share. A covered part thus does not skew the rest, even when it is
    // the larger part. Only where the template has structure: on a flat template a change of
    // brightness is all there is to see.
    const double flat2 = lim::kSimilarityFlatSigma * lim::kSimilarityFlatSigma;
    double gain = 1.0, offset = 0.0;
    if (t.sigma >= lim::kSimilarityFlatSigma) {
        std::vector<double> ratios, shifts;
        for (const BlockSums& b : sums)
            if (b.usable() && b.varianceT() >= flat2 && b.varianceS() >= flat2)
                ratios.push_back(std::sqrt(b.varianceT() / b.varianceS()));
        if (!ratios.empty())
            gain = std::clamp(median(ratios), lim::kSimilarityMinGain, lim::kSimilarityMaxGain);
        for (const BlockSums& b : sums)
            if (b.usable() && (b.varianceT() >= flat2) == (gain * gain * b.varianceS() >= flat2))
                shifts.push_back(b.meanT() - gain * b.meanS());
        if (!shifts.empty()) offset = densestValue(shifts, lim::kSimilarityLuminanceTolerance);
    }

    // Per block: structure (regularised correlation; 1 when both are flat) times brightness.
    std::vector<double> blockScore(sums.size(), 1.0);
    double weighted = 0.0, weight = 0.0;
    for (size_t i = 0; i < sums.size(); ++i) {
        const BlockSums& b = sums[i];
        if (!b.usable()) continue;
        const double vt = b.varianceT();
        const double vs = b.varianceS() * gain * gain;
        const double structure = (vt < flat2 && vs < flat2)
                                     ? 1.0
                                     : (2 * gain * b.covariance() + lim::kSimilarityStructureC) /
                                           (vt + vs + lim::kSimilarityStructureC);
        const double d =
            (gain * b.meanS() + offset - b.meanT()) / lim::kSimilarityLuminanceTolerance;
        blockScore[i] = std::max(0.0, structure) / (1.0 + d * d);
        weighted += b.n * blockScore[i];
        weight += b.n;
    }
    result.score = weight > 0 ? 100.0 * weighted / weight : 0.0;

    result.different = cv::Mat::zeros(size_, CV_8UC1);
    cv::Mat marks = result.different(window);
    for (int y = 0; y < h; ++y) {
        const uchar* mp = mCore.ptr<uchar>(y);
        uchar* out = marks.ptr<uchar>(y);
        const double* rowScore = &blockScore[blockRow[y]];
        for (int x = 0; x < w; ++x)
            if (mp[x] && rowScore[blockColumn[x]] < lim::kSimilarityDifferentBlock) out[x] = 255;
    }
    return result;
}
