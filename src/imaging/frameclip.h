#pragma once
// Clipping of ROI rectangles to the camera frame. A region's image rectangle can reach past
// the frame (a ring keeps its stored radius near the border, a frame size can change under
// stored regions); OpenCV throws on any sub-matrix outside its parent, so every rectangle
// that is used on pixels goes through here first.

#include <QRect>
#include <opencv2/core.hpp>

namespace imaging {

// The part of a region's rectangle that lies inside the frame, both as frame coordinates and
// as coordinates of the region's own mask (whose origin is the region rectangle's top-left).
struct ClippedArea {
    cv::Rect inFrame;  // sub-rectangle of the frame
    cv::Rect inMask;   // the same pixels in the region's mask
    bool isEmpty() const { return inFrame.width <= 0 || inFrame.height <= 0; }
};

// A rectangle with inclusive corners (QRect convention) as x, y, width, height.
cv::Rect toCvRect(const QRect& r);

// Clips an inclusive-corner rectangle to a frame of the given size. An empty, inverted or
// fully outside rectangle gives an empty result (all zero).
ClippedArea clipToFrame(const QRect& area, cv::Size frame);
ClippedArea clipToFrame(const cv::Rect& area, cv::Size frame);

// The same clip as an inclusive-corner rectangle, for pixel loops over x1..x2, y1..y2;
// an empty result is QRect() (isEmpty() true).
QRect clippedRect(const QRect& area, int frameWidth, int frameHeight);

}  // namespace imaging
