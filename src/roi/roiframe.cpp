#include "roiframe.h"

namespace roi {

imaging::ClippedArea roiFrameArea(const CammerSingleton& param, int g, int i, cv::Size frame) {
    return imaging::clipToFrame(param.roiImageRect(g, i), frame);
}

RoiPixels roiPixels(const CammerSingleton& param, int g, int i, const cv::Mat& frame,
                    const cv::Mat& mask) {
    RoiPixels out;
    const QRect rect = param.roiImageRect(g, i);
    const cv::Rect whole = imaging::toCvRect(rect);
    if (mask.cols != whole.width || mask.rows != whole.height) return out;
    const imaging::ClippedArea area = imaging::clipToFrame(whole, frame.size());
    if (area.isEmpty()) return out;
    out.image = frame(area.inFrame);
    out.mask = mask(area.inMask);
    out.inFrame = area.inFrame;
    return out;
}

}  // namespace roi
