// The area editor's operations besides the pointer: copying and deleting areas, the mask
// copies between the live and the editing records, and the side panel's step and parameter
// operations on the selected area.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cammersingleton.h"
#include "enginecontext.h"
#include "imagehelpers.h"
#include "regionpanel.h"
#include "roieditor.h"
#include "wizardpara.h"

namespace cameraview {

namespace {

QRect& boxOf(CammerSingleton& p, int d, int i) {
    return p.roiShapeType[d][i] == roi::kShapeRect ? p.rects[d][i].showRect
                                                   : p.circles[d][i].showRect;
}

// Copies the shape in force, functions and parameters of area `from` into area `to`.
void copyArea(CammerSingleton& p, int dFrom, int from, int dTo, int to) {
    const int shape = p.roiShapeType[dFrom][from];
    if (shape == roi::kShapeRect)
        p.rects[dTo][to] = p.rects[dFrom][from];
    else if (shape == roi::kShapeRing)
        p.circles[dTo][to] = p.circles[dFrom][from];
    else
        p.polygons[dTo][to] = p.polygons[dFrom][from];
    p.roiShapeType[dTo][to] = shape;
    p.roiFunc[dTo][to] = p.roiFunc[dFrom][from];
    p.roiParam1[dTo][to] = p.roiParam1[dFrom][from];
    p.roiParam2[dTo][to] = p.roiParam2[dFrom][from];
    p.roiParam3[dTo][to] = p.roiParam3[dFrom][from];
}

// Step buttons 0..3: up, left, down, right.
QPoint stepDelta(int step) {
    static const QPoint kSteps[] = {{0, -1}, {-1, 0}, {0, 1}, {1, 0}};
    return step >= 0 && step < 4 ? kSteps[step] : QPoint();
}

}  // namespace

// --- copy and delete ---------------------------------------------------------------------

void RoiEditor::SlotCopyArea(QPoint q) {
    const int n = regionCount();
    if (n == 0) return;
    // The question is modal: an alarm may close the page and open it again on areas nobody
    // is editing.
    const dialogs::Subject about = host_.subject();
    if (host_.confirm(kEntryCopyArea, about) != dialogs::Answer::Yes || regionCount() != n) return;
    if (n >= roi::kMaxRois) {
        host_.warn(kEntryTooManyAreas, about);
        return;
    }
    int src = n - 1;
    if (hasSelection())
        src = selectedRoi;
    else if (validArea(lastSelected))
        src = lastSelected;
    else
        setCurRoi(src);
    CammerSingleton& p = *param();
    const int d = detect();
    copyArea(p, d, src, d, n);
    if (isPolygonArea(n)) {
        // The copy keeps its outline with the first point under the finger; points pushed
        // past the border are held at it one by one.
        RePolygon& poly = p.polygons[d][n];
        const int count = std::clamp(poly.count, 0, roi::kMaxPolygonPoints);
        const QPoint delta = count > 0 ? q - poly.points[0] : QPoint();
        for (int k = 0; k < count; ++k) {
            int x = poly.points[k].x() + delta.x(), y = poly.points[k].y() + delta.y();
            CheckInRange(&x, 1);
            CheckInRange(&y, 0);
            poly.points[k] = QPoint(x, y);
        }
    } else {
        QRect& r = boxOf(p, d, n);
        r.translate(q - QPoint((r.left() + r.right()) / 2, (r.top() + r.bottom()) / 2));
        CheckInRange(&r, ctx_.imageW, ctx_.imageH, true);
        if (p.roiShapeType[d][n] == roi::kShapeRing) p.circles[d][n].UpdateAll();
    }
    finish(n);
    setSelectedFlag(n, true);
    setSelectedFlag(src, false);
    commitNewArea(n, p.roiNgOutput[src]);
    host_.showPanel();
    host_.repaint();
}

void RoiEditor::DeleteROI(int i) {
    CammerSingleton* p = param();
    const int d = detect();
    if (!p || d < 0 || i < 0 || i >= roi::kMaxRois) return;
    std::vector<uchar>& mask = ctx_.ignoreMask[d];
    if (ctx_.pixelCount > 0 && mask.size() == size_t(ctx_.pixelCount)) {
        // The area's rectangle can reach past the frame (rings and polygons at the border):
        // only the rows and columns inside are cleared.
        const QRect inFrame = p->roiImageRect(d, i) & QRect(0, 0, ctx_.imageW, ctx_.imageH);
        if (!inFrame.isEmpty()) {
            for (int y = inFrame.top(); y <= inFrame.bottom(); ++y)
                std::memset(&mask[size_t(y) * size_t(ctx_.imageW) + size_t(inFrame.left())], 0,
                            size_t(inFrame.width()));
        }
        host_.saveIgnorePoint(d);
    }
    const int n = regionCount();
    if (i >= n) return;
    for (int k = i + 1; k < n; ++k) {
        copyArea(*p, d, k, d, k - 1);
        ctx_.editRoiMask[d][k - 1] = ctx_.editRoiMask[d][k];
        if (d == 0) p->roiNgOutput[k - 1] = p->roiNgOutput[k];
    }
    ctx_.editRoiMask[d][n - 1].release();
    p->roiCount[d] = n - 1;
}

// --- masks -------------------------------------------------------------------------------

void RoiEditor::BackMask() {
    const int detections = std::clamp(gDNum, 0, kMaxDetections);
    for (int d = 0; d < detections; ++d) ctx_.editRoiMask[d] = ctx_.roiMask[d];
}

void RoiEditor::RestorMask() {
    const WizardPara& s = host_.settings();
    const int detections = std::clamp(gDNum, 0, kMaxDetections);
    for (int d = 0; d < detections; ++d) {
        // Detections that CopyPara rebuilds from their partners keep the rebuilt masks.
        if (s.sameParam) {
            if (s.detectMode == 0 && d % 2 == 1 && s.detectEnable[0]) continue;
            if ((s.detectMode == 1 || s.detectMode == 2) && (d == 2 || d == 3)) continue;
        }
        ctx_.roiMask[d] = ctx_.editRoiMask[d];
    }
}

void RoiEditor::CopyPara() {
    CammerSingleton* p = ctx_.liveParam;
    if (!p) return;
    const int mode = host_.settings().detectMode;
    std::vector<std::pair<int, int>> pairs;
    if (mode == 1 || mode == 2)
        pairs = {{1, 3}, {0, 2}};
    else if (mode == 0)
        pairs = {{0, 1}};
    for (const auto& [from, to] : pairs) {
        const int n = std::clamp(p->roiCount[from], 0, roi::kMaxRois);
        p->roiCount[to] = n;
        for (int i = 0; i < n; ++i) {
            copyArea(*p, from, i, to, i);
            p->rects[to][i].SetSelected(false);
            p->circles[to][i].SetSelected(false);
            p->polygons[to][i].SetSelected(false);
            ctx_.roiMask[to][i] = ctx_.roiMask[from][i];
        }
    }
}

// --- steps -------------------------------------------------------------------------------

void RoiEditor::SlotMove(int dx, int dy) {
    if (!hasSelection()) return;
    CammerSingleton& p = *param();
    const int d = detect();
    const bool all = moveAllMode == 2;
    const int first = all ? 0 : selectedRoi;
    const int last = all ? regionCount() - 1 : selectedRoi;
    for (int i = first; i <= last; ++i) {
        if (isPolygonArea(i)) {
            // One polygon that would leave the margin ends the whole move; the areas before
            // it have moved.
            if (!translatePolygon(i, QPoint(dx, dy))) break;
        } else {
            QRect& r = boxOf(p, d, i);
            r.translate(dx, dy);
            CheckInRange(&r, ctx_.imageW, ctx_.imageH, true);
            if (p.roiShapeType[d][i] == roi::kShapeRing) p.circles[d][i].UpdateAll();
        }
        finish(i);
    }
    host_.showPanel();
    host_.repaint();
}

void RoiEditor::SlotSize(int step) {
    if (!hasSelection() || step < 0 || step > 3) return;
    CammerSingleton& p = *param();
    const int d = detect();
    const int i = selectedRoi;
    const QPoint delta = stepDelta(step);
    switch (p.roiShapeType[d][i]) {
        case roi::kShapeRect: {
            QRect& r = p.rects[d][i].showRect;
            if (dragPoint == 0)
                r.setTopLeft(r.topLeft() + delta);
            else
                r.setBottomRight(r.bottomRight() + delta);
            CheckInRange(&r, ctx_.imageW, ctx_.imageH, false);
            break;
        }
        case roi::kShapeRing: {
            Circle& c = p.circles[d][i];
            static const int kRadiusSteps[] = {kSizeStepLarge, 1, -1, -kSizeStepLarge};
            if (dragPoint == 2)
                c.center += delta;
            else
                (dragPoint == 1 ? c.radius : c.innerRadius) += kRadiusSteps[step];
            c.UpdateRect();
            CheckInRange(&c.showRect, ctx_.imageW, ctx_.imageH, false);
            c.UpdateAll();
            break;
        }
        default: {
            RePolygon& poly = p.polygons[d][i];
            if (dragPoint >= std::clamp(poly.count, 0, roi::kMaxPolygonPoints)) return;
            int x = poly.points[dragPoint].x() + delta.x(),
                y = poly.points[dragPoint].y() + delta.y();
            CheckInRange(&x, 1);
            CheckInRange(&y, 0);
            poly.points[dragPoint] = QPoint(x, y);
        }
    }
    finish(i);
    host_.repaint();
}

void RoiEditor::SlotChangeObject() {
    if (!hasSelection()) return;
    const CammerSingleton& p = *param();
    const int d = detect();
    const int shape = p.roiShapeType[d][selectedRoi];
    const int parts = shape == roi::kShapeRect   ? 2
                      : shape == roi::kShapeRing ? 3
                                                 : p.polygons[d][selectedRoi].count;
    if (++dragPoint >= parts) dragPoint = 0;
    host_.showPanel();
    host_.repaint();
}

void RoiEditor::SlotMoveAll() {
    if (!hasSelection()) return;
    moveAllMode = (moveAllMode + 1) % kMoveAllModes;
    host_.showPanel();
}

// --- parameters --------------------------------------------------------------------------

void RoiEditor::SlotSensitivity(int v) {
    if (!hasSelection()) return;
    const int d = detect();
    param()->roiParam1[d][selectedRoi] = v;
    host_.runTest(d, selectedRoi);
    if (param()->roiFunc[d][selectedRoi] == roi::kFuncSpot)
        host_.drawHint(v > 0 ? int(std::sqrt(double(v))) : 0, true);
}

void RoiEditor::SlotMinWH(int v) {
    if (!hasSelection()) return;
    const int d = detect();
    int& a = param()->roiParam3[d][selectedRoi];
    if (param()->roiFunc[d][selectedRoi] == roi::kFuncSpot) {
        const int shift = paraShowToggle ? 8 : 0;
        const quint32 kept = quint32(a) & ~(quint32(0xFF) << shift);
        a = int(kept | (quint32(v & 0xFF) << shift));
    } else {
        a = v;
        host_.drawHint(v, true);
    }
    host_.runTest(d, selectedRoi);
}

void RoiEditor::SlotArea(int v) {
    if (!hasSelection()) return;
    const int d = detect();
    host_.drawHint(0, false);
    int& c = param()->roiParam2[d][selectedRoi];
    const int func = param()->roiFunc[d][selectedRoi];
    if (func == roi::kFuncBrightCount || func == roi::kFuncDarkCount) {
        const quint32 value = quint32(v) & 0xFFFF;
        c = paraShowToggle ? int((quint32(c) & 0xFFFF) | (value << 16))
                           : int((quint32(c) & 0xFFFF0000u) | value);
    } else {
        c = v;
        host_.drawHint(v > 0 ? int(std::sqrt(double(v))) : 0, true);
    }
    host_.runTest(d, selectedRoi);
}

void RoiEditor::SlotOutN(int n) {
    if (!hasSelection() || detect() != 0 || n < 0 || n >= roi::kNgOutputs) return;
    param()->roiNgOutput[selectedRoi] = n;
}

void RoiEditor::SlotChangeFunc() {
    if (!hasSelection()) return;
    const int d = detect();
    CammerSingleton& p = *param();
    const int next = nextEnabledFunc(p.roiFunc[d][selectedRoi], host_.settings());
    if (next < 0) return;  // nothing enabled: the area keeps its function
    int B = 0, C = 0, A = 0;
    funcInitParam(next, host_.settings(), B, C, A);
    p.roiFunc[d][selectedRoi] = next;
    p.roiParam1[d][selectedRoi] = B;
    p.roiParam2[d][selectedRoi] = C;
    p.roiParam3[d][selectedRoi] = A;
    host_.showPanel();
    paraShowToggle = false;
}

void RoiEditor::SlotSyncParam() {
    if (!hasSelection()) return;
    param()->syncParam(detect(), selectedRoi);
}

}  // namespace cameraview
