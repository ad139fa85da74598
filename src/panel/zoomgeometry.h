#pragma once
// The magnified camera view: the views paint with translate(x, y) and scale(scale) over the
// display picture (the frame fitted to the screen), so a display point p appears on the
// screen at (x, y) + scale * p.

#include <QPoint>
#include <QPointF>
#include <QSize>

namespace panel {

struct ZoomView {
    int x = 0;
    int y = 0;
    float scale = 1.0f;
};

// The display point of an image pixel (the inverse of the pointer's image position).
QPointF displayOfImage(QPoint image, QSize imageSize, QSize showSize);
// Where a display point appears on the screen.
QPointF screenOf(const ZoomView& view, QPointF display);

// The view magnified to `value` about the display point `anchor`, which keeps its place on
// the screen. A value of exactly 1 shows the whole picture again, unpanned.
ZoomView zoomAbout(const ZoomView& view, QPointF anchor, float value);

// Zooms step by step (the slider reports every position): the anchor's screen place is taken
// once and kept while neither the anchor nor the view changes in between, so the rounding of
// the view to whole pixels never adds up over the steps.
class ZoomAnchor {
public:
    ZoomView zoom(const ZoomView& view, QPointF anchor, float value);

private:
    bool valid_ = false;
    QPointF anchor_;
    QPointF screen_;
    ZoomView last_;
};

// The view dragged by `delta` screen pixels; only a magnified view pans.
ZoomView pan(const ZoomView& view, QPoint delta);

}  // namespace panel
