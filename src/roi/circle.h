#pragma once
// A ring ROI: an outer circle with an inner hole, kept in display and in image coordinates.
//
// Plain data (see ClustomRect).

#include <QPoint>
#include <QRect>
#include <opencv2/core.hpp>

class QPainter;

class Circle {
public:
    Circle();

    bool IsSelected() const { return selected; }
    void SetSelected(bool on) { selected = on; }
    void setShowA(float x, float y);
    // Derives the image centre, radii and imageRect from the display ring.
    void setImageRect();
    // Handles 1, 3, 5, 7 near the top, right, bottom and left of the outer circle, 0, 2, 4, 6
    // on the band's quadrants; only a selected ring hits, the inner circle never does.
    bool PtInCtrl(QPoint p, int* handle);
    bool Contains(QPoint p) const;
    void Draw(QPainter& painter) const;
    // A square of side 2 x imageRadius: 255 where inner^2 <= x^2 + y^2 < outer^2.
    cv::Mat UpdateMask() const;
    // Rebuilds showRect from centre and radius and keeps the inner radius within 0..radius.
    void UpdateRect();
    // Rebuilds centre and radius from showRect (the largest circle at its top-left corner).
    void UpdateAll();
    // Sets the outer radius to the distance from the centre to `to`.
    void Resize(int handle, QPoint from, QPoint to);
    void GetRectExt(QRect& out) const { out = showRect; }

    QRect showRect;   // bounding square of the outer circle, display coordinates
    QRect imageRect;  // the same in image coordinates
    QPoint center;
    int radius;
    int innerRadius;
    QPoint imageCenter;
    int imageRadius;
    int imageInnerRadius;
    bool selected;
    quint8 reserved_[3];  // explicit padding, always zero
    float scaleX;
    float scaleY;
    int hitHandle;
};
