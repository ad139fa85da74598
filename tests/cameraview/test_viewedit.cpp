// Region editing on a camera view by synthetic touches (presses, moves and releases sent as
// events), at 1x and magnified: drawing every shape, selecting, moving, resizing, copying and
// deleting, double taps on an injected clock, and the side panel.

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QMouseEvent>
#include <opencv2/core.hpp>

#include "cammersingleton.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "dialogseam.h"
#include "regionpanel.h"
#include "slider.h"
#include "toolkitlimits.h"
#include "viewtestsupport.h"
#include "warnbox.h"

using namespace viewtest;
using namespace cameraview;

namespace {

struct Zoom {
    int x, y;
    float scale;
};
const Zoom kZooms[] = {{0, 0, 1.0f}, {-300, -200, 2.0f}};

}  // namespace

class ViewEdit : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        gSource = kSourceTemplate;
        view = makeView(newCamera(320, 240));  // display 1280 x 960: 4 display px per pixel
        ASSERT_TRUE(view->isOpen);
        view->resize(gShowW, gShowH);
        gpWarnBox = &warnBox;
        gpChooseBox = &chooseBox;
        QDir().mkpath(QStringLiteral("cammer11"));  // where deleting saves the ignore points
    }
    void TearDown() override {
        gpWarnBox = nullptr;
        gpChooseBox = nullptr;
        view.reset();
        ViewTest::TearDown();
    }
    CammerSingleton& p() { return *view->editParam; }
    int count() { return p().roiCount[0]; }

    void useZoom(const Zoom& z) {
        host.zoomX = z.x, host.zoomY = z.y, host.zoomScale = z.scale;
        p().roiCount[0] = 0;
        view->DeselectROI();
    }
    void mouse(QEvent::Type type, QPoint display, bool held) {
        const QPointF at(display.x() * host.zoomScale + host.zoomX,
                         display.y() * host.zoomScale + host.zoomY);
        QMouseEvent e(type, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      held ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
    }
    void tap(QPoint q) {
        mouse(QEvent::MouseButtonPress, q, true);
        mouse(QEvent::MouseButtonRelease, q, false);
    }
    void drag(QPoint from, QPoint to, int steps = 4) {
        mouse(QEvent::MouseButtonPress, from, true);
        for (int k = 1; k <= steps; ++k)
            mouse(QEvent::MouseMove, from + (to - from) * k / steps, true);
        mouse(QEvent::MouseButtonRelease, to, false);
    }
    // Arms a tool as the editing page does: the selection goes first.
    void arm(int tool, bool freehand = false) {
        view->DeselectROI();
        host.drawTool = tool;
        host.freehandDraw = freehand;
    }
    // Selects an area by a tap inside it, as the operator does.
    void select(QPoint inside) {
        view->DeselectROI();
        tap(inside);
    }
    int add(int shape, std::vector<QPoint> pts, int func = roi::kFuncDefect) {
        const int i = p().roiCount[0]++;
        p().roiShapeType[0][i] = shape;
        p().roiFunc[0][i] = func;
        if (shape == roi::kShapeRect) {
            p().rects[0][i] = ClustomRect();
            p().rects[0][i].showRect = QRect(pts[0], pts[1]);
        } else if (shape == roi::kShapeRing) {
            p().circles[0][i] = Circle();
            p().circles[0][i].center = pts[0];
            p().circles[0][i].radius = pts[1].x();
            p().circles[0][i].innerRadius = pts[1].y();
            p().circles[0][i].UpdateRect();
        } else {
            p().polygons[0][i] = RePolygon(int(pts.size()), pts.data());
        }
        view->context.editRoiMask[0][i] = p().finishRoi(0, i, view->baseScaleX, view->baseScaleY);
        return i;
    }
    std::vector<QPoint> points(int i) {
        const RePolygon& poly = p().polygons[0][i];
        return std::vector<QPoint>(poly.points, poly.points + poly.count);
    }

    WarnBox warnBox{nullptr};
    ChooseBox chooseBox{nullptr, 750, 370};
    std::unique_ptr<CammerWidget> view;
};

