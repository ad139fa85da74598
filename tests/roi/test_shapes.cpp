#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <memory>
#include <vector>

#include "circle.h"
#include "clustomrect.h"
#include "repolygon.h"
#include "roitestutil.h"

namespace {

using roitest::coords;
using roitest::DisplayTest;

// The handle under p; the return value, the out-parameter and the stored hit agree.
template <typename Shape>
int hit(Shape& shape, QPoint p) {
    int handle = 99;
    const bool found = shape.PtInCtrl(p, &handle);
    EXPECT_EQ(found, handle != -1);
    EXPECT_EQ(shape.hitHandle, handle);
    return handle;
}

// The shape drawn with a green pen on a transparent 400 x 400 canvas.
template <typename Shape>
QImage drawn(const Shape& shape) {
    QImage image(400, 400, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::green);
    shape.Draw(painter);
    EXPECT_EQ(painter.pen().color(), QColor(Qt::green));  // the caller's pen is restored
    painter.end();
    return image;
}

QColor at(const QImage& image, int x, int y) {
    return QColor::fromRgba(image.pixel(x, y));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Rectangles

TEST(ClustomRectShape, ImageRectangleAndMaskOnSmallOddAndSwappedSizes) {
    ClustomRect r;
    r.showRect = coords(5, 7, 14, 20);
    r.setShowA(2.0f, 2.0f);
    r.setImageRect();
    EXPECT_EQ(r.imageRect, coords(2, 4, 6, 10));  // 2.5 -> 2, 3.5 -> 4: half to even
    EXPECT_EQ(r.UpdateMask().size(), cv::Size(5, 7));
    r.setShowA(1.0f, 1.0f);
    r.showRect = coords(0, 0, 10, 2);
    r.setImageRect();
    const cv::Mat odd = r.UpdateMask();
    ASSERT_EQ(odd.size(), cv::Size(11, 3));
    EXPECT_EQ(odd.type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(odd == 255), 33);
    r.showRect = coords(100, 100, 50, 50);  // corners stored the wrong way round
    r.setImageRect();
    EXPECT_TRUE(r.UpdateMask().empty());
    r.setShowA(0.0f, 1.0f);  // refused: the previous scale stays
    EXPECT_EQ(r.scaleX, 1.0f);
}

TEST(ClustomRectShape, HandlesCornersBeforeEdgesWithClampedEdgeTolerance) {
    // Edge tolerance: 400 / 4 capped at 50 on `wide`, 10 / 4 raised to 3 on `narrow`; edges
    // reach outwards as far as inwards but not beside their span. Corners are tried
    // top-left, top-right, bottom-left, bottom-right, before any edge.
    const QRect wide = coords(100, 100, 499, 299), narrow = coords(100, 100, 109, 299);
    const QRect thin = coords(100, 100, 115, 150), small = coords(100, 100, 130, 130);
    const struct {
        QRect rect;
        QPoint p;
        int handle;
    } cases[] = {{wide, {119, 119}, 0},   {wide, {200, 100}, 1},  {wide, {499, 100}, 2},
                 {wide, {499, 299}, 4},   {wide, {100, 299}, 6},  {wide, {149, 200}, 7},
                 {wide, {150, 200}, -1},  {wide, {300, 149}, 1},  {wide, {300, 250}, 5},
                 {wide, {300, 500}, -1},  {wide, {51, 200}, 7},   {wide, {50, 200}, -1},
                 {narrow, {97, 200}, -1}, {narrow, {98, 200}, 7}, {narrow, {111, 200}, 3},
                 {thin, {108, 148}, 6},   {small, {115, 121}, 6}, {small, {121, 115}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.rect.width() << " wide, at " << c.p.x() << "," << c.p.y());
        ClustomRect r;
        r.showRect = c.rect;
        EXPECT_EQ(hit(r, c.p), -1);  // not selected: never a hit
        r.SetSelected(true);
        EXPECT_EQ(hit(r, c.p), c.handle);
    }
    // Contains reaches 20 pixels beyond the rectangle.
    ClustomRect r;
    r.showRect = coords(100, 100, 199, 149);
    EXPECT_TRUE(r.Contains(QPoint(80, 80)));
    EXPECT_TRUE(r.Contains(QPoint(219, 169)));
    EXPECT_FALSE(r.Contains(QPoint(79, 100)));
    EXPECT_FALSE(r.Contains(QPoint(150, 170)));
}

TEST(ClustomRectShape, ResizeMovesTheSidesOfTheHandle) {
    const QPoint from(10, 10), to(15, 7);  // dx 5, dy -3
    const struct {
        int handle;
        QRect expected;
    } cases[] = {
        {0, coords(105, 97, 200, 200)},  {1, coords(100, 97, 200, 200)},
        {2, coords(100, 97, 205, 200)},  {3, coords(100, 100, 205, 200)},
        {4, coords(100, 100, 205, 197)}, {5, coords(100, 100, 200, 197)},
        {6, coords(105, 100, 200, 197)}, {7, coords(105, 100, 200, 200)},
        {8, coords(100, 100, 200, 200)}, {-1, coords(100, 100, 200, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.handle);
        ClustomRect r;
        r.showRect = coords(100, 100, 200, 200);
        r.lastMove = QPoint(-42, -42);
        r.Resize(c.handle, from, to);
        EXPECT_EQ(r.showRect, c.expected);
        const bool movesX = c.expected.left() != 100 || c.expected.right() != 200;
        const bool movesY = c.expected.top() != 100 || c.expected.bottom() != 200;
        EXPECT_EQ(r.lastMove, QPoint(movesX ? 5 : -42, movesY ? -3 : -42));
    }
}

// ---------------------------------------------------------------------------------------
// Rings

TEST(CircleShape, RadiusFromTheRectangleOrAResizeKeepsTheInnerRadiusWithinTheOuter) {
    Circle c;
    c.showRect = coords(10, 20, 59, 99);  // 50 x 80: the largest circle at the top-left
    c.innerRadius = 30;
    c.UpdateAll();
    EXPECT_EQ(c.radius, 25);
    EXPECT_EQ(c.center, QPoint(35, 45));
    EXPECT_EQ(c.showRect, coords(10, 20, 59, 69));
    EXPECT_EQ(c.innerRadius, 25);

    c.innerRadius = -4;
    c.UpdateRect();
    EXPECT_EQ(c.innerRadius, 0);

    c.showRect = coords(50, 50, 10, 10);  // inverted: no circle, no negative radius
    c.UpdateAll();
    EXPECT_EQ(c.radius, 0);
    EXPECT_TRUE(c.UpdateMask().empty());

    // A resize sets the radius to the distance from the centre, truncated.
    c.center = QPoint(200, 200);
    c.radius = 100;
    c.innerRadius = 60;
    c.UpdateRect();
    c.Resize(3, QPoint(0, 0), QPoint(203, 204));
    EXPECT_EQ(c.radius, 5);
    EXPECT_EQ(c.innerRadius, 5);
    EXPECT_EQ(c.center, QPoint(200, 200));
    EXPECT_EQ(c.showRect, coords(195, 195, 204, 204));
    c.Resize(0, QPoint(), QPoint(200 + 7, 200 + 7));  // 9.899
    EXPECT_EQ(c.radius, 9);
}

TEST(CircleShape, BandHitsGiveEdgeHandlesThenQuadrants) {
    Circle c;
    c.center = QPoint(200, 200);
    c.radius = 100;
    c.innerRadius = 50;
    c.UpdateRect();
    EXPECT_EQ(hit(c, QPoint(200, 300)), -1);  // not selected
    c.SetSelected(true);
    // Edge handles near the axes, then quadrants; the band is 20 px either side of the outer
    // circle, bounds included; the inner circle is never hit.
    const struct {
        QPoint p;
        int handle;
    } cases[] = {{{200, 300}, 5},  {{219, 100}, 1},  {{100, 181}, 7}, {{300, 200}, 3},
                 {{129, 271}, 0},  {{129, 129}, 6},  {{271, 271}, 2}, {{271, 129}, 4},
                 {{200, 320}, 5},  {{200, 321}, -1}, {{200, 280}, 5}, {{200, 279}, -1},
                 {{200, 250}, -1}, {{200, 200}, -1}};
    for (const auto& h : cases) EXPECT_EQ(hit(c, h.p), h.handle) << h.p.x() << "," << h.p.y();
    EXPECT_TRUE(c.Contains(QPoint(80, 80)));  // the bounding square with a 20 px margin
    EXPECT_FALSE(c.Contains(QPoint(79, 200)));
}

TEST(CircleShape, ImageGeometryAveragesTheScales) {
    Circle c;
    c.center = QPoint(21, 33);
    c.radius = 10;
    c.innerRadius = 4;
    c.UpdateRect();
    c.setShowA(2.0f, 4.0f);
    c.setImageRect();
    EXPECT_EQ(c.imageRadius, 4);              // (5 + 2.5) / 2 = 3.75
    EXPECT_EQ(c.imageInnerRadius, 2);         // (2 + 1) / 2 = 1.5, half to even
    EXPECT_EQ(c.imageCenter, QPoint(10, 8));  // truncated 10.5 and 8.25
    EXPECT_EQ(c.imageRect, coords(6, 4, 13, 11));
}

TEST(CircleShape, MaskExcludesInnerCircleAndOuterBoundary) {
    for (int outer : {1, 2, 3, 4, 5, 6, 7, 8, 9, 31, 64}) {
        for (int inner = 0; inner <= outer; inner += 1 + outer / 10) {
            Circle c;
            c.imageRadius = outer;
            c.imageInnerRadius = inner;
            const cv::Mat mask = c.UpdateMask();
            ASSERT_EQ(mask.size(), cv::Size(2 * outer, 2 * outer));
            for (int i = 0; i < mask.rows; ++i)
                for (int j = 0; j < mask.cols; ++j) {
                    const int x = j - outer, y = i - outer, d2 = x * x + y * y;
                    const bool in = inner * inner <= d2 && d2 < outer * outer;
                    ASSERT_EQ(mask.at<uchar>(i, j), in ? 255 : 0)
                        << outer << "/" << inner << " at " << i << "," << j;
                }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Polygons

TEST(RePolygonShape, BoundingRectanglesAndPointLimit) {
    const QPoint one[1] = {QPoint(30, 40)};
    RePolygon single(1, one);
    single.setImageRect();
    EXPECT_EQ(single.imageRect, coords(30, 40, 29, 39));
    EXPECT_EQ(single.showRect, coords(10, 20, 29, 39));
    EXPECT_TRUE(single.UpdateMask().empty());

    const QPoint tri[3] = {QPoint(10, 10), QPoint(60, 10), QPoint(35, 50)};
    RePolygon triangle(3, tri);
    triangle.setImageRect();
    EXPECT_EQ(triangle.imageRect, coords(10, 10, 59, 49));
    EXPECT_EQ(triangle.showRect, coords(-10, -10, 59, 49));

    const QPoint scaled[2] = {QPoint(5, 7), QPoint(41, 23)};
    RePolygon line(2, scaled);
    line.setShowA(2.0f, 2.0f);
    line.setImageRect();
    EXPECT_EQ(line.imagePoints[0], QPoint(2, 4));  // 2.5 and 3.5, half to even
    EXPECT_EQ(line.imagePoints[1], QPoint(20, 12));

    EXPECT_EQ(RePolygon(0, tri).count, 0);
    std::vector<QPoint> many(9000, QPoint(7, 7));
    auto big = std::make_unique<RePolygon>(int(many.size()), many.data());
    EXPECT_EQ(big->count, roi::kMaxPolygonPoints);
    EXPECT_EQ(big->points[roi::kMaxPolygonPoints - 1], QPoint(7, 7));
}

TEST(RePolygonShape, PointHandlesOnlyWhenSelected) {
    const QPoint pts[3] = {QPoint(100, 100), QPoint(110, 100), QPoint(300, 300)};
    RePolygon p(3, pts);
    int handle = 5;
    EXPECT_FALSE(p.PtInCtrl(QPoint(100, 100), &handle));
    EXPECT_EQ(handle, -1);
    p.SetSelected(true);
    EXPECT_TRUE(p.PtInCtrl(QPoint(108, 100), &handle));
    EXPECT_EQ(handle, 0);  // the lowest index near the point
    EXPECT_EQ(p.hitNode, 0);
    EXPECT_TRUE(p.PtInCtrl(QPoint(319, 281), &handle));
    EXPECT_EQ(handle, 2);
    EXPECT_FALSE(p.PtInCtrl(QPoint(320, 300), &handle));
    EXPECT_EQ(p.hitNode, -1);
}

TEST_F(DisplayTest, PolygonContainsByRectangleBelow60PixelsElseByContour) {
    // Extent 59 x 59: the display rectangle is 78 wide and answers alone.
    const QPoint small[3] = {QPoint(100, 100), QPoint(159, 100), QPoint(100, 159)};
    RePolygon a(3, small);
    a.setImageRect();
    EXPECT_TRUE(a.Contains(QPoint(85, 85)));    // in the margin, outside the triangle
    EXPECT_TRUE(a.Contains(QPoint(150, 150)));  // beyond the hypotenuse
    // Extent 60 x 60: the contour decides.
    const QPoint large[3] = {QPoint(100, 100), QPoint(160, 100), QPoint(100, 160)};
    RePolygon b(3, large);
    b.setImageRect();
    EXPECT_FALSE(b.Contains(QPoint(85, 85)));
    EXPECT_FALSE(b.Contains(QPoint(150, 150)));
    EXPECT_TRUE(b.Contains(QPoint(110, 110)));
    EXPECT_FALSE(b.Contains(QPoint(100, 130)));  // on the outline
}

TEST_F(DisplayTest, PolygonPointMovesStayInsideTheDisplayMargin) {
    const QPoint pts[3] = {QPoint(10, 10), QPoint(200, 10), QPoint(100, 200)};
    RePolygon p(3, pts);
    p.Resize(0, QPoint(50, 50), QPoint(42, 50), 2.0f, 2.0f);  // to x = 2: refused
    EXPECT_EQ(p.points[0], QPoint(10, 10));
    EXPECT_EQ(p.lastMove, QPoint(-8, 0));
    p.Resize(1, QPoint(0, 0), QPoint(kShowW - 2 - 200, 0), 2.0f, 2.0f);  // to gShowW - 2
    EXPECT_EQ(p.points[1], QPoint(200, 10));
    p.Resize(1, QPoint(0, 0), QPoint(kShowW - 3 - 200, 5), 2.0f, 2.0f);
    EXPECT_EQ(p.points[1], QPoint(kShowW - 3, 15));
    EXPECT_EQ(p.imagePoints[1], QPoint(638, 8));          // 638.5 and 7.5, half to even
    p.Resize(7, QPoint(0, 0), QPoint(1, 1), 1.0f, 1.0f);  // no such point: nothing moves
    EXPECT_EQ(p.count, 3);
}

// ---------------------------------------------------------------------------------------
// Drawing: the caller's pen for a plain shape, magenta handles with the hit one in yellow.

TEST(ShapeDrawing, HandlesAndHighlights) {
    ClustomRect r;
    r.showRect = coords(100, 100, 299, 249);
    EXPECT_EQ(at(drawn(r), 200, 100), QColor(Qt::green));
    r.SetSelected(true);
    r.hitHandle = 3;  // the right edge
    QImage image = drawn(r);
    EXPECT_EQ(at(image, 299, 180), QColor(Qt::yellow));
    EXPECT_EQ(at(image, 100, 180), QColor(Qt::magenta));
    EXPECT_EQ(at(image, 90, 100), QColor(Qt::magenta));  // left side of the top-left square
    r.hitHandle = 0;
    EXPECT_EQ(at(drawn(r), 90, 100), QColor(Qt::yellow));

    Circle c;
    c.center = QPoint(200, 200);
    c.radius = 50;
    c.innerRadius = 20;
    c.UpdateRect();
    c.SetSelected(true);
    c.hitHandle = 1;
    image = drawn(c);
    EXPECT_EQ(at(image, 200, 140), QColor(Qt::yellow));   // top handle square, top side
    EXPECT_EQ(at(image, 258, 200), QColor(Qt::magenta));  // right handle square, right side
    EXPECT_EQ(at(image, 219, 200), QColor(Qt::yellow));   // inner circle

    const QPoint pts[4] = {QPoint(100, 100), QPoint(300, 100), QPoint(300, 300), QPoint(100, 300)};
    RePolygon p(4, pts);
    p.SetSelected(true);
    p.setNode(1);
    image = drawn(p);
    EXPECT_EQ(at(image, 90, 100), QColor(Qt::magenta));   // square of point 0
    EXPECT_EQ(at(image, 300, 90), QColor(Qt::yellow));    // square of the hit point
    EXPECT_EQ(at(image, 200, 300), QColor(Qt::magenta));  // outline
    p.SetHand(true);
    EXPECT_EQ(at(drawn(p), 90, 100).alpha(), 0);  // a freehand polygon has no point handles
}
