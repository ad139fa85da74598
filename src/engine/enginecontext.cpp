#include "enginecontext.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "globals.h"
#include "paramschema.h"
#include "wizardpara.h"

namespace engine {

EngineContext::EngineContext()
    : defectRects(kDetections), defaults_(std::make_unique<WizardPara>()) {
    // Without settings the engine inspects as a new panel does, not with an alarm area of 0
    // and no filtering.
    params::StoreContext unused;
    params::ParamSchema::applyFactory(*defaults_, unused);
    std::memset(roiOK, 1, sizeof(roiOK));
    std::memset(roiValue, 0, sizeof(roiValue));
}

EngineContext::~EngineContext() = default;

bool EngineContext::setFrameGeometry(int width, int height, bool color, bool inspectGray) {
    for (int d = 0; d < kDetections; ++d) {
        templateBuf[d].clear();
        templateUsed[d].clear();
        templateCount[d] = 0;
        ignoreMask[d].clear();
    }
    const qint64 pixels = qint64(width) * height;
    // Four bytes per pixel must still fit an int byte count.
    if (width <= 0 || height <= 0 || pixels * 4 > INT_MAX) {
        imageW = imageH = pixelCount = frameBytes = 0;
        grabBuf.clear();
        registeredBuf.clear();
        alignedBuf.clear();
        grayBuf.clear();
        resultMask.clear();
        return false;
    }
    imageW = width;
    imageH = height;
    isColor = color;
    grayHue = inspectGray;
    pixelCount = int(pixels);
    frameBytes = color ? pixelCount * 4 : pixelCount;
    grabBuf.assign(size_t(frameBytes), 0);
    registeredBuf.assign(size_t(frameBytes), 0);
    alignedBuf.assign(size_t(frameBytes), 0);
    if (color)
        grayBuf.assign(size_t(pixelCount), 0);
    else
        grayBuf.clear();
    resultMask.assign(size_t(pixelCount), 0);
    return true;
}

void EngineContext::prepareDetection(int d, int slotCount) {
    if (d < 0 || d >= kDetections || frameBytes <= 0) return;
    slotCount = std::max(slotCount, 0);
    templateBuf[d].assign(size_t(slotCount), std::vector<uchar>(size_t(frameBytes), 0));
    templateUsed[d].assign(size_t(slotCount), 0);
    templateCount[d] = 0;
    ignoreMask[d].assign(size_t(pixelCount), 0);
}

bool EngineContext::isPrepared(int d) const {
    if (d < 0 || d >= kDetections || pixelCount <= 0) return false;
    if (ignoreMask[d].size() != size_t(pixelCount)) return false;
    if (templateBuf[d].empty() || templateUsed[d].size() != templateBuf[d].size()) return false;
    return std::all_of(templateBuf[d].begin(), templateBuf[d].end(),
                       [&](const std::vector<uchar>& t) { return t.size() == size_t(frameBytes); });
}

const WizardPara& EngineContext::para() const {
    if (settings) return *settings;
    if (gpWPara) return *gpWPara;
    return *defaults_;
}

cv::Mat EngineContext::frameView(std::vector<uchar>& buffer) const {
    if (pixelCount <= 0 || buffer.size() != size_t(frameBytes)) return cv::Mat();
    return cv::Mat(imageH, imageW, isColor ? CV_8UC4 : CV_8UC1, buffer.data());
}

cv::Mat EngineContext::grayView(std::vector<uchar>& buffer) const {
    if (pixelCount <= 0 || buffer.size() != size_t(pixelCount)) return cv::Mat();
    return cv::Mat(imageH, imageW, CV_8UC1, buffer.data());
}

}  // namespace engine
