#include "polygonmask.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace roi {

namespace {

// floor(a / b) for b > 0.
qint64 floorDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    if ((a % b != 0) && (a < 0)) --q;
    return q;
}

// Marks the even-odd interior of every row. An edge counts on row y when y lies in
// [min y, max y) of its end points; a pixel x is inside when an odd number of the row's
// crossings lie strictly to its right. With K = ceil(crossing), "crossing > x" is "x < K", so
// sorted K values pair up into the half-open spans [K0, K1), [K2, K3), ...
void fillInterior(const QPoint* pts, int n, const QRect& area, cv::Mat& mask) {
    const int top = area.top();
    const int rows = mask.rows;
    std::vector<int> rowStart(size_t(rows) + 1, 0);

    auto forEachCrossing = [&](auto&& visit) {
        for (int i = 0; i < n; ++i) {
            const QPoint& a0 = pts[i == 0 ? n - 1 : i - 1];
            const QPoint& b0 = pts[i];
            if (a0.y() == b0.y()) continue;
            const QPoint& lo = a0.y() < b0.y() ? a0 : b0;
            const QPoint& hi = a0.y() < b0.y() ? b0 : a0;
            const int yBegin = std::max(lo.y(), top);
            const int yEnd = std::min(hi.y(), top + rows);
            const qint64 dy = qint64(hi.y()) - lo.y();
            const qint64 dx = qint64(hi.x()) - lo.x();
            for (int y = yBegin; y < yEnd; ++y) {
                // crossing = lo.x + (y - lo.y) * dx / dy; K = ceil(crossing)
                const qint64 num = qint64(lo.x()) * dy + (qint64(y) - lo.y()) * dx;
                visit(y - top, -floorDiv(-num, dy));
            }
        }
    };

    forEachCrossing([&](int row, qint64) { ++rowStart[size_t(row) + 1]; });
    std::partial_sum(rowStart.begin(), rowStart.end(), rowStart.begin());
    std::vector<qint64> crossings(size_t(rowStart.back()));
    std::vector<int> fill(rowStart.begin(), rowStart.end() - 1);
    forEachCrossing([&](int row, qint64 k) { crossings[size_t(fill[size_t(row)]++)] = k; });

    const qint64 left = area.left();
    const qint64 cols = mask.cols;
    for (int r = 0; r < rows; ++r) {
        auto begin = crossings.begin() + rowStart[size_t(r)];
        auto end = crossings.begin() + rowStart[size_t(r) + 1];
        std::sort(begin, end);
        uchar* line = mask.ptr<uchar>(r);
        for (auto it = begin; it + 1 < end; it += 2) {
            const qint64 x0 = std::max<qint64>(*it - left, 0);
            const qint64 x1 = std::min<qint64>(*(it + 1) - left, cols);
            if (x1 > x0) std::fill(line + x0, line + x1, uchar(255));
        }
    }
}

// Clears every integer point that lies on an edge (end points included).
void clearOutline(const QPoint* pts, int n, const QRect& area, cv::Mat& mask) {
    const QRect bounds(area.left(), area.top(), mask.cols, mask.rows);
    for (int i = 0; i < n; ++i) {
        const QPoint a = pts[i == 0 ? n - 1 : i - 1];
        const QPoint b = pts[i];
        const qint64 dx = qint64(b.x()) - a.x();
        const qint64 dy = qint64(b.y()) - a.y();
        const qint64 steps = std::gcd(std::llabs(dx), std::llabs(dy));
        if (steps == 0) {
            if (bounds.contains(a)) mask.at<uchar>(a.y() - area.top(), a.x() - area.left()) = 0;
            continue;
        }
        const qint64 sx = dx / steps, sy = dy / steps;
        for (qint64 t = 0; t <= steps; ++t) {
            const qint64 x = a.x() + sx * t, y = a.y() + sy * t;
            if (x >= bounds.left() && x <= bounds.right() && y >= bounds.top() &&
                y <= bounds.bottom())
                mask.at<uchar>(int(y - area.top()), int(x - area.left())) = 0;
        }
    }
}

}  // namespace

cv::Mat polygonInteriorMask(const QPoint* points, int count, const QRect& area) {
    const qint64 width = qint64(area.right()) - area.left() + 1;
    const qint64 height = qint64(area.bottom()) - area.top() + 1;
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) return cv::Mat();
    cv::Mat mask(static_cast<int>(height), static_cast<int>(width), CV_8UC1, cv::Scalar(0));
    if (!points || count < 3) return mask;  // fewer than 3 points enclose nothing
    fillInterior(points, count, area, mask);
    clearOutline(points, count, area, mask);
    return mask;
}

}  // namespace roi
