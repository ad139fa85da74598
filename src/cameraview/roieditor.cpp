// Pointer handling of the area editor: selecting, dragging and drawing, and turning a drawn
// shape into a new area. The panel's step and parameter operations, copying, deleting and the
// mask copies are in roieditor_ops.cpp.

#include "roieditor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cammersingleton.h"
#include "enginecontext.h"
#include "imagehelpers.h"
#include "regionpanel.h"
#include "wizardpara.h"

namespace cameraview {

QPoint toDisplay(QPointF pos, int zoomX, int zoomY, float zoomScale) {
    const float scale = zoomScale > 0.0f ? zoomScale : 1.0f;
    const long x = std::lround(pos.x());
    const long y = std::lround(pos.y());
    return QPoint(int(float(x - zoomX) / scale), int(float(y - zoomY) / scale));
}

RoiEditor::RoiEditor(engine::EngineContext& context, RoiEditHost& host)
    : pointBuf(size_t(kPolygonPointBuffer)), ctx_(context), host_(host) {}

CammerSingleton* RoiEditor::param() const {
    return ctx_.editParam;
}

int RoiEditor::detect() const {
    const int d = host_.tools().editDetect;
    return d >= 0 && d < kMaxDetections ? d : -1;
}

int RoiEditor::regionCount() const {
    const int d = detect();
    if (!param() || d < 0) return 0;
    return std::clamp(param()->roiCount[d], 0, roi::kMaxRois);
}

bool RoiEditor::validArea(int i) const {
    return i >= 0 && i < regionCount();
}

bool RoiEditor::hasSelection() const {
    return validArea(selectedRoi);
}

bool RoiEditor::continuous() const {
    return host_.settings().continuousArea != 0;
}

namespace {

// Cursor of a rectangle or ring handle: corners diagonal, edges straight.
Qt::CursorShape handleCursor(int handle) {
    switch (handle) {
        case 1:
        case 5:
            return Qt::SizeVerCursor;
        case 2:
        case 6:
            return Qt::SizeBDiagCursor;
        case 3:
        case 7:
            return Qt::SizeHorCursor;
        default:
            return Qt::SizeFDiagCursor;
    }
}

// Calls f with the shape in force of area i of detection d.
template <typename Param, typename F>
decltype(auto) onShape(Param& p, int d, int i, F&& f) {
    switch (p.roiShapeType[d][i]) {
        case roi::kShapeRect:
            return f(p.rects[d][i]);
        case roi::kShapeRing:
            return f(p.circles[d][i]);
        default:
            return f(p.polygons[d][i]);
    }
}

}  // namespace

void RoiEditor::finish(int i) {
    const int d = detect();
    ctx_.editRoiMask[d][i] = param()->finishRoi(d, i, host_.scaleX(), host_.scaleY());
}

bool RoiEditor::isPolygonArea(int i) const {
    const int shape = param()->roiShapeType[detect()][i];
    return shape != roi::kShapeRect && shape != roi::kShapeRing;
}

void RoiEditor::setSelectedFlag(int i, bool on) {
    onShape(*param(), detect(), i, [on](auto& shape) { shape.SetSelected(on); });
}

bool RoiEditor::selectedFlag(int i) const {
    return onShape(*param(), detect(), i, [](const auto& shape) { return shape.IsSelected(); });
}

bool RoiEditor::handleAt(int i, QPoint q, int* handle) {
    return onShape(*param(), detect(), i, [&](auto& shape) { return shape.PtInCtrl(q, handle); });
}

bool RoiEditor::touches(int i, QPoint q) {
    int handle = -1;
    const bool onHandle = handleAt(i, q, &handle);
    return onHandle || onShape(*param(), detect(), i, [q](auto& s) { return s.Contains(q); });
}

// --- selection ---------------------------------------------------------------------------

void RoiEditor::setCurRoi(int i) {
    if (i == selectedRoi) return;
    selectedRoi = i;
    const int d = detect();
    if (param() && d >= 0) param()->setSelectRoi(d, i);
}

bool RoiEditor::GetSelectedRect() {
    const int n = regionCount();
    for (int i = 0; i < n; ++i) {
        if (!selectedFlag(i)) continue;
        setCurRoi(i);
        return true;
    }
    return false;
}

bool RoiEditor::PtInRegion(QPoint q) {
    return hasSelection() && touches(selectedRoi, q);
}

bool RoiEditor::PtInRect(QPoint q) {
    // Starting at the selection keeps the selected one of overlapping areas.
    const int n = regionCount();
    const int start = hasSelection() ? selectedRoi : 0;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        if (!touches(i, q)) continue;
        setCurRoi(i);
        pickPoint = q;
        return true;
    }
    return false;
}

bool RoiEditor::PtInRectMove(QPoint q) {
    const int n = regionCount();
    for (int i = 0; i < n; ++i)
        if (touches(i, q)) return true;
    return false;
}

