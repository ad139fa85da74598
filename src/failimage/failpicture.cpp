#include "failpicture.h"

#include <QFont>
#include <QPainter>
#include <cstring>

#include "failimagelimits.h"
#include "globals.h"

namespace failimage {

namespace {

QFont annotationFont(int pixelSize) {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPixelSize(pixelSize);
    return font;
}

// A one-pixel outline exactly on the border pixels of an inclusive-corner rectangle, clipped
// to the picture. Filled strips are used rather than a stroked rectangle: a stroke's extent
// depends on the pen and would reach one pixel past the right and bottom edges.
void drawOutline(QPainter& painter, const QRect& area, const QColor& color, const QSize& frame) {
    const QRect r = area.normalized();
    if (r.isEmpty()) return;
    const QRect bounds(QPoint(0, 0), frame);
    const QRect strips[4] = {
        QRect(r.left(), r.top(), r.width(), 1), QRect(r.left(), r.bottom(), r.width(), 1),
        QRect(r.left(), r.top(), 1, r.height()), QRect(r.right(), r.top(), 1, r.height())};
    for (const QRect& strip : strips) {
        const QRect clipped = strip.intersected(bounds);
        if (!clipped.isEmpty()) painter.fillRect(clipped, color);
    }
}

}  // namespace

int FailPictureSpec::firstFailedArea() const {
    for (int i = 0; i < areas.size(); ++i)
        if (!areas[i].passed) return i;
    return -1;
}

QImage frameToPicture(const FrameView& frame) {
    if (!frame.isValid()) return QImage();
    if (frame.color) {
        const QImage wrapped(frame.bytes, frame.width, frame.height, frame.width * 4,
                             QImage::Format_RGBX8888);
        return wrapped.convertToFormat(QImage::Format_RGB32);
    }
    QImage picture(frame.width, frame.height, QImage::Format_RGB32);
    if (picture.isNull()) return picture;
    for (int y = 0; y < frame.height; ++y) {
        const uchar* src = frame.bytes + qsizetype(y) * frame.width;
        QRgb* dst = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < frame.width; ++x) dst[x] = 0xff000000u | (src[x] * 0x010101u);
    }
    return picture;
}

void annotateFailPicture(QImage& picture, const FailPictureSpec& spec) {
    if (picture.isNull()) return;
    const QSize frame = picture.size();
    QPainter painter(&picture);
    painter.setFont(annotationFont(kResultFontPx));
    painter.setPen(spec.isOK ? Qt::green : Qt::red);
    painter.drawText(QPoint(kResultX, kResultY),
                     spec.isOK ? QStringLiteral("OK") : QStringLiteral("NG"));
    painter.drawText(QPoint(kLineX, kLineY), spec.lineText);

    painter.setFont(annotationFont(kLabelFontPx));
    QPoint anchor(kResultX, kResultY);
    for (const AreaOverlay& area : spec.areas) {
        const QColor color = area.passed ? QColor(Qt::green) : QColor(Qt::red);
        painter.setPen(color);
        if (!area.passed) {
            for (const DefectBox& box : area.defects) {
                if (box.x2e <= box.x1 || box.y2e <= box.y1) continue;
                drawOutline(painter,
                            QRect(QPoint(box.x1, box.y1), QPoint(box.x2e - 1, box.y2e - 1)), color,
                            frame);
            }
        }
        switch (area.shape) {
            case AreaShape::Rect:
                drawOutline(painter, area.imageRect, color, frame);
                anchor = area.imageRect.topLeft();
                break;
            case AreaShape::Polygon:
                if (!area.imagePolygon.isEmpty()) {
                    painter.drawPolygon(area.imagePolygon, Qt::OddEvenFill);
                    anchor = area.imagePolygon.first();
                }
                break;
            case AreaShape::Ring:
                painter.save();
                painter.scale(spec.imagePerDisplay.x(), spec.imagePerDisplay.y());
                area.ring.Draw(painter);
                painter.restore();
                anchor = area.ring.imageRect.topLeft();
                break;
            case AreaShape::None:
                break;
        }
        painter.setPen(color);
        painter.drawText(QRect(QPoint(anchor.x(), anchor.y() - kLabelTop),
                               QPoint(anchor.x() + kLabelWidth - 1, anchor.y() - kLabelBottom)),
                         Qt::AlignLeft | Qt::AlignVCenter, area.label);
    }
}

QImage renderFailPicture(const FrameView& frame, const FailPictureSpec& spec) {
    QImage picture = frameToPicture(frame);
    annotateFailPicture(picture, spec);
    return picture;
}

QString limitText(int func, int param1, int param2, bool showAllParam, int alarmArea) {
    switch (func) {
        case 0:
            if (!showAllParam) return QString::number(alarmArea);
            break;
        case 6:
            return QString::number(param1);
        case 1:
            return QStringLiteral("%1--%2").arg(param1).arg(param2);
        case 7:
        case 8:
            return QStringLiteral("%1--%2").arg(param2 & 0xFFFF).arg(param2 >> 16);
        default:
            break;
    }
    return QString::number(param2);
}

QString areaLabel(int index, int areaCount, const QString& limit, int value) {
    if (areaCount < kShortLabelAreas)
        return QStringLiteral("%1: %2 / %3 ")
            .arg(QString::number(index + 1), limit, QString::number(value));
    return QStringLiteral("%1: %2").arg(index + 1).arg(value);
}

HandlingStep handlingStep(int state) {
    switch (state) {
        case kStateDontDetect:
            return {kEntryAlarmClearMethod, kEntryDontDetect, kStateNGImageDue};
        case kStateAddAsTemp:
            return {kEntryAlarmClearMethod, kEntryAddAsTemp, kStateNGImageDue};
        case kStateRedetectToMold:
            return {kEntryAlarmClearMethod, kEntryRedetectToMold, kStateNGImageDue};
        case kStateRedetected:
            return {kEntryAlarmClearMethod, kEntryRedetected, kStateRedetectedOK};
        case kStateRedetectedOK:
            return {kEntryOkImageRedetect, -1, kStateBothImagesDue};
        default:
            return {-1, -1, state};
    }
}

QString handlingText(const HandlingStep& step) {
    return QStringLiteral("%1%2").arg(lan(step.headingEntry), lan(step.textEntry));
}

void drawHandlingText(QImage& picture, const QString& text) {
    if (picture.isNull() || text.isEmpty()) return;
    QPainter painter(&picture);
    painter.setFont(annotationFont(kResultFontPx));
    painter.setPen(Qt::red);
    painter.drawText(QPoint(kHandlingX, kHandlingY), text);
}

}  // namespace failimage