TEST_F(ViewEdit, EveryShapeIsDrawnByTouchAtEveryZoom) {
    para.enableSpot = 1;
    for (const Zoom& z : kZooms) {
        SCOPED_TRACE(z.scale);
        useZoom(z);
        arm(kToolRect);
        drag({100, 100}, {300, 260});  // kept as a polygon of its corners, spot as the first
        ASSERT_EQ(count(), 1);
        EXPECT_EQ(p().roiShapeType[0][0], roi::kShapePolygon);
        EXPECT_EQ(points(0), std::vector<QPoint>({{100, 100}, {300, 100}, {300, 260}, {100, 260}}));
        EXPECT_EQ(view->selectedRoi, 0);
        EXPECT_EQ(host.drawTool, kToolNone);
        EXPECT_EQ(std::vector<int>({p().roiFunc[0][0], p().roiParam1[0][0], p().roiParam2[0][0],
                                    p().roiParam3[0][0]}),
                  std::vector<int>({roi::kFuncSpot, 80, 500, 50 << 8}));
        for (QPoint to : {QPoint(400, 400), QPoint(609, 700), QPoint(700, 609)}) {
            arm(kToolRect);  // dragged up and left, or not further than 9 px: nothing
            drag({600, 600}, to);
        }
        EXPECT_EQ(count(), 1);

        arm(kToolCircle);
        drag({400, 400}, {500, 500});
        ASSERT_EQ(count(), 2);
        const Circle& ring = p().circles[0][1];
        EXPECT_EQ(std::make_tuple(ring.center, ring.radius), std::make_tuple(QPoint(450, 450), 50));
        EXPECT_EQ(p().roiParam3[0][1], 50 << 8);  // copied from the area before

        arm(kToolPolygon);
        for (QPoint q : {QPoint(700, 100), QPoint(900, 100)}) tap(q);
        view->SavePolygon();  // two points close nothing
        EXPECT_EQ(std::make_tuple(count(), view->pointCount), std::make_tuple(2, 0));
        for (QPoint q : {QPoint(700, 100), QPoint(900, 100), QPoint(800, 300)}) tap(q);
        view->SavePolygon();
        ASSERT_EQ(count(), 3);
        EXPECT_EQ(points(2), std::vector<QPoint>({{700, 100}, {900, 100}, {800, 300}}));

        for (int strokes : {5, 6}) {  // a freehand stroke needs 6 points
            arm(kToolPolygon, true);
            mouse(QEvent::MouseButtonPress, {100, 500}, true);
            for (int k = 1; k <= strokes; ++k)
                mouse(QEvent::MouseMove, {100 + 30 * k, 500 + (k % 2) * 90}, true);
            mouse(QEvent::MouseButtonRelease, {300, 600}, false);
        }
        ASSERT_EQ(count(), 4);
        EXPECT_EQ(p().polygons[0][3].count, 6);
        EXPECT_TRUE(p().polygons[0][3].getHand());
        EXPECT_FALSE(view->context.editRoiMask[0][3].empty());
    }
}