void RoiEditor::DeselectROI() {
    editState = kEditIdle;
    polyEditing = false;
    if (!continuous()) {
        host_.setDrawTool(kToolNone);
        pointCount = 0;
    }
    if (hasSelection()) setSelectedFlag(selectedRoi, false);
    setCurRoi(-1);
}

void RoiEditor::SlotNextROI() {
    if (!hasSelection()) return;
    const int n = regionCount();
    const int from = selectedRoi + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (from + k) % n;
        if (!touches(i, pickPoint)) continue;
        DeselectROI();
        setCurRoi(i);
        setSelectedFlag(i, true);
        host_.showPanel();
        host_.repaint();
        return;
    }
}

QPoint RoiEditor::getPointsCenter() const {
    const int n = std::min(pointCount, int(pointBuf.size()));
    if (n <= 0) return QPoint();
    int x1 = pointBuf[0].x(), x2 = x1, y1 = pointBuf[0].y(), y2 = y1;
    for (int k = 1; k < n; ++k) {
        x1 = std::min(x1, pointBuf[k].x());
        x2 = std::max(x2, pointBuf[k].x());
        y1 = std::min(y1, pointBuf[k].y());
        y2 = std::max(y2, pointBuf[k].y());
    }
    return QPoint((x1 + x2) / 2, (y1 + y2) / 2);
}

// --- press -------------------------------------------------------------------------------

void RoiEditor::press(QPoint q) {
    editState = kEditIdle;
    pressed = true;
    const EditTools tools = host_.tools();
    if (!param() || detect() < 0) return;
    if (tools.copyAreaArmed) {
        host_.disarmCopy();
        SlotCopyArea(q);
        return;
    }
    if (tools.drawTool == kToolNone) {
        pressWithoutTool(q);
        host_.repaint();
        return;
    }
    if (continuous()) DeselectROI();
    host_.setCursorShape(Qt::CrossCursor);
    lastPoint = q;
    if (tools.drawTool == kToolRect || tools.drawTool == kToolCircle) {
        const QRect corner(q, q);
        if (tools.drawTool == kToolRect) {
            tempRect = ClustomRect();
            tempRect.showRect = corner;
        } else {
            tempCircle = Circle();
            tempCircle.showRect = corner;
        }
        editState = kEditToolPressed;
        shapeEditing = true;
    } else if (tools.drawTool == kToolPolygon) {
        pressPolygonTool(q, tools.freehandDraw);
    }
}

void RoiEditor::pressWithoutTool(QPoint q) {
    if (!GetSelectedRect()) {
        if (!PtInRect(q)) return;
        host_.setCursorShape(Qt::SizeAllCursor);
        setSelectedFlag(selectedRoi, true);
        (isPolygonArea(selectedRoi) ? polyEditing : shapeEditing) = true;
        lastPoint = q;
        dragPoint = 0;
        editState = kEditMoving;
        return;
    }
    if (!PtInRegion(q)) {
        const int old = selectedRoi;
        lastSelected = old;
        setCurRoi(-1);
        host_.setCursorShape(Qt::CrossCursor);
        lastPoint = q;
        setSelectedFlag(old, false);
        return;
    }
    int handle = -1;
    if (handleAt(selectedRoi, q, &handle)) {
        pickHandle = handle;
        editState = kEditResizing;
    } else {
        host_.setCursorShape(Qt::SizeAllCursor);
        editState = kEditMoving;
    }
    lastPoint = q;
    (isPolygonArea(selectedRoi) ? polyEditing : shapeEditing) = true;
}

void RoiEditor::pressPolygonTool(QPoint q, bool freehand) {
    if (polyDone) {
        // The double tap that closed the polygon lands here: select what it made. When nothing
        // was made there is no last area to select.
        const int n = regionCount();
        if (n > 0) {
            setCurRoi(n - 1);
            param()->polygons[detect()][n - 1].SetSelected(true);
        }
        polyDone = false;
        return;
    }
    editState = kEditDrawing;
    if (!polyEditing) {
        polyEditing = true;
        if (continuous() && !freehand) host_.pageCall(EditPageCall::StartPolygon);
    }
    if (freehand) return;  // a stroke's points come with the moves
    if (pointCount >= kPolygonPointBuffer) {
        pointCount = kStoredPolygonPoints;
        host_.warn(kEntryPolygonFull, host_.subject());
    } else {
        pointBuf[size_t(pointCount++)] = q;
    }
}

// --- move --------------------------------------------------------------------------------

void RoiEditor::move(QPoint q, QPoint widgetPos, bool leftHeld) {
    if (!param() || detect() < 0) return;
    GetSelectedRect();
    if (!shapeEditing && !polyEditing) {
        hover(q, widgetPos, leftHeld);
    } else {
        if (polyEditing) dragPolygon(q);
        if (shapeEditing) dragShape(q);
    }
    host_.repaint();
}

