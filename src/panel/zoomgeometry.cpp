#include "zoomgeometry.h"

#include <cmath>

namespace panel {

QPointF displayOfImage(QPoint image, QSize imageSize, QSize showSize) {
    if (imageSize.width() <= 0 || imageSize.height() <= 0) return QPointF(image);
    return QPointF(qreal(image.x()) * showSize.width() / imageSize.width(),
                   qreal(image.y()) * showSize.height() / imageSize.height());
}

QPointF screenOf(const ZoomView& view, QPointF display) {
    return QPointF(view.x + view.scale * display.x(), view.y + view.scale * display.y());
}

ZoomView zoomAbout(const ZoomView& view, QPointF anchor, float value) {
    if (value == 1.0f) return ZoomView{};
    const QPointF fixed = screenOf(view, anchor);
    ZoomView zoomed;
    zoomed.scale = value;
    zoomed.x = int(std::lround(fixed.x() - value * anchor.x()));
    zoomed.y = int(std::lround(fixed.y() - value * anchor.y()));
    return zoomed;
}

ZoomView pan(const ZoomView& view, QPoint delta) {
    if (view.scale <= 1.0f) return view;
    ZoomView moved = view;
    moved.x += delta.x();
    moved.y += delta.y();
    return moved;
}

}  // namespace panel
