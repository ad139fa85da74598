#include "zoomgeometry.h"

#include <cmath>

namespace panel {

namespace {

// The view at `value` that shows the display point `anchor` at the screen point `screen`.
ZoomView keeping(QPointF anchor, QPointF screen, float value) {
    if (value == 1.0f) return ZoomView{};
    ZoomView zoomed;
    zoomed.scale = value;
    zoomed.x = int(std::lround(screen.x() - value * anchor.x()));
    zoomed.y = int(std::lround(screen.y() - value * anchor.y()));
    return zoomed;
}

}  // namespace

QPointF displayOfImage(QPoint image, QSize imageSize, QSize showSize) {
    if (imageSize.width() <= 0 || imageSize.height() <= 0) return QPointF(image);
    return QPointF(qreal(image.x()) * showSize.width() / imageSize.width(),
                   qreal(image.y()) * showSize.height() / imageSize.height());
}

QPointF screenOf(const ZoomView& view, QPointF display) {
    return QPointF(view.x + view.scale * display.x(), view.y + view.scale * display.y());
}

ZoomView zoomAbout(const ZoomView& view, QPointF anchor, float value) {
    return keeping(anchor, screenOf(view, anchor), value);
}

ZoomView ZoomAnchor::zoom(const ZoomView& view, QPointF anchor, float value) {
    const bool same = valid_ && anchor == anchor_ && view.x == last_.x && view.y == last_.y &&
                      view.scale == last_.scale;
    if (!same) {
        anchor_ = anchor;
        screen_ = screenOf(view, anchor);
    }
    last_ = keeping(anchor, screen_, value);
    valid_ = true;
    return last_;
}

ZoomView pan(const ZoomView& view, QPoint delta) {
    if (view.scale <= 1.0f) return view;
    ZoomView moved = view;
    moved.x += delta.x();
    moved.y += delta.y();
    return moved;
}

}  // namespace panel
