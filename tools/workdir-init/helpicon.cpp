#include "helpicon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>

#include "durablefile.h"

namespace workdirdemo {

QImage drawHelpIcon(int side) {
    QImage icon(side, side, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
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
    return icon;
}

bool installHelpIcon(const QString& folder) {
    const QString path = QDir(folder).filePath(QLatin1String(kHelpIconFile));
    if (QFile::exists(path)) return true;
    if (!QDir(folder).mkpath(QStringLiteral("images"))) return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!drawHelpIcon().save(&buffer, "PNG")) return false;
    return storage::replaceFile(path, png);
}

}  // namespace workdirdemo
