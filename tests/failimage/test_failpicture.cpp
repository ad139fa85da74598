// The annotated fail picture: where the result mark, the areas, the defect boxes and the
// labels land on the frame, in true colours, and how an area record becomes its overlay.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "cammersingleton.h"
#include "failimagelimits.h"
#include "failpicture.h"
#include "globals.h"
#include "regionoverlay.h"
#include "slotrig.h"

using namespace failimage;
using testrig::countPixels;
using testrig::isGreen;
using testrig::isRed;

namespace {

constexpr int kW = 320;
constexpr int kH = 240;
constexpr uchar kGrey = 128;

bool isGrey(QRgb p) {
    return qRed(p) == kGrey && qGreen(p) == kGrey && qBlue(p) == kGrey;
}

// Expects the colour at every (x, y) pair of xy.
void expectPixels(const QImage& picture, bool (*colour)(QRgb), std::initializer_list<int> xy) {
    for (auto it = xy.begin(); it + 1 < xy.end(); it += 2)
        EXPECT_TRUE(colour(picture.pixel(it[0], it[1])))
            << "pixel (" << it[0] << ", " << it[1] << ") is " << std::hex
            << picture.pixel(it[0], it[1]);
}

class FailPictureTest : public ::testing::Test {
protected:
    QByteArray frame = QByteArray(kW * kH, char(kGrey));
    FrameView view() const {
        return FrameView{reinterpret_cast<const uchar*>(frame.constData()), kW, kH, false};
    }
};

AreaOverlay rectArea(const QRect& r, bool passed, const QVector<DefectBox>& defects = {}) {
    AreaOverlay area;
    area.shape = AreaShape::Rect;
    area.imageRect = r;
    area.passed = passed;
    area.defects = defects;
    area.label = QStringLiteral("1: 40 / 7 ");
    return area;
}

}  // namespace

TEST_F(FailPictureTest, AreasAndDefectBoxesCoverExactlyTheirPixelsClippedToTheFrame) {
    FailPictureSpec spec;
    spec.areas = {rectArea(QRect(QPoint(100, 120), QPoint(199, 179)), false,
                           {{120, 130, 130, 145},
                            {300, 200, 400, 300},   // reaches past the frame
                            {50, 50, 40, 40},       // inverted: nothing
                            {-20, 190, 10, 200}}),  // starts left of the frame
                  rectArea(QRect(QPoint(220, 150), QPoint(299, 229)), true,
                           {{230, 160, 240, 170}})};  // passed areas draw no defects
    const QImage picture = renderFailPicture(view(), spec);
    ASSERT_EQ(picture.size(), QSize(kW, kH));
    ASSERT_EQ(picture.format(), QImage::Format_RGB32);
    // Areas: outlines on their inclusive corners in their result colour, nothing past them.
    expectPixels(picture, isRed, {100, 120, 199, 179, 150, 179});
    expectPixels(picture, isGreen, {220, 150, 299, 229});
    expectPixels(picture, isGrey, {200, 179, 150, 180, 150, 150, 260, 190, 230, 160});
    // A defect box: its corners, the first pixels past its exclusive right and bottom edges,
    // and its inside (outline only).
    expectPixels(picture, isRed, {120, 130, 129, 130, 120, 144, 129, 144});
    expectPixels(picture, isGrey, {130, 130, 130, 144, 125, 145, 125, 137});
    // Clipped boxes keep the edges that lie inside the frame.
    expectPixels(picture, isRed, {319, 200, 300, 239, 0, 190, 9, 199});
    expectPixels(picture, isGrey, {10, 195});
    EXPECT_EQ(countPixels(picture, QRect(QPoint(40, 40), QPoint(50, 50)), isRed), 0);

    // Each label sits in the 24 rows above its area's top-left corner, in the area's colour.
    EXPECT_GT(countPixels(picture, QRect(QPoint(100, 94), QPoint(219, 118)), isRed), 10);
    EXPECT_GT(countPixels(picture, QRect(QPoint(220, 124), QPoint(319, 148)), isGreen), 10);
    EXPECT_EQ(countPixels(picture, QRect(QPoint(100, 181), QPoint(219, 239)), isRed), 0);
}

