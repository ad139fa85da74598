#include "buttonpictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>

#include "durablefile.h"

namespace workdirdemo {

namespace {

// A clear picture of the given size, with an antialiasing painter on it.
struct Canvas {
    QImage icon;
    QPainter p;
    Canvas(int width, int height) : icon(width, height, QImage::Format_ARGB32) {
        icon.fill(Qt::transparent);
        p.begin(&icon);
        p.setRenderHint(QPainter::Antialiasing);
    }
    QImage done() {
        p.end();
        return icon;
    }
};

}  // namespace

QImage drawHelpIcon(int side) {
    Canvas canvas(side, side);
    QPainter& p = canvas.p;
    const qreal s = side;
    const QColor ink(0x00, 0xcc, 0x00);  // the green of the window's labels
    QPen pen(ink, s * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
    // The hook of the question mark: an arc, then down to the stem.
    QPainterPath hook;
    hook.arcMoveTo(QRectF(s * 0.34, s * 0.22, s * 0.32, s * 0.28), 160);
    hook.arcTo(QRectF(s * 0.34, s * 0.22, s * 0.32, s * 0.28), 160, -250);
    hook.lineTo(s * 0.5, s * 0.6);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(s * 0.5, s * 0.74), s * 0.055, s * 0.055);
    return canvas.done();
}

QImage drawShowHideIcon(bool towardsRight) {
    Canvas canvas(kShowHideWidth, kShowHideHeight);
    QPainter& p = canvas.p;
    const qreal h = kShowHideHeight;
    const qreal cx = kShowHideWidth / 2.0;
    const qreal cy = h / 2.0;
    const qreal reach = h * 0.22;  // half the height of a chevron
    const qreal step = h * 0.26;   // between the two chevrons
    const qreal dir = towardsRight ? 1.0 : -1.0;
    // The pressed state in the orange of the pressed buttons, else the labels' green.
    const QColor ink = towardsRight ? QColor(0xff, 0x99, 0x00) : QColor(0x00, 0xcc, 0x00);
    p.setPen(QPen(ink, h * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int k = 0; k < 2; ++k) {
        const qreal tip = cx + dir * (step * k - step / 2 + reach / 2);
        const QPointF chevron[3] = {QPointF(tip - dir * reach, cy - reach), QPointF(tip, cy),
                                    QPointF(tip - dir * reach, cy + reach)};
        p.drawPolyline(chevron, 3);
    }
    return canvas.done();
}

QImage drawDateArrow(bool towardsRight) {
    Canvas canvas(kDateArrowSide, kDateArrowSide);
    QPainter& p = canvas.p;
    const qreal s = kDateArrowSide;
    const qreal dir = towardsRight ? 1.0 : -1.0;
    const qreal cx = s / 2.0;
    const qreal reach = s * 0.2;  // from the middle to the tip, and half the arrow's height
    const QPointF head[3] = {QPointF(cx - dir * reach, s / 2 - 1.5 * reach),
                             QPointF(cx + dir * reach, s / 2),
                             QPointF(cx - dir * reach, s / 2 + 1.5 * reach)};
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x32, 0x2f, 0x2f));  // the dark of the panel's buttons
    p.drawPolygon(head, 3);
    return canvas.done();
}

namespace {

bool installPicture(const QString& folder, const char* file, const QImage& picture) {
    const QString path = QDir(folder).filePath(QLatin1String(file));
    if (QFile::exists(path)) return true;
    if (!QDir(folder).mkpath(QStringLiteral("images"))) return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) return false;
    return storage::replaceFile(path, png);
}

}  // namespace

bool installButtonPictures(const QString& folder) {
    return installPicture(folder, kHelpIconFile, drawHelpIcon()) &&
           installPicture(folder, kShowHideFile, drawShowHideIcon(false)) &&
           installPicture(folder, kShowHideCheckedFile, drawShowHideIcon(true)) &&
           installPicture(folder, kDateForwardFile, drawDateArrow(true)) &&
           installPicture(folder, kDateBackFile, drawDateArrow(false));
}

}  // namespace workdirdemo