TEST_F(ViewEdit, AreasAreSelectedMovedResizedCopiedAndDeleted) {
    struct Row {
        int shape;
        std::vector<QPoint> geometry;
        QPoint inside, handle, copyTo;
    };
    const Row rows[] = {
        {roi::kShapeRect, {{200, 200}, {399, 329}}, {300, 260}, {447, 361}, {600, 700}},
        {roi::kShapeRing, {{700, 400}, {80, 20}}, {700, 400}, {828, 432}, {600, 700}},
        {roi::kShapePolygon,
         {{900, 600}, {1100, 600}, {1000, 800}},
         {1000, 680},
         {948, 632},
         {300, 700}},
    };
    // Where each shape's reference point is: the rectangle's bottom right, the ring's centre
    // and radius, the polygon's first point.
    const auto reference = [this](int i) {
        switch (p().roiShapeType[0][i]) {
            case roi::kShapeRect:
                return p().rects[0][i].showRect.bottomRight();
            case roi::kShapeRing:
                return p().circles[0][i].center + QPoint(p().circles[0][i].radius, 0);
            default:
                return p().polygons[0][i].points[0];
        }
    };
    for (const Zoom& z : kZooms) {
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message() << z.scale << " shape " << row.shape);
            useZoom(z);
            const int i = add(row.shape, row.geometry);
            const QPoint before = reference(i);
            select(row.inside);
            EXPECT_EQ(view->selectedRoi, i);
            drag(row.inside, row.inside + QPoint(48, 32));
            EXPECT_EQ(reference(i), before + QPoint(48, 32));
            const QRect image = p().roiImageRect(0, i);
            EXPECT_EQ(view->context.editRoiMask[0][i].cols, image.width());

            drag(row.handle, row.handle + QPoint(30, 0));  // a handle of the selected area
            EXPECT_EQ(reference(i), before + QPoint(78, 32));

            host.copyAreaArmed = true;
            {
                dialogs::ScopedAnswerer yes({QDialog::Accepted});
                tap(row.copyTo);
            }
            ASSERT_EQ(count(), 2);
            EXPECT_FALSE(host.copyAreaArmed);
            EXPECT_EQ(view->selectedRoi, 1);
            const QRect box = p().roiShowRect(0, 1);
            const QPoint placed =
                row.shape == roi::kShapePolygon
                    ? points(1)[0]
                    : QPoint((box.left() + box.right()) / 2, (box.top() + box.bottom()) / 2);
            EXPECT_EQ(placed, row.copyTo);

            view->DeleteROI(0);
            EXPECT_EQ(count(), 1);
            EXPECT_EQ(p().roiShowRect(0, 0), box);  // the copy moved down
        }
    }
}

TEST_F(ViewEdit, DoubleTapsEndContinuousDrawing) {
    struct Row {
        qint64 ms;
        QPoint offset;
        bool twice;
    };
    for (const Row& r : {Row{799, {19, -19}, true}, Row{800, {0, 0}, false}, Row{0, {20, 0}, false},
                         Row{0, {0, -20}, false}}) {
        DoubleTapDetector taps([this] { return clockMs; });
        EXPECT_FALSE(taps.press({500, 500}));  // the first press has nothing to follow
        clockMs += r.ms;
        EXPECT_EQ(taps.press(QPoint(500, 500) + r.offset), r.twice) << r.ms;
    }

    para.continuousArea = 1;
    onPageCall = [this](EditPageCall call) {  // the page's polygon slot in continuous mode
        if (call != EditPageCall::EndPolygon) return;
        const bool open = view->polygonOpen();
        view->SavePolygon();
        if (!open) return;
        view->polyEditing = false;
        view->editState = kEditIdle;
        view->ShowHideROIPara();
        host.drawTool = kToolPolygon;  // armed for the next polygon
    };
    arm(kToolPolygon);
    for (QPoint q : {QPoint(100, 100), QPoint(400, 100), QPoint(250, 300), QPoint(600, 600),
                     QPoint(605, 603)}) {
        clockMs += q.x() == 605 ? 300 : 1000;
        tap(q);
    }
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(points(0), std::vector<QPoint>({{100, 100}, {400, 100}, {250, 300}}));
    EXPECT_EQ(view->selectedRoi, 0);
    EXPECT_EQ(host.drawTool, kToolPolygon);
    EXPECT_EQ(pageCalls.front(), EditPageCall::StartPolygon);
    EXPECT_EQ(pageCalls.back(), EditPageCall::EndPolygon);

    // Taps in quick succession with nothing drawn select nothing and count no point below 0.
    // On the second detection, so that flagging "area -1" would mark the last area of the
    // first one.
    p().roiCount[0] = 0;
    host.editDetect = 1;
    p().roiCount[1] = 0;
    view->DeselectROI();
    for (int k = 0; k < 3; ++k, clockMs += 100) tap({100, 100});
    EXPECT_EQ(std::make_tuple(p().roiCount[1], view->selectedRoi, view->pointCount),
              std::make_tuple(0, -1, 0));
    EXPECT_FALSE(p().polygons[0][roi::kMaxRois - 1].IsSelected());
    host.editDetect = 0;

    for (int tool : {kToolRect, kToolCircle}) {
        arm(tool);
        clockMs += 1000;
        tap({300, 300});
        clockMs += 100;
        tap({300, 300});
        EXPECT_EQ(pageCalls.back(),
                  tool == kToolRect ? EditPageCall::EndRect : EditPageCall::EndCircle);
    }
}