TEST_F(FailPictureTest, ResultMarkAndLineTextAreDrawnTopLeftInTheResultColour) {
    const QRect mark(QPoint(5, 55), QPoint(45, 82));
    const QRect line(QPoint(5, 88), QPoint(300, 114));
    FailPictureSpec spec;
    spec.lineText = QStringLiteral("Safety door trigger detection");
    const QImage ng = renderFailPicture(view(), spec);
    EXPECT_GT(countPixels(ng, mark, isRed), 20);
    EXPECT_EQ(countPixels(ng, mark, isGreen), 0);
    EXPECT_GT(countPixels(ng, line, isRed), 50);
    EXPECT_EQ(countPixels(ng, QRect(0, 120, kW, kH - 120), isRed), 0);

    spec.isOK = true;
    spec.lineText.clear();
    const QImage ok = renderFailPicture(view(), spec);
    EXPECT_GT(countPixels(ok, mark, isGreen), 20);
    EXPECT_EQ(countPixels(ok, mark, isRed), 0);
    EXPECT_EQ(countPixels(ok, line, isGreen), 0);
}

TEST_F(FailPictureTest, PolygonsAndRingsAreDrawnInFrameCoordinates) {
    FailPictureSpec spec;
    spec.imagePerDisplay = QPointF(0.5, 0.5);  // the display shows the frame twice as large
    AreaOverlay polygon;
    polygon.shape = AreaShape::Polygon;
    polygon.passed = false;
    polygon.imagePolygon = QPolygon({QPoint(20, 150), QPoint(80, 150), QPoint(80, 210)});
    AreaOverlay ring;
    ring.shape = AreaShape::Ring;
    ring.ring.center = QPoint(400, 200);  // display coordinates
    ring.ring.radius = 80;
    ring.ring.innerRadius = 40;
    ring.ring.UpdateRect();
    ring.ring.setShowA(2.0f, 2.0f);
    ring.ring.setImageRect();
    spec.areas = {polygon, ring};
    const QImage picture = renderFailPicture(view(), spec);

    // Polygon edges, and its inside left alone; the ring's outer circle has radius 40 about
    // (200, 100) in frame pixels.
    expectPixels(picture, isRed, {50, 150, 80, 180});
    expectPixels(picture, isGrey, {70, 160, 200, 100});
    EXPECT_GT(countPixels(picture, QRect(198, 58, 5, 5), isGreen), 0);
    EXPECT_GT(countPixels(picture, QRect(238, 98, 5, 5), isGreen), 0);
    EXPECT_EQ(countPixels(picture, QRect(260, 0, 60, kH), isGreen), 0);
}

TEST(FailPictureFrames, ColourFramesKeepTrueColoursAndGreyFramesStayGrey) {
    const int w = 7, h = 3;  // rows that are not a multiple of 4 bytes
    QByteArray rgba;
    for (int i = 0; i < w * h; ++i) rgba.append("\xc8\x0a\x1e\x00", 4);  // A as cameras deliver it
    const QImage colour =
        frameToPicture(FrameView{reinterpret_cast<const uchar*>(rgba.constData()), w, h, true});
    ASSERT_EQ(colour.format(), QImage::Format_RGB32);
    EXPECT_EQ(colour.pixel(6, 2), qRgb(200, 10, 30));

    QByteArray grey(w * h, 0);
    for (int i = 0; i < grey.size(); ++i) grey[i] = char((i % w) * 40);
    const auto* bytes = reinterpret_cast<const uchar*>(grey.constData());
    const QImage picture = frameToPicture(FrameView{bytes, w, h, false});
    EXPECT_EQ(picture.pixel(0, 1), qRgb(0, 0, 0));
    EXPECT_EQ(picture.pixel(6, 1), qRgb(240, 240, 240));
    EXPECT_EQ(picture.pixel(3, 2), qRgb(120, 120, 120));

    EXPECT_TRUE(frameToPicture(FrameView{nullptr, w, h, false}).isNull());
    EXPECT_TRUE(frameToPicture(FrameView{bytes, 0, h, false}).isNull());
}

