#pragma once
// Scan-line rasteriser for polygon masks.
//
// A pixel (integer point) is inside when it lies strictly inside the closed polygon by the
// even-odd rule; pixels exactly on an edge (including every vertex) are outside. This is the
// answer cv::pointPolygonTest(contour, pixel, false) > 0 gives pixel by pixel, at the cost of
// one pass over the edges instead of one per pixel.

#include <QPoint>
#include <QRect>
#include <opencv2/core.hpp>

namespace roi {

// An 8-bit mask over `area` (inclusive corners): element (r, c) describes the point
// (area.x1 + c, area.y1 + r). An area without positive size gives an empty matrix.
cv::Mat polygonInteriorMask(const QPoint* points, int count, const QRect& area);

}  // namespace roi
