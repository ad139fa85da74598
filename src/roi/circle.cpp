#include "circle.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "roilimits.h"
#include "shapescale.h"

using namespace roi;

Circle::Circle()
    : showRect(),
      imageRect(),
      center(0, 0),
      radius(0),
      innerRadius(0),
      imageCenter(0, 0),
      imageRadius(0),
      imageInnerRadius(0),
      selected(false),
      reserved_{0, 0, 0},
      scaleX(1.0f),
      scaleY(1.0f),
      hitHandle(-1) {
    UpdateAll();
}

void Circle::setShowA(float x, float y) {
    acceptScale(x, y, &scaleX, &scaleY);
}

void Circle::setImageRect() {
    imageRadius = int(std::lrintf((float(radius) / scaleX + float(radius) / scaleY) * 0.5f));
    imageInnerRadius =
        int(std::lrintf((float(innerRadius) / scaleX + float(innerRadius) / scaleY) * 0.5f));
    imageCenter =
        QPoint(toImageTruncated(center.x(), scaleX), toImageTruncated(center.y(), scaleY));
    const int x1 = imageCenter.x() - imageRadius;
    const int y1 = imageCenter.y() - imageRadius;
    imageRect.setCoords(x1, y1, x1 + 2 * imageRadius - 1, y1 + 2 * imageRadius - 1);
}

bool Circle::PtInCtrl(QPoint p, int* handle) {
    hitHandle = -1;
    if (selected) {
        const qint64 dx = qint64(p.x()) - center.x();
        const qint64 dy = qint64(p.y()) - center.y();
        const qint64 d2 = dx * dx + dy * dy;
        const qint64 r = radius;
        const qint64 t = kHandleTolerance;
        // Within 20 px of the outer circle: (R - 20)^2 <= d2 <= (R + 20)^2.
        if (r * r - 2 * t * r + t * t <= d2 && d2 <= r * r + 2 * t * r + t * t) {
            const int px = p.x(), py = p.y(), cx = center.x(), cy = center.y();
            if (std::abs(px - cx) < kHandleTolerance)
                hitHandle = py > cy ? 5 : 1;
            else if (std::abs(py - cy) < kHandleTolerance)
                hitHandle = px < cx ? 7 : 3;
            else if (px < cx && py > cy)
                hitHandle = 0;
            else if (px < cx && py < cy)
                hitHandle = 6;
            else if (px > cx && py > cy)
                hitHandle = 2;
            else if (px > cx && py < cy)
                hitHandle = 4;
        }
    }
    if (handle) *handle = hitHandle;
    return hitHandle != -1;
}

bool Circle::Contains(QPoint p) const {
    return showRect.adjusted(-kContainsMargin, -kContainsMargin, kContainsMargin, kContainsMargin)
        .contains(p);
}

void Circle::Draw(QPainter& painter) const {
    painter.save();
    QPen pen = painter.pen();
    pen.setWidth(kPenWidth);
    painter.setPen(pen);
    const int cx = center.x(), cy = center.y();
    if (selected) {
        const QPoint handles[4] = {QPoint(cx, showRect.top()), QPoint(showRect.right(), cy),
                                   QPoint(cx, showRect.bottom()), QPoint(showRect.left(), cy)};
        for (int k = 0; k < 4; ++k) {
            pen.setColor(hitHandle == 2 * k + 1 ? Qt::yellow : Qt::magenta);
            painter.setPen(pen);
            const QPoint c = handles[k];
            painter.drawRect(QRect(QPoint(c.x() - kHandleHalf, c.y() - kHandleHalf),
                                   QPoint(c.x() + kHandleHalf - 1, c.y() + kHandleHalf - 1)));
        }
        pen.setColor(Qt::magenta);
        painter.setPen(pen);
    }
    painter.drawEllipse(showRect);
    pen.setColor(Qt::yellow);
    painter.setPen(pen);
    const int r = innerRadius;
    painter.drawEllipse(
        QRect(QPoint(cx - r, cy - r), QPoint(cx - r + 2 * r - 1, cy - r + 2 * r - 1)));
    painter.restore();
}

namespace {

// The largest a >= 0 with a * a <= n (n >= 0).
qint64 floorSqrt(qint64 n) {
    qint64 a = qint64(std::sqrt(double(n)));
    while (a > 0 && a * a > n) --a;
    while ((a + 1) * (a + 1) <= n) ++a;
    return a;
}

}  // namespace

cv::Mat Circle::UpdateMask() const {
    const qint64 side = 2 * qint64(imageRadius);
    if (side <= 0 || side > INT_MAX) return cv::Mat();
    cv::Mat mask(static_cast<int>(side), static_cast<int>(side), CV_8UC1, cv::Scalar(0));
    const qint64 outer2 = qint64(imageRadius) * imageRadius;
    const qint64 inner2 = qint64(imageInnerRadius) * imageInnerRadius;
    // Row by row: x^2 < outer^2 - y^2 gives the disc's span, x^2 < inner^2 - y^2 the hole's.
    for (int i = 0; i < mask.rows; ++i) {
        const qint64 y = i - imageRadius;
        const qint64 outerRest = outer2 - y * y - 1;
        if (outerRest < 0) continue;
        uchar* line = mask.ptr<uchar>(i);
        const qint64 a = floorSqrt(outerRest);
        std::fill(line + (imageRadius - a), line + (imageRadius + a + 1), uchar(255));
        const qint64 innerRest = inner2 - y * y - 1;
        if (innerRest < 0) continue;
        const qint64 b = floorSqrt(innerRest);
        std::fill(line + (imageRadius - b), line + (imageRadius + b + 1), uchar(0));
    }
    return mask;
}

void Circle::UpdateRect() {
    const int x1 = center.x() - radius;
    const int y1 = center.y() - radius;
    showRect.setCoords(x1, y1, x1 + 2 * radius - 1, y1 + 2 * radius - 1);
    if (innerRadius > radius)
        innerRadius = radius;
    else if (innerRadius < 0)
        innerRadius = 0;
}

void Circle::UpdateAll() {
    const int w = showRect.right() - showRect.left() + 1;
    const int h = showRect.bottom() - showRect.top() + 1;
    // An inverted rectangle yields no circle rather than a negative radius.
    radius = std::max(0, std::min(h / 2, w / 2));
    center = QPoint(showRect.left() + radius, showRect.top() + radius);
    UpdateRect();
}

void Circle::Resize(int, QPoint, QPoint to) {
    const float dx = float(to.x() - center.x());
    const float dy = float(to.y() - center.y());
    radius = int(std::sqrt(dx * dx + dy * dy));
    UpdateRect();
}