void RoiEditor::hover(QPoint q, QPoint widgetPos, bool leftHeld) {
    int handle = -1;
    if (hasSelection() && handleAt(selectedRoi, q, &handle)) {
        const bool polygon = isPolygonArea(selectedRoi);
        host_.setCursorShape(polygon ? Qt::SizeFDiagCursor : handleCursor(handle));
    } else if (PtInRectMove(q)) {
        host_.setCursorShape(Qt::SizeAllCursor);
    } else {
        host_.setCursorShape(Qt::ArrowCursor);
        if (leftHeld) host_.panZoom(widgetPos);
    }
}

bool RoiEditor::insideDeadZone(QPoint q) const {
    return std::abs(q.x() - lastPoint.x()) / host_.scaleX() < kMoveDeadZoneImagePx &&
           std::abs(q.y() - lastPoint.y()) / host_.scaleY() < kMoveDeadZoneImagePx;
}

bool RoiEditor::translatePolygon(int i, QPoint delta) {
    RePolygon& poly = param()->polygons[detect()][i];
    const int n = std::clamp(poly.count, 0, roi::kMaxPolygonPoints);
    const QSize view = host_.viewSize();
    const int m = imaging::kDisplayMargin;
    for (int k = 0; k < n; ++k) {
        const QPoint moved = poly.points[k] + delta;
        if (moved.x() < m || moved.x() >= view.width() - m || moved.y() < m ||
            moved.y() >= view.height() - m)
            return false;
    }
    for (int k = 0; k < n; ++k) poly.points[k] += delta;
    return true;
}

void RoiEditor::dragPolygon(QPoint q) {
    const EditTools tools = host_.tools();
    if (editState == kEditDrawing && tools.freehandDraw) {
        if (pointCount < kStoredPolygonPoints) pointBuf[size_t(pointCount++)] = q;
        return;
    }
    if (!pressed || !hasSelection() || !isPolygonArea(selectedRoi)) return;
    RePolygon& poly = param()->polygons[detect()][selectedRoi];
    if (editState == kEditMoving) {
        if (insideDeadZone(q)) return;
        translatePolygon(selectedRoi, q - lastPoint);
        poly.setShowA(host_.scaleX(), host_.scaleY());
        poly.setImageRect();
        lastPoint = q;
    } else if (editState == kEditResizing) {
        poly.Resize(pickHandle, lastPoint, q, host_.scaleX(), host_.scaleY());
        lastPoint = q;
    }
}

void RoiEditor::dragShape(QPoint q) {
    const EditTools tools = host_.tools();
    if (editState == kEditToolPressed) editState = kEditDrawing;
    if (editState == kEditDrawing) {
        int x = q.x(), y = q.y();
        CheckInRange(&x, 1);
        CheckInRange(&y, 0);
        if (tools.drawTool == kToolCircle) {
            tempCircle.showRect.setBottomRight(QPoint(x, y));
            tempCircle.UpdateAll();
        } else {
            tempRect.showRect.setBottomRight(QPoint(x, y));
        }
        lastPoint = q;
        return;
    }
    if (!hasSelection()) return;
    CammerSingleton& p = *param();
    const int d = detect();
    const int i = selectedRoi;
    const int shape = p.roiShapeType[d][i];
    if (isPolygonArea(i)) return;
    QRect& r = shape == roi::kShapeRect ? p.rects[d][i].showRect : p.circles[d][i].showRect;
    if (editState == kEditMoving) {
        if (insideDeadZone(q)) return;
        r.translate(q - lastPoint);
    } else if (editState == kEditResizing) {
        if (shape == roi::kShapeRect)
            p.rects[d][i].Resize(pickHandle, lastPoint, q);
        else
            p.circles[d][i].Resize(pickHandle, lastPoint, q);
    } else {
        return;
    }
    CheckInRange(&r, ctx_.imageW, ctx_.imageH, false);
    if (shape == roi::kShapeRing) p.circles[d][i].UpdateAll();
    lastPoint = q;
}

// --- release and new areas ---------------------------------------------------------------

void RoiEditor::release() {
    const EditTools tools = host_.tools();
    if (param() && detect() >= 0) {
        if (shapeEditing && editState == kEditDrawing) {
            createDraggedShape(tools.drawTool);
        } else if (shapeEditing && editState == kEditToolPressed) {
            if (!continuous()) host_.setDrawTool(kToolNone);
            editState = kEditIdle;
            shapeEditing = false;
        } else {
            shapeEditing = false;
            if (editState == kEditMoving || editState == kEditResizing) {
                if (hasSelection()) finish(selectedRoi);
                polyEditing = false;
                editState = kEditIdle;
            } else if (polyEditing && editState == kEditDrawing && tools.freehandDraw) {
                if (pointCount < kMinFreehandPoints) {
                    polyEditing = false;
                    editState = kEditIdle;
                    pointCount = 0;
                    if (!continuous()) host_.setDrawTool(kToolNone);
                } else {
                    SavePolygon();
                }
            }
        }
    }
    host_.showPanel();
    pressed = false;
    host_.repaint();
}