TEST_F(ViewEdit, PanelSlidersEditTheirParameterAndRunTheTest) {
    para.showAllParam = 1;
    para.ejectorPulseOnProdNG = 1;
    const int defect = add(roi::kShapeRect, {{100, 100}, {299, 299}});
    const int spot = add(roi::kShapeRect, {{400, 100}, {599, 299}}, roi::kFuncSpot);
    const int counted = add(roi::kShapeRect, {{700, 100}, {899, 299}}, roi::kFuncBrightCount);
    p().roiParam3[0][spot] = 0x1234;
    p().roiParam2[0][counted] = 0x00050002;
    struct Row {
        int area;
        Slider* CammerWidget::*slider;
        bool upperHalf;
        int value;
        int shift, mask;  // the part of the parameter the slider edits
    };
    using W = CammerWidget;
    const Row rows[] = {
        {defect, &W::sliderB, false, 30, 0, -1},     {defect, &W::sliderC, false, 400, 0, -1},
        {defect, &W::sliderA, false, 5, 0, -1},      {spot, &W::sliderB, false, 700, 0, -1},
        {spot, &W::sliderA, false, 20, 0, 0xFF},     {spot, &W::sliderA, true, 60, 8, 0xFF},
        {counted, &W::sliderC, false, 7, 0, 0xFFFF}, {counted, &W::sliderC, true, 90, 16, 0xFFFF},
    };
    for (const Row& r : rows) {
        select(p().roiShowRect(0, r.area).center());
        ASSERT_EQ(view->selectedRoi, r.area);
        if (r.upperHalf) view->btnParamSwitch->click();
        view->context.roiValue[0][r.area] = 77;
        (view.get()->*r.slider)->setValue(r.value);
        int* field = r.slider == &W::sliderB   ? &p().roiParam1[0][r.area]
                     : r.slider == &W::sliderC ? &p().roiParam2[0][r.area]
                                               : &p().roiParam3[0][r.area];
        EXPECT_EQ((*field >> r.shift) & r.mask, r.value) << r.area << " " << r.value;
        EXPECT_EQ(view->context.roiValue[0][r.area], 0);  // the single-area test ran
    }
    view->DeselectROI();
    view->SlotMinWH(40);  // nothing selected: nothing changes
    EXPECT_EQ(p().roiParam3[0][spot], (60 << 8) | 20);
    EXPECT_EQ(p().roiParam2[0][counted], (90 << 16) | 7);
    EXPECT_FALSE(hintStarts.empty());

    select(p().roiShowRect(0, defect).center());
    view->SlotArea(50);
    EXPECT_EQ(gDrawHint, 7);  // the side of a square of that area
    ASSERT_TRUE(view->cmbNgOutput->isVisibleTo(view.get()));
    view->cmbNgOutput->setCurrentIndex(2);
    EXPECT_EQ(p().roiNgOutput[defect], 2);
    host.editDetect = 1;  // other detections never set an NG output
    p().roiCount[1] = 1;
    view->setCurRoi(0);
    view->SlotOutN(3);
    EXPECT_EQ(p().roiNgOutput[0], 2);
}

