#include "frameclip.h"

#include <algorithm>
#include <climits>

namespace imaging {

cv::Rect toCvRect(const QRect& r) {
    // QRect's width() is x2 - x1 + 1 computed in int; widen to avoid overflow on garbage.
    const qint64 w = qint64(r.right()) - r.left() + 1;
    const qint64 h = qint64(r.bottom()) - r.top() + 1;
    if (w <= 0 || h <= 0 || w > INT_MAX || h > INT_MAX) return cv::Rect(r.left(), r.top(), 0, 0);
    return cv::Rect(r.left(), r.top(), int(w), int(h));
}

ClippedArea clipToFrame(const cv::Rect& area, cv::Size frame) {
    ClippedArea out;
    if (area.width <= 0 || area.height <= 0 || frame.width <= 0 || frame.height <= 0) return out;
    const qint64 x1 = std::max<qint64>(area.x, 0);
    const qint64 y1 = std::max<qint64>(area.y, 0);
    const qint64 x2 = std::min<qint64>(qint64(area.x) + area.width, frame.width);
    const qint64 y2 = std::min<qint64>(qint64(area.y) + area.height, frame.height);
    if (x2 <= x1 || y2 <= y1) return out;
    out.inFrame = cv::Rect(int(x1), int(y1), int(x2 - x1), int(y2 - y1));
    out.inMask =
        cv::Rect(int(x1 - area.x), int(y1 - area.y), out.inFrame.width, out.inFrame.height);
    return out;
}

ClippedArea clipToFrame(const QRect& area, cv::Size frame) {
    return clipToFrame(toCvRect(area), frame);
}

QRect clippedRect(const QRect& area, int frameWidth, int frameHeight) {
    const ClippedArea c = clipToFrame(area, cv::Size(frameWidth, frameHeight));
    if (c.isEmpty()) return QRect();
    return QRect(c.inFrame.x, c.inFrame.y, c.inFrame.width, c.inFrame.height);
}

}  // namespace imaging
