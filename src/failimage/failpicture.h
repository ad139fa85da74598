#pragma once
// The annotated picture of one inspected detection step, as it is kept in a fail-image slot
// and later written as a JPEG file: the inspected frame in true colours, "NG" or "OK", an
// optional line of text, every area outlined red (failed) or green (passed) with a label, and
// the defect boxes of the failed areas. Also the alarm-handling text written onto a stored
// picture when the operator handled an NG alarm.
//
// Everything here is pure pixel work over plain inputs; nothing touches the shared slots.

#include <QImage>
#include <QPointF>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QVector>

#include "circle.h"

namespace failimage {

// A camera frame as the view keeps it: tightly packed rows, grey 1 byte per pixel, or colour
// 4 bytes per pixel (R, G, B, A with R first in memory).
struct FrameView {
    const uchar* bytes = nullptr;
    int width = 0;
    int height = 0;
    bool color = false;

    qsizetype byteCount() const { return qsizetype(width) * height * (color ? 4 : 1); }
    bool isValid() const { return bytes && width > 0 && height > 0; }
};

// One defect blob of an area in frame coordinates; the right and bottom edges are exclusive
// (x2e = x1 + width, y2e = y1 + height).
struct DefectBox {
    int x1 = 0;
    int y1 = 0;
    int x2e = 0;
    int y2e = 0;
};

// Defect boxes from any list with a `count` and `rects[k].x1/y1/x2/y2` (exclusive corners),
// such as the engine's per-region defect lists; a count out of range is clamped.
template <class DefectList>
QVector<DefectBox> defectBoxes(const DefectList& list) {
    QVector<DefectBox> boxes;
    const int capacity = int(sizeof(list.rects) / sizeof(list.rects[0]));
    const int n = list.count < 0 ? 0 : (list.count > capacity ? capacity : list.count);
    boxes.reserve(n);
    for (int k = 0; k < n; ++k)
        boxes.append({list.rects[k].x1, list.rects[k].y1, list.rects[k].x2, list.rects[k].y2});
    return boxes;
}

enum class AreaShape { None, Rect, Polygon, Ring };

// One inspected area as it is drawn.
struct AreaOverlay {
    bool passed = true;
    AreaShape shape = AreaShape::None;
    QRect imageRect;             // Rect: inclusive corners in frame coordinates
    QPolygon imagePolygon;       // Polygon: its points in frame coordinates
    Circle ring;                 // Ring: display geometry (drawn by itself) and imageRect
    QVector<DefectBox> defects;  // drawn only when the area failed
    QString label;
};

struct FailPictureSpec {
    bool isOK = false;
    QString lineText;  // below the result mark; empty for none
    // Frame pixels per display pixel (1 / the view's base scale): rings draw themselves in
    // display coordinates.
    QPointF imagePerDisplay{1.0, 1.0};
    QVector<AreaOverlay> areas;

    // Index of the first failed area, -1 when all passed.
    int firstFailedArea() const;
};

// The frame as a 32-bit RGB picture in true colours; a null image for an invalid frame.
QImage frameToPicture(const FrameView& frame);

// Draws the result mark, the line text and the areas onto a 32-bit RGB picture.
void annotateFailPicture(QImage& picture, const FailPictureSpec& spec);

// frameToPicture, then annotateFailPicture.
QImage renderFailPicture(const FrameView& frame, const FailPictureSpec& spec);

// The limit part of an area label by the area's function code: for defect areas the alarm
// area (unless every parameter is shown), for similarity param1, for spots "param1--param2",
// for the count functions the packed range "low--high" of param2, else param2.
QString limitText(int func, int param1, int param2, bool showAllParam, int alarmArea);
// "%1: %2 / %3 " (number, limit, value) for detections with fewer than 11 areas, else
// "%1: %2" (number, value); index is 0-based.
QString areaLabel(int index, int areaCount, const QString& limit, int value);

// What the operator's handling of an alarm writes onto the stored picture, and the handling
// state that follows. Entries are language entries, -1 for none.
struct HandlingStep {
    int headingEntry = -1;
    int textEntry = -1;
    int nextState = 0;
    bool drawsText() const { return headingEntry >= 0 || textEntry >= 0; }
};
HandlingStep handlingStep(int state);
// Heading and text in the current language, one after the other.
QString handlingText(const HandlingStep& step);
void drawHandlingText(QImage& picture, const QString& text);

}  // namespace failimage