TEST_F(ViewEdit, SelectingAnotherSpotAreaKeepsItsMaximum) {
    const int a = add(roi::kShapeRect, {{100, 100}, {299, 299}}, roi::kFuncSpot);
    const int b = add(roi::kShapeRect, {{400, 100}, {599, 299}}, roi::kFuncSpot);
    p().roiParam3[0][a] = (50 << 8) | 10;
    p().roiParam3[0][b] = (200 << 8) | 30;
    select(p().roiShowRect(0, a).center());
    view->btnParamSwitch->click();  // the slider now edits the maximum
    select(p().roiShowRect(0, b).center());
    EXPECT_EQ(p().roiParam3[0][b], (200 << 8) | 30);
    EXPECT_FALSE(view->paraShowToggle);
    EXPECT_EQ(view->sliderA->value(), 30);
}

TEST_F(ViewEdit, PanelSitsBesideTheArea) {
    para.showAllParam = 0;
    struct Row {
        int shape;
        std::vector<QPoint> geometry;
        int y;
    };
    std::vector<QPoint> ladder;  // a polygon whose points leave no gap for the panel
    for (int y = 40; y <= 940; y += 100) ladder.push_back({400 + (y / 100) % 2 * 200, y});
    const Row rows[] = {
        {roi::kShapeRect, {{400, 600}, {599, 799}}, 600 - 122},                // above
        {roi::kShapeRect, {{400, 40}, {599, 199}}, 200 + 20},                  // below
        {roi::kShapeRect, {{400, 40}, {599, 919}}, 40 + 20},                   // over its top
        {roi::kShapeRing, {{640, 480}, {450, 0}}, 480 - 122},                  // above the centre
        {roi::kShapePolygon, {{400, 40}, {600, 400}, {500, 900}}, 400 - 122},  // into the gap
        {roi::kShapePolygon, ladder, 960 - 70 - 102},                          // at the bottom
    };
    for (const Row& r : rows) {
        p().roiCount[0] = 0;
        const int i = add(r.shape, r.geometry);
        PanelState s{0, i, 0, 0, false, view->baseScaleY};
        EXPECT_EQ(planPanel(p(), s, para).place[SliderB].top(), r.y) << r.geometry[1].y();
    }

    struct Shows {
        int func;
        bool showAll;
        std::array<bool, 4> bcaSwitch;
    };
    for (const Shows& r :
         {Shows{0, false, {true, false, false, false}}, Shows{0, true, {true, true, true, false}},
          Shows{1, false, {true, true, true, true}}, Shows{3, false, {false, false, false, false}},
          Shows{6, false, {true, false, false, false}},
          Shows{8, false, {true, true, true, true}}}) {
        para.showAllParam = r.showAll;
        p().roiFunc[0][0] = r.func;
        const PanelPlan plan = planPanel(p(), PanelState{0, 0, 0, 0, false, 4.0f}, para);
        const std::array<bool, 4> shown = {
            plan.shown[SliderB] == Shown::Show, plan.shown[SliderC] == Shown::Show,
            plan.shown[SliderA] == Shown::Show, plan.shown[ParamSwitch] == Shown::Show};
        EXPECT_EQ(shown, r.bcaSwitch) << r.func;
    }
    gLan = 3;  // Japanese texts need the wider buttons
    const PanelPlan japanese = planPanel(p(), PanelState{0, 0, 0, 0, false, 4.0f}, para);
    EXPECT_EQ(japanese.place[ParamSwitch].left(), 606);
    EXPECT_EQ(japanese.place[ParamSwitch].right(), 785);
    EXPECT_EQ(japanese.place[Step3].right(), 1501);
}

