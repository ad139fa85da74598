#include "clustomrect.h"

#include <QPainter>
#include <climits>

#include "imagehelpers.h"
#include "roilimits.h"
#include "shapescale.h"

using namespace roi;

ClustomRect::ClustomRect()
    : showRect(),
      imageRect(),
      selected(false),
      reserved_{0, 0, 0},
      lastMove(0, 0),
      scaleX(1.0f),
      scaleY(1.0f),
      hitHandle(-1) {}

void ClustomRect::setShowA(float x, float y) {
    acceptScale(x, y, &scaleX, &scaleY);
}

void ClustomRect::setImageRect() {
    const int x1 = toImageRounded(showRect.left(), scaleX);
    const int y1 = toImageRounded(showRect.top(), scaleY);
    const int w = toImageRounded(showRect.right() - showRect.left() + 1, scaleX);
    const int h = toImageRounded(showRect.bottom() - showRect.top() + 1, scaleY);
    imageRect.setCoords(x1, y1, x1 + w - 1, y1 + h - 1);
}

bool ClustomRect::PtInCtrl(QPoint p, int* handle) {
    hitHandle = -1;
    if (selected) {
        const int x1 = showRect.left(), y1 = showRect.top();
        const int x2 = showRect.right(), y2 = showRect.bottom();
        const int edgeX = (x2 - x1 + 1) / 4;
        const int edgeY = (y2 - y1 + 1) / 4;
        if (PointAround(QPoint(x1, y1), p, kHandleTolerance))
            hitHandle = 0;
        else if (PointAround(QPoint(x2, y1), p, kHandleTolerance))
            hitHandle = 2;
        else if (PointAround(QPoint(x1, y2), p, kHandleTolerance))
            hitHandle = 6;
        else if (PointAround(QPoint(x2, y2), p, kHandleTolerance))
            hitHandle = 4;
        else if (LineAround(x1, p.x(), p.y(), y1, y2, edgeX))
            hitHandle = 7;
        else if (LineAround(x2, p.x(), p.y(), y1, y2, edgeX))
            hitHandle = 3;
        else if (LineAround(y1, p.y(), p.x(), x1, x2, edgeY))
            hitHandle = 1;
        else if (LineAround(y2, p.y(), p.x(), x1, x2, edgeY))
            hitHandle = 5;
    }
    if (handle) *handle = hitHandle;
    return hitHandle != -1;
}

bool ClustomRect::Contains(QPoint p) const {
    return showRect.adjusted(-kContainsMargin, -kContainsMargin, kContainsMargin, kContainsMargin)
        .contains(p);
}

void ClustomRect::Draw(QPainter& painter) const {
    painter.save();
    QPen pen = painter.pen();
    pen.setWidth(kPenWidth);
    painter.setPen(pen);
    if (!selected) {
        painter.drawRect(showRect);
    } else {
        const QPoint corners[4] = {showRect.topLeft(), showRect.topRight(), showRect.bottomRight(),
                                   showRect.bottomLeft()};
        for (int k = 0; k < 4; ++k) {
            const bool hot = hitHandle % 2 == 0 && hitHandle == 2 * k;
            pen.setColor(hot ? Qt::yellow : Qt::magenta);
            painter.setPen(pen);
            const QPoint c = corners[k];
            painter.drawRect(QRect(QPoint(c.x() - kHandleHalf, c.y() - kHandleHalf),
                                   QPoint(c.x() + kHandleHalf - 1, c.y() + kHandleHalf - 1)));
        }
        for (int k = 0; k < 4; ++k) {
            const bool hot = hitHandle % 2 == 1 && (hitHandle - 1) / 2 == k;
            pen.setColor(hot ? Qt::yellow : Qt::magenta);
            painter.setPen(pen);
            painter.drawLine(corners[k], corners[(k + 1) % 4]);
        }
    }
    painter.restore();
}

cv::Mat ClustomRect::UpdateMask() const {
    const qint64 w = qint64(imageRect.right()) - imageRect.left() + 1;
    const qint64 h = qint64(imageRect.bottom()) - imageRect.top() + 1;
    if (w <= 0 || h <= 0 || w > INT_MAX || h > INT_MAX) return cv::Mat();
    return cv::Mat(int(h), int(w), CV_8UC1, cv::Scalar(255));
}

void ClustomRect::Resize(int handle, QPoint from, QPoint to) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const bool movesX1 = handle == 0 || handle == 6 || handle == 7;
    const bool movesX2 = handle == 2 || handle == 3 || handle == 4;
    const bool movesY1 = handle == 0 || handle == 1 || handle == 2;
    const bool movesY2 = handle == 4 || handle == 5 || handle == 6;
    if (movesX1) showRect.setLeft(showRect.left() + dx);
    if (movesX2) showRect.setRight(showRect.right() + dx);
    if (movesY1) showRect.setTop(showRect.top() + dy);
    if (movesY2) showRect.setBottom(showRect.bottom() + dy);
    if (movesX1 || movesX2) lastMove.setX(dx);
    if (movesY1 || movesY2) lastMove.setY(dy);
}
