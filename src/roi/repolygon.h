#pragma once
// A closed polygon ROI of up to kMaxPolygonPoints points, clicked point by point or drawn
// freehand, kept in display and in image coordinates.
//
// Plain data (see ClustomRect): the point arrays are fixed so that a ROI record can hold a
// polygon in every slot without any allocation.

#include <QPoint>
#include <QRect>
#include <opencv2/core.hpp>

#include "roilimits.h"

class QPainter;

class RePolygon {
public:
    RePolygon();
    // Copies n points (none when n < 1, at most kMaxPolygonPoints).
    RePolygon(int n, const QPoint* pts);

    bool IsSelected() const { return selected; }
    void SetSelected(bool on) { selected = on; }
    void SetHand(bool on) { hand = on; }
    bool getHand() const { return hand; }
    void setNode(int index) { hitNode = index; }
    void setShowA(float x, float y);
    // Derives the image points, then the bounding rectangles.
    void setImageRect();
    // showRect (display, 20 px margin on the left and top) and imageRect (image, covering
    // min .. max - 1 of the image points).
    void BoundingRect();
    // The first point within the handle tolerance; only a selected polygon hits.
    bool PtInCtrl(QPoint p, int* handle);
    bool Contains(QPoint p) const;
    void Draw(QPainter& painter) const;
    // 255 for pixels of imageRect strictly inside the image contour (even-odd), 0 on the
    // outline and outside.
    cv::Mat UpdateMask() const;
    // Moves point `index` by to - from unless it would leave the display margin.
    void Resize(int index, QPoint from, QPoint to, float sx, float sy);

    int count;
    QPoint points[roi::kMaxPolygonPoints];       // display coordinates
    QPoint imagePoints[roi::kMaxPolygonPoints];  // image coordinates
    QRect showRect;
    QRect imageRect;
    bool selected;
    bool hand;            // drawn freehand: no point handles
    quint8 reserved_[2];  // explicit padding, always zero
    QPoint lastMove;
    float scaleX;
    float scaleY;
    int hitNode;

private:
    int validCount() const;
};