TEST_F(ViewEdit, StepButtonsFunctionsAndSynchronising) {
    const int ring = add(roi::kShapeRing, {{640, 480}, {100, 20}});
    select({640, 480});
    EXPECT_EQ(view->btnStep0->text(), QStringLiteral("+10"));
    view->SlotAdd10();  // inner radius
    view->SlotChangeObject();
    view->SlotSub1();  // outer radius
    view->SlotChangeObject();
    EXPECT_EQ(view->btnStep0->text(), QStringLiteral("Y -1"));
    view->SlotSub10();  // the centre moves right
    const Circle& c = p().circles[0][ring];
    EXPECT_EQ(std::make_tuple(c.innerRadius, c.radius, c.center),
              std::make_tuple(30, 99, QPoint(641, 480)));

    // Moving every area stops at the first polygon that would leave the margin.
    p().roiCount[0] = 0;
    add(roi::kShapeRect, {{100, 100}, {199, 199}});
    add(roi::kShapePolygon, {{3, 300}, {100, 300}, {50, 400}});
    add(roi::kShapePolygon, {{300, 300}, {400, 300}, {350, 400}});
    select({150, 150});
    view->SlotMoveAll();
    view->SlotMoveAll();
    ASSERT_EQ(view->moveAllMode, 2);
    view->SlotMoveL();
    EXPECT_EQ(p().rects[0][0].showRect.left(), 99);
    EXPECT_EQ(p().polygons[0][1].points[0], QPoint(3, 300));
    EXPECT_EQ(p().polygons[0][2].points[0], QPoint(300, 300));

    // Changing the function steps through the enabled ones and resets the parameters; with
    // none enabled it ends at once and keeps the function.
    para.enableDefect = para.enableSpot = para.enableBlackArea = 1;
    std::vector<int> funcs;
    for (int k = 0; k < 3; ++k, funcs.push_back(p().roiFunc[0][0])) view->SlotChangeFunc();
    EXPECT_EQ(funcs, std::vector<int>({roi::kFuncSpot, roi::kFuncDarkArea, roi::kFuncDefect}));
    EXPECT_EQ(p().roiParam1[0][0], 45);
    para.enableDefect = para.enableSpot = para.enableBlackArea = 0;
    view->SlotChangeFunc();
    EXPECT_EQ(p().roiFunc[0][0], roi::kFuncDefect);

    // Synchronising adds the change since the selection to every area of the same function.
    select({150, 150});
    p().roiParam1[0][1] = p().roiParam1[0][2] = 10;
    p().roiFunc[0][2] = roi::kFuncSpot;
    view->sliderB->setValue(p().roiParam1[0][0] + 5);
    view->SlotSyncParam();
    view->SlotSyncParam();
    EXPECT_EQ(std::make_tuple(p().roiParam1[0][1], p().roiParam1[0][2]), std::make_tuple(15, 10));
}

TEST_F(ViewEdit, DeletingClearsIgnorePointsInsideTheFrameOnly) {
    std::vector<uchar>& mask = view->context.ignoreMask[0];
    std::fill(mask.begin(), mask.end(), uchar(255));
    // A ring reaching past the bottom right of the frame.
    const int i = add(roi::kShapeRing, {{1260, 940}, {100, 0}});
    ASSERT_GT(p().roiImageRect(0, i).right(), 319);
    view->DeleteROI(i);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(mask[239 * 320 + 319], 0);
    EXPECT_EQ(mask[239 * 320 + 200], 255);
    EXPECT_EQ(mask[211 * 320 + 5], 255);  // where an unclipped row would run on
    EXPECT_TRUE(QFile::exists(QStringLiteral("cammer11/ignorepoint.bmp")));
}

TEST_F(ViewEdit, AHundredAreasAreTheLimit) {
    p().roiCount[0] = roi::kMaxRois;
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    arm(kToolRect);
    drag({100, 100}, {300, 300});
    EXPECT_EQ(count(), roi::kMaxRois);
    ASSERT_EQ(answers.count(), 1);
    EXPECT_EQ(answers.asked()[0].text, lan(kEntryTooManyAreas));
}

