#pragma once
// Where a ROI meets the camera frame. Every use of a ROI's image rectangle on pixels (the
// engine's crops, the views' overlays) goes through here so that a region reaching past the
// frame border is cut to the frame together with its mask.

#include <opencv2/core.hpp>

#include "cammersingleton.h"
#include "frameclip.h"

namespace roi {

// The part of ROI i of detection g inside a frame of the given size: `inFrame` is the frame's
// sub-rectangle, `inMask` the same pixels of the ROI's mask. Empty when nothing is inside.
imaging::ClippedArea roiFrameArea(const CammerSingleton& param, int g, int i, cv::Size frame);

// The frame pixels and the matching mask pixels of a ROI, as views (no copies). Both are
// empty when the ROI lies outside the frame or the mask does not have the ROI's size.
struct RoiPixels {
    cv::Mat image;
    cv::Mat mask;
    cv::Rect inFrame;
    bool isEmpty() const { return image.empty(); }
};
RoiPixels roiPixels(const CammerSingleton& param, int g, int i, const cv::Mat& frame,
                    const cv::Mat& mask);

}  // namespace roi
