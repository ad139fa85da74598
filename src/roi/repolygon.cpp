#include "repolygon.h"

#include <QPainter>
#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "imagehelpers.h"
#include "polygonmask.h"
#include "shapescale.h"

using namespace roi;

RePolygon::RePolygon()
    : count(0),
      points(),
      imagePoints(),
      showRect(),
      imageRect(),
      selected(false),
      hand(false),
      reserved_{0, 0},
      lastMove(0, 0),
      scaleX(1.0f),
      scaleY(1.0f),
      hitNode(-1) {}

RePolygon::RePolygon(int n, const QPoint* pts) : RePolygon() {
    if (n < 1 || !pts) return;
    count = std::min(n, kMaxPolygonPoints);
    std::copy(pts, pts + count, points);
}

int RePolygon::validCount() const {
    return std::clamp(count, 0, kMaxPolygonPoints);
}

void RePolygon::setShowA(float x, float y) {
    acceptScale(x, y, &scaleX, &scaleY);
}

void RePolygon::setImageRect() {
    const int n = validCount();
    for (int i = 0; i < n; ++i)
        imagePoints[i] =
            QPoint(toImageRounded(points[i].x(), scaleX), toImageRounded(points[i].y(), scaleY));
    BoundingRect();
}

void RePolygon::BoundingRect() {
    const int n = validCount();
    if (n < 2) {
        const QPoint ip = imagePoints[0], p = points[0];
        imageRect.setCoords(ip.x(), ip.y(), ip.x() - 1, ip.y() - 1);
        showRect.setCoords(p.x() - kPolygonMargin, p.y() - kPolygonMargin, p.x() - 1, p.y() - 1);
        return;
    }
    int ix1 = imagePoints[0].x(), iy1 = imagePoints[0].y(), ix2 = ix1, iy2 = iy1;
    int x1 = points[0].x(), y1 = points[0].y(), x2 = x1, y2 = y1;
    for (int i = 1; i < n; ++i) {
        ix1 = std::min(ix1, imagePoints[i].x());
        iy1 = std::min(iy1, imagePoints[i].y());
        ix2 = std::max(ix2, imagePoints[i].x());
        iy2 = std::max(iy2, imagePoints[i].y());
        x1 = std::min(x1, points[i].x());
        y1 = std::min(y1, points[i].y());
        x2 = std::max(x2, points[i].x());
        y2 = std::max(y2, points[i].y());
    }
    imageRect.setCoords(ix1, iy1, ix2 - 1, iy2 - 1);
    showRect.setCoords(x1 - kPolygonMargin, y1 - kPolygonMargin, x2 - 1, y2 - 1);
}

bool RePolygon::PtInCtrl(QPoint p, int* handle) {
    hitNode = -1;
    if (selected) {
        const int n = validCount();
        for (int i = 0; i < n; ++i) {
            if (PointAround(points[i], p, kHandleTolerance)) {
                hitNode = i;
                break;
            }
        }
    }
    if (handle) *handle = hitNode;
    return hitNode != -1;
}

bool RePolygon::Contains(QPoint p) const {
    if (showRect.right() - showRect.left() < kPolygonContourMinExtent ||
        showRect.bottom() - showRect.top() < kPolygonContourMinExtent)
        return showRect.contains(p);
    const int n = validCount();
    if (n < 1) return false;
    static_assert(sizeof(QPoint) == 2 * sizeof(int), "QPoint is read as an int pair");
    const cv::Mat contour(n, 1, CV_32SC2, const_cast<QPoint*>(points));
    return cv::pointPolygonTest(contour, cv::Point2f(float(p.x()), float(p.y())), false) > 0;
}

void RePolygon::Draw(QPainter& painter) const {
    painter.save();
    QPen pen = painter.pen();
    pen.setWidth(kPenWidth);
    painter.setPen(pen);
    const int n = validCount();
    if (selected && !hand) {
        for (int i = 0; i < n; ++i) {
            pen.setColor(i == hitNode ? Qt::yellow : Qt::magenta);
            painter.setPen(pen);
            const QPoint c = points[i];
            painter.drawRect(QRect(QPoint(c.x() - kHandleHalf, c.y() - kHandleHalf),
                                   QPoint(c.x() + kHandleHalf - 1, c.y() + kHandleHalf - 1)));
        }
    }
    if (selected) {
        pen.setColor(Qt::magenta);
        painter.setPen(pen);
    }
    painter.drawPolygon(points, n, Qt::OddEvenFill);
    painter.restore();
}

cv::Mat RePolygon::UpdateMask() const {
    return polygonInteriorMask(imagePoints, validCount(), imageRect);
}

void RePolygon::Resize(int index, QPoint from, QPoint to, float sx, float sy) {
    lastMove = to - from;
    if (index < 0 || index >= validCount()) return;
    const QPoint moved = points[index] + lastMove;
    const int margin = imaging::kDisplayMargin;
    if (moved.x() < margin || moved.x() >= gShowW - (margin - 1) || moved.y() < margin ||
        moved.y() >= gShowH - (margin - 1))
        return;
    points[index] = moved;
    float scaleXUsed = scaleX, scaleYUsed = scaleY;
    if (isUsableScale(sx) && isUsableScale(sy)) {
        scaleXUsed = sx;
        scaleYUsed = sy;
    }
    imagePoints[index] =
        QPoint(toImageRounded(moved.x(), scaleXUsed), toImageRounded(moved.y(), scaleYUsed));
}
