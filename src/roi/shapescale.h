#pragma once
// Scale handling shared by the ROI shapes.

#include <QtGlobal>
#include <cmath>

namespace roi {

// A usable scale factor (display pixels per image pixel) is finite and positive.
inline bool isUsableScale(float s) {
    return std::isfinite(s) && s > 0.0f;
}

// Display to image coordinate, rounded to nearest with ties to even.
inline int toImageRounded(int v, float scale) {
    return int(std::lrintf(float(v) / scale));
}

// Display to image coordinate, truncated toward zero.
inline int toImageTruncated(int v, float scale) {
    return int(float(v) / scale);
}

// Accepts a pair of scale factors or keeps the previous ones with a warning.
bool acceptScale(float x, float y, float* scaleX, float* scaleY);

}  // namespace roi
