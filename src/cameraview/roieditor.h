#pragma once
// Editing the areas of one camera by touch: drawing rectangles, rings, clicked and freehand
// polygons, selecting, moving, resizing, copying and deleting them, and the side panel's
// parameter and step operations. A plain class over the engine context of the view (the
// editing copy editParam with its masks editRoiMask, the live copy for CopyPara, the ignore
// masks); pointer positions arrive in display coordinates. The camera view forwards its mouse
// events and panel slots here and implements RoiEditHost; tests can give a host of their own.

#include <QPoint>
#include <QSize>
#include <Qt>
#include <vector>

#include "circle.h"
#include "clustomrect.h"
#include "question.h"
#include "viewlimits.h"

class CammerSingleton;
class WizardPara;
namespace engine {
class EngineContext;
}

namespace cameraview {

// The main window's editing words, read at every event.
struct EditTools {
    int editDetect = 0;
    int drawTool = kToolNone;  // 1 rectangle, 2 polygon, 4 circle
    bool freehandDraw = false;
    bool copyAreaArmed = false;
};

class RoiEditHost {
public:
    virtual ~RoiEditHost() = default;
    virtual EditTools tools() const = 0;
    virtual void setDrawTool(int tool) = 0;
    virtual void disarmCopy() = 0;
    virtual const WizardPara& settings() const = 0;
    // Display pixels per image pixel, and the view's size (the polygon margin).
    virtual float scaleX() const = 0;
    virtual float scaleY() const = 0;
    virtual QSize viewSize() const = 0;
    // What the operator's boxes are asked about, read now (the editing page's subject), and
    // a modal warning and question about the subject of their road.
    virtual dialogs::Subject subject() const = 0;
    virtual dialogs::Answer warn(int entry, const dialogs::Subject& about) = 0;
    virtual dialogs::Answer confirm(int entry, const dialogs::Subject& about) = 0;
    virtual void pageCall(EditPageCall call) = 0;
    virtual void showPanel() = 0;  // ShowHideROIPara
    virtual void repaint() = 0;
    virtual void setCursorShape(Qt::CursorShape shape) = 0;
    // The pointer moved over empty picture with the button held: pan the magnified view.
    virtual void panZoom(QPoint widgetPos) = 0;
    // The single-area test of the selected area, and the size hint square.
    virtual void runTest(int d, int i) = 0;
    // gDrawHint := size; timed: cleared again by the main window's hint timer.
    virtual void drawHint(int size, bool timed) = 0;
    virtual void saveIgnorePoint(int d) = 0;
};

// A pointer position of the view in display coordinates under the magnifier's zoom.
QPoint toDisplay(QPointF pos, int zoomX, int zoomY, float zoomScale);

class RoiEditor {
public:
    RoiEditor(engine::EngineContext& context, RoiEditHost& host);

    // --- pointer (display coordinates) ---
    void press(QPoint q);
    void move(QPoint q, QPoint widgetPos, bool leftHeld);
    void release();
    // A double tap ends the armed tool in continuous drawing.
    void doubleTapped();

    // --- selection and areas ---
    void setCurRoi(int i);
    void DeselectROI();
    bool GetSelectedRect();
    bool PtInRegion(QPoint q);
    bool PtInRect(QPoint q);
    bool PtInRectMove(QPoint q);
    void SavePolygon();
    void SlotCopyArea(QPoint q);
    void DeleteROI(int i);
    void SlotNextROI();
    QPoint getPointsCenter() const;

    // --- masks of the live and editing copies ---
    void BackMask();
    void RestorMask();
    void CopyPara();

    // --- side panel: geometry in steps ---
    void SlotMove(int dx, int dy);
    void SlotSize(int step);
    void SlotChangeObject();
    void SlotMoveAll();
    // --- side panel: parameters of the selected area ---
    void SlotSensitivity(int v);
    void SlotMinWH(int v);
    void SlotArea(int v);
    void SlotOutN(int n);
    void SlotChangeFunc();
    void SlotSyncParam();
    void toggleParaShow() { paraShowToggle = !paraShowToggle; }

    // The area being worked on, when there is one.
    bool hasSelection() const;
    int detect() const;

    // --- editing state, named as the views and the editing page know it ---
    int editState = kEditIdle;
    int selectedRoi = -1;
    int lastSelected = -1;
    bool shapeEditing = false;
    bool polyEditing = false;
    bool pressed = false;
    int pickHandle = 0;
    QPoint lastPoint;
    QPoint pickPoint;
    ClustomRect tempRect;
    Circle tempCircle;
    std::vector<QPoint> pointBuf;
    int pointCount = 0;
    bool polyDone = false;
    int dragPoint = 0;
    int moveAllMode = 0;
    bool paraShowToggle = false;

private:
    CammerSingleton* param() const;
    int regionCount() const;
    bool validArea(int i) const;
    bool isPolygonArea(int i) const;
    bool continuous() const;
    // Scale, image geometry and mask of an area whose display geometry changed.
    void finish(int i);
    // Whether an area's shape contains q or has a handle at q (only a selected one has).
    bool touches(int i, QPoint q);
    // The handle of area i at q (only a selected shape has handles).
    bool handleAt(int i, QPoint q, int* handle);
    void setSelectedFlag(int i, bool on);
    bool selectedFlag(int i) const;
    void pressWithoutTool(QPoint q);
    void pressPolygonTool(QPoint q, bool freehand);
    void hover(QPoint q, QPoint widgetPos, bool leftHeld);
    void dragPolygon(QPoint q);
    void dragShape(QPoint q);
    bool insideDeadZone(QPoint q) const;
    void createDraggedShape(int tool);
    // Function and parameters of a new area n: the enabled default for the first, else a copy
    // of the previous area's.
    void initNewArea(int n);
    // Adds the new area n (its result cleared, its NG output set) and selects it.
    void commitNewArea(int n, int ngOutput);
    bool translatePolygon(int i, QPoint delta);

    engine::EngineContext& ctx_;
    RoiEditHost& host_;
};

}  // namespace cameraview