TEST(RegionOverlay, AreaRecordsBecomeOverlaysWithTheirResultsAndLabels) {
    auto param = std::make_unique<CammerSingleton>(0);
    const int d = 2;
    const auto setArea = [&](int i, int shape, int func, int param1, int param2) {
        param->roiShapeType[d][i] = shape;
        param->roiFunc[d][i] = func;
        param->roiParam1[d][i] = param1;
        param->roiParam2[d][i] = param2;
    };
    param->roiCount[d] = 4;
    setArea(0, 1, 0, 0, 0);
    setArea(1, 2, 1, 30, 90);
    setArea(2, 4, 6, 77, 0);
    setArea(3, 99, 5, 0, 12);  // unknown shape: label only
    param->rects[d][0].imageRect = QRect(QPoint(10, 20), QPoint(59, 79));
    param->polygons[d][1].count = 3;
    const QPoint points[3] = {{5, 6}, {50, 6}, {50, 60}};
    std::copy(points, points + 3, param->polygons[d][1].imagePoints);
    param->circles[d][2].SetSelected(true);

    const quint8 ok[4] = {0, 1, 0, 1};
    const int values[4] = {41, 50, 60, 70};
    QList<int> askedFor;
    RegionResults results{ok, values, [&](int area) {
                              askedFor << area;
                              return QVector<DefectBox>{{1, 2, 3, 4}};
                          }};
    const FailPictureSpec spec =
        describeDetection(*param, d, results, LabelSettings{false, 40}, false, "door", 2.0f, 4.0f);

    ASSERT_EQ(spec.areas.size(), 4);
    EXPECT_EQ(spec.firstFailedArea(), 0);
    EXPECT_EQ(spec.lineText, "door");
    EXPECT_EQ(spec.imagePerDisplay, QPointF(0.5, 0.25));
    EXPECT_EQ(askedFor, QList<int>({0, 2}));  // defects only of failed areas
    QList<AreaShape> shapes;
    QStringList labels;
    for (const AreaOverlay& area : spec.areas) {
        shapes << area.shape;
        labels << area.label;
        EXPECT_EQ(area.passed, area.defects.isEmpty());
    }
    EXPECT_EQ(shapes, QList<AreaShape>(
                          {AreaShape::Rect, AreaShape::Polygon, AreaShape::Ring, AreaShape::None}));
    EXPECT_EQ(labels,
              QStringList({"1: 40 / 41 ", "2: 30--90 / 50 ", "3: 77 / 60 ", "4: 12 / 70 "}));
    EXPECT_EQ(spec.areas[0].imageRect, QRect(QPoint(10, 20), QPoint(59, 79)));
    EXPECT_EQ(spec.areas[1].imagePolygon, QPolygon({points[0], points[1], points[2]}));
    EXPECT_FALSE(spec.areas[2].ring.IsSelected());

    // The limits of the other functions: every parameter shown, packed count ranges.
    EXPECT_EQ(limitText(0, 25, 100, true, 40), "100");
    EXPECT_EQ(limitText(7, 0, (12 << 16) | 3, false, 40), "3--12");
    EXPECT_EQ(limitText(8, 0, (5 << 16) | 1, false, 40), "1--5");

    param->roiCount[d] = 11;
    const FailPictureSpec longSpec =
        describeDetection(*param, d, RegionResults{}, LabelSettings{}, true, {}, 1.0f, 1.0f);
    EXPECT_EQ(longSpec.firstFailedArea(), -1);
    EXPECT_EQ(longSpec.areas[0].label, "1: 0");

    param->roiCount[d] = 500;  // a corrupt count never reads past the areas
    EXPECT_EQ(describeDetection(*param, d, RegionResults{}, LabelSettings{}, true, {}, 0.0f, 1.0f)
                  .areas.size(),
              100);
}

TEST(RegionOverlay, EngineDefectListsConvertWithTheirCountClamped) {
    struct Rect {
        int x1, y1, x2, y2;
    };
    struct List {
        int count;
        Rect rects[3];
    };
    const QVector<DefectBox> boxes =
        defectBoxes(List{2, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}}});
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(QList<int>({boxes[1].x1, boxes[1].y1, boxes[1].x2e, boxes[1].y2e}),
              QList<int>({5, 6, 7, 8}));
    EXPECT_EQ(defectBoxes(List{7, {}}).size(), 3);
    EXPECT_TRUE(defectBoxes(List{-1, {}}).isEmpty());
}