void RoiEditor::createDraggedShape(int tool) {
    const bool ring = tool == kToolCircle;
    const QRect r = ring ? tempCircle.showRect : tempRect.showRect;
    // Whether the shape is made or dropped, the drag is over: its outline must not stay drawn.
    editState = kEditIdle;
    shapeEditing = false;
    // Dragged right and down only: a shape pulled the other way is not made, however large.
    if (r.right() - r.left() <= kMinNewShapeDrag || r.bottom() - r.top() <= kMinNewShapeDrag)
        return;
    const int n = regionCount();
    if (n >= roi::kMaxRois) {
        host_.warn(kEntryTooManyAreas, host_.subject());
        return;
    }
    CammerSingleton& p = *param();
    const int d = detect();
    if (ring) {
        p.circles[d][n] = tempCircle;
        p.roiShapeType[d][n] = roi::kShapeRing;
    } else {
        // A drawn rectangle is kept as a polygon of its corners, so its corners can be
        // stepped one by one.
        const QPoint corners[] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
        p.polygons[d][n] = RePolygon(4, corners);
        p.roiShapeType[d][n] = roi::kShapePolygon;
    }
    finish(n);
    setSelectedFlag(n, true);
    initNewArea(n);
    commitNewArea(n, 0);
    if (!continuous()) host_.setDrawTool(kToolNone);
}

void RoiEditor::SavePolygon() {
    const EditTools tools = host_.tools();
    if (editState != kEditDrawing || tools.drawTool != kToolPolygon || !param() || detect() < 0)
        return;
    const int n = regionCount();
    if (n >= roi::kMaxRois) {
        host_.warn(kEntryTooManyAreas, host_.subject());
        return;
    }
    if (pointCount < kMinClickedPoints) {
        pointCount = 0;
        return;
    }
    CammerSingleton& p = *param();
    const int d = detect();
    p.polygons[d][n] = RePolygon(std::min(pointCount, kStoredPolygonPoints), pointBuf.data());
    p.polygons[d][n].SetHand(tools.freehandDraw);
    p.roiShapeType[d][n] = roi::kShapePolygon;
    finish(n);
    setSelectedFlag(n, true);
    initNewArea(n);
    commitNewArea(n, 0);
    polyEditing = false;
    editState = kEditIdle;
    if (!(continuous() && tools.freehandDraw)) host_.setDrawTool(kToolNone);
    pointCount = 0;
    host_.showPanel();
    host_.repaint();
}

void RoiEditor::initNewArea(int n) {
    CammerSingleton& p = *param();
    const int d = detect();
    if (n == 0) {
        int B = 0, C = 0, A = 0;
        const int func = firstAreaFunc(host_.settings());
        funcInitParam(func, host_.settings(), B, C, A);
        p.roiFunc[d][n] = func;
        p.roiParam1[d][n] = B;
        p.roiParam2[d][n] = C;
        p.roiParam3[d][n] = A;
        return;
    }
    p.roiFunc[d][n] = p.roiFunc[d][n - 1];
    p.roiParam1[d][n] = p.roiParam1[d][n - 1];
    p.roiParam2[d][n] = p.roiParam2[d][n - 1];
    p.roiParam3[d][n] = p.roiParam3[d][n - 1];
}

void RoiEditor::commitNewArea(int n, int ngOutput) {
    CammerSingleton& p = *param();
    const int d = detect();
    ctx_.roiValue[d][n] = 0;
    // The NG output belongs to the area number and is set only while detection 0 is edited.
    if (d == 0) p.roiNgOutput[n] = ngOutput;
    p.roiCount[d] = n + 1;
    setCurRoi(n);
}

// --- double tap --------------------------------------------------------------------------

void RoiEditor::doubleTapped() {
    if (!continuous() || gSource != kSourceTemplate) return;
    const EditTools tools = host_.tools();
    switch (tools.drawTool) {
        case kToolPolygon:
            if (tools.freehandDraw) {
                host_.pageCall(EditPageCall::EndFreehand);
                break;
            }
            // The second tap of the double tap added a point of its own.
            pointCount = std::max(pointCount - 1, 0);
            polyDone = true;
            host_.pageCall(EditPageCall::EndPolygon);
            break;
        case kToolCircle:
            host_.pageCall(EditPageCall::EndCircle);
            break;
        case kToolRect:
            host_.pageCall(EditPageCall::EndRect);
            break;
        default:
            break;
    }
}

}  // namespace cameraview
