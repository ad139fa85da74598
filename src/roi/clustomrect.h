#pragma once
// An axis-parallel rectangular ROI, kept in display and in image coordinates.
//
// Plain data: ROI records are copied and compared byte for byte, so the class has no virtual
// functions, owns nothing and has no implicit padding.

#include <QPoint>
#include <QRect>
#include <opencv2/core.hpp>

class QPainter;

class ClustomRect {
public:
    ClustomRect();

    bool IsSelected() const { return selected; }
    void SetSelected(bool on) { selected = on; }
    // Display pixels per image pixel; values that are not finite and positive are refused.
    void setShowA(float x, float y);
    // Derives imageRect from showRect and the scale factors.
    void setImageRect();
    // Handle under p (corners 0, 2, 4, 6; edges 1, 3, 5, 7); only a selected rectangle hits.
    bool PtInCtrl(QPoint p, int* handle);
    bool Contains(QPoint p) const;
    void Draw(QPainter& painter) const;
    // 255 over imageRect's size; empty while imageRect has no positive size.
    cv::Mat UpdateMask() const;
    // Moves the sides belonging to the handle by to - from; no clamping here.
    void Resize(int handle, QPoint from, QPoint to);
    void GetRectExt(QRect& out) const { out = showRect; }

    QRect showRect;   // display coordinates, inclusive corners
    QRect imageRect;  // image coordinates, inclusive corners
    bool selected;
    quint8 reserved_[3];  // explicit padding, always zero
    QPoint lastMove;      // displacement applied by the last Resize
    float scaleX;
    float scaleY;
    int hitHandle;  // handle found by the last PtInCtrl, -1 none
};