// A new rectangle or circle that is not made on release (too small, or no room left) ends the
// drag all the same: its outline is no longer drawn.
TEST_F(ViewEdit, ADroppedShapeLeavesNoOutline) {
    struct Row {
        const char* what;
        int tool;
        int areas;
        QPoint to;
    };
    const Row rows[] = {{"rectangle too small", kToolRect, 0, {105, 105}},
                        {"circle too small", kToolCircle, 0, {105, 105}},
                        {"rectangle dragged up", kToolRect, 0, {50, 50}},
                        {"rectangle at the limit", kToolRect, roi::kMaxRois, {300, 300}},
                        {"circle at the limit", kToolCircle, roi::kMaxRois, {300, 300}}};
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        p().roiCount[0] = row.areas;
        arm(row.tool);
        drag({100, 100}, row.to);
        EXPECT_EQ(count(), row.areas);
        EXPECT_EQ(view->editState, kEditIdle);
        EXPECT_FALSE(view->shapeEditing);
        // A shape made after it starts afresh.
        p().roiCount[0] = 0;
        arm(row.tool);
        drag({100, 100}, {300, 300});
        EXPECT_EQ(count(), 1);
        EXPECT_EQ(view->editState, kEditIdle);
    }
}

// The panel beside an area near the top, in the middle and near the bottom of a full-size
// display, in English and in Japanese (whose button row is wider). It never covers the area,
// and no caption is cut off.
// With MOULDMON_VIEW_SHOTS set, the renderings are written there.
TEST_F(ViewEdit, PanelNeverCoversItsArea) {
    const QString folder = QString::fromLocal8Bit(qgetenv("MOULDMON_VIEW_SHOTS"));
    view.reset();
    gShowW = 1920;
    gShowH = 1080;
    para.showAllParam = 1;
    para.enableSpot = 1;
    para.ejectorPulseOnProdNG = 1;
    struct Scene {
        const char* name;
        int shape;
        std::vector<QPoint> geometry;
        int func;
    };
    const Scene scenes[] = {
        {"top", roi::kShapeRect, {{700, 60}, {1100, 260}}, roi::kFuncSpot},
        {"middle", roi::kShapeRing, {{960, 560}, {150, 60}}, roi::kFuncDefect},
        {"bottom", roi::kShapePolygon, {{600, 820}, {1300, 800}, {1400, 1000}, {700, 1010}}, 7},
    };
    for (int language : {1, 3}) {
        gLan = language;
        view = makeView(newCamera(640, 360));  // 3 display px per pixel
        view->resize(gShowW, gShowH);
        cv::Mat frame(360, 640, CV_8UC1, view->showBuf.data());
        for (int y = 0; y < 360; ++y)
            for (int x = 0; x < 640; ++x) frame.at<uchar>(y, x) = uchar(60 + (x + 2 * y) / 8);
        for (const Scene& s : scenes) {
            SCOPED_TRACE(s.name);
            useZoom(kZooms[0]);
            add(s.shape, s.geometry, s.func);
            view->GetFuncInitParam(s.func, p().roiParam1[0][0], p().roiParam2[0][0],
                                   p().roiParam3[0][0]);
            select(p().roiShowRect(0, 0).center());
            ASSERT_EQ(view->selectedRoi, 0);
            view->btnFineTune->setChecked(s.shape == roi::kShapeRing);
            QRect panel;
            for (QWidget* w : std::initializer_list<QWidget*>{
                     view->sliderB, view->sliderC, view->sliderA, view->btnFunc, view->btnStep3})
                if (w->isVisibleTo(view.get())) panel |= w->geometry();
            EXPECT_FALSE(panel.intersects(p().roiShowRect(0, 0))) << panel.y();
            // Every caption of the panel is whole, in both languages.
            for (ColorButton* b : view->findChildren<ColorButton*>()) {
                if (!b->isVisibleTo(view.get())) continue;
                EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()),
                          b->width() - toolkit::kButtonTextMarginPx)
                    << b->text().toStdString();
            }
            if (!folder.isEmpty()) {
                QDir().mkpath(folder);
                QImage shot(view->size(), QImage::Format_RGB32);
                view->render(&shot, QPoint(), QRegion(),
                             QWidget::DrawWindowBackground | QWidget::DrawChildren);
                EXPECT_TRUE(shot.save(
                    QStringLiteral("%1/panel_%2_%3.png")
                        .arg(folder, language == 3 ? "ja" : "en", QLatin1String(s.name))));
            }
        }
        view.reset();
    }
}
