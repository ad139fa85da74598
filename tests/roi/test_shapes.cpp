#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "circle.h"
#include "clustomrect.h"
#include "repolygon.h"
#include "roitestutil.h"

namespace {

using roitest::DisplayTest;

QRect coords(int x1, int y1, int x2, int y2) {
    QRect r;
    r.setCoords(x1, y1, x2, y2);
    return r;
}

int hit(ClustomRect& r, QPoint p) {
    int handle = 99;
    const bool found = r.PtInCtrl(p, &handle);
    EXPECT_EQ(found, handle != -1);
    EXPECT_EQ(r.hitHandle, handle);
    return handle;
}

int hit(Circle& c, QPoint p) {
    int handle = 99;
    const bool found = c.PtInCtrl(p, &handle);
    EXPECT_EQ(found, handle != -1);
    EXPECT_EQ(c.hitHandle, handle);
    return handle;
}

QImage canvas() {
    QImage image(400, 400, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QColor at(const QImage& image, int x, int y) {
    return QColor::fromRgba(image.pixel(x, y));
}

// Pixels of a mask rebuilt by the definition: the point lies strictly inside the contour.
cv::Mat polygonReference(const std::vector<cv::Point>& contour, const QRect& area) {
    cv::Mat mask(area.height(), area.width(), CV_8UC1, cv::Scalar(0));
    for (int r = 0; r < mask.rows; ++r)
        for (int c = 0; c < mask.cols; ++c)
            if (cv::pointPolygonTest(
                    contour, cv::Point2f(float(area.left() + c), float(area.top() + r)), false) > 0)
                mask.at<uchar>(r, c) = 255;
    return mask;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Rectangles

TEST(ClustomRectShape, NewRectangleIsEmptyUntilItHasGeometry) {
    ClustomRect r;
    EXPECT_EQ(r.showRect, coords(0, 0, -1, -1));
    EXPECT_EQ(r.imageRect, coords(0, 0, -1, -1));
    EXPECT_FALSE(r.IsSelected());
    EXPECT_EQ(r.hitHandle, -1);
    EXPECT_TRUE(r.UpdateMask().empty());
}

TEST(ClustomRectShape, ImageRectangleRoundsHalfToEven) {
    ClustomRect r;
    r.showRect = coords(5, 7, 14, 20);
    r.setShowA(2.0f, 2.0f);
    r.setImageRect();
    // 2.5 -> 2, 3.5 -> 4, width 10 / 2 = 5, height 14 / 2 = 7
    EXPECT_EQ(r.imageRect, coords(2, 4, 6, 10));
    const cv::Mat mask = r.UpdateMask();
    EXPECT_EQ(mask.rows, 7);
    EXPECT_EQ(mask.cols, 5);
    EXPECT_EQ(mask.type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(mask == 255), 35);
}

TEST(ClustomRectShape, OddSizesAndSwappedCorners) {
    ClustomRect r;
    r.showRect = coords(0, 0, 10, 2);  // 11 x 3
    r.setImageRect();
    EXPECT_EQ(r.UpdateMask().size(), cv::Size(11, 3));

    r.showRect = coords(100, 100, 50, 50);  // corners stored the wrong way round
    r.setImageRect();
    EXPECT_TRUE(r.UpdateMask().empty());

    r.setShowA(0.0f, 1.0f);  // refused: the previous scale stays
    EXPECT_EQ(r.scaleX, 1.0f);
}

TEST(ClustomRectShape, CornersBeatEdgesAndAreTestedInOrder) {
    ClustomRect r;
    r.showRect = coords(100, 100, 499, 299);
    EXPECT_EQ(hit(r, QPoint(100, 100)), -1);  // not selected: never a hit
    r.SetSelected(true);
    EXPECT_EQ(hit(r, QPoint(119, 119)), 0);
    EXPECT_EQ(hit(r, QPoint(200, 100)), 1);
    EXPECT_EQ(hit(r, QPoint(499, 100)), 2);
    EXPECT_EQ(hit(r, QPoint(499, 299)), 4);
    EXPECT_EQ(hit(r, QPoint(100, 299)), 6);

    // Bottom-left is tried before bottom-right.
    ClustomRect thin;
    thin.showRect = coords(100, 100, 115, 150);
    thin.SetSelected(true);
    EXPECT_EQ(hit(thin, QPoint(108, 148)), 6);
    // Top-right before bottom-left in a small square.
    ClustomRect small;
    small.showRect = coords(100, 100, 130, 130);
    small.SetSelected(true);
    EXPECT_EQ(hit(small, QPoint(115, 121)), 6);  // BL and BR near: BL
    EXPECT_EQ(hit(small, QPoint(121, 115)), 2);  // TR and BR near: TR
}

TEST(ClustomRectShape, EdgeToleranceIsAQuarterClampedTo3And50) {
    ClustomRect narrow;  // 10 wide: 10 / 4 = 2, raised to 3
    narrow.showRect = coords(100, 100, 109, 299);
    narrow.SetSelected(true);
    EXPECT_EQ(hit(narrow, QPoint(97, 200)), -1);  // 3 px beside the left edge
    EXPECT_EQ(hit(narrow, QPoint(98, 200)), 7);
    EXPECT_EQ(hit(narrow, QPoint(111, 200)), 3);

    ClustomRect wide;  // 400 wide: 100 capped at 50
    wide.showRect = coords(100, 100, 499, 299);
    wide.SetSelected(true);
    EXPECT_EQ(hit(wide, QPoint(149, 200)), 7);
    EXPECT_EQ(hit(wide, QPoint(150, 200)), -1);
    EXPECT_EQ(hit(wide, QPoint(300, 149)), 1);  // h = 200: tolerance 50
    EXPECT_EQ(hit(wide, QPoint(300, 250)), 5);
    EXPECT_EQ(hit(wide, QPoint(300, 500)), -1);  // beside the span of the bottom edge
    EXPECT_EQ(hit(wide, QPoint(51, 200)), 7);    // edges reach outwards as far as inwards
    EXPECT_EQ(hit(wide, QPoint(50, 200)), -1);
}

TEST(ClustomRectShape, ContainsIncludesA20PixelMargin) {
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
        ClustomRect r;
        r.showRect = coords(100, 100, 200, 200);
        r.lastMove = QPoint(-42, -42);
        r.Resize(c.handle, from, to);
        EXPECT_EQ(r.showRect, c.expected) << "handle " << c.handle;
        const bool movesX = c.handle == 0 || c.handle == 2 || c.handle == 3 || c.handle == 4 ||
                            c.handle == 6 || c.handle == 7;
        const bool movesY = c.handle == 0 || c.handle == 1 || c.handle == 2 || c.handle == 4 ||
                            c.handle == 5 || c.handle == 6;
        EXPECT_EQ(r.lastMove.x(), movesX ? 5 : -42) << "handle " << c.handle;
        EXPECT_EQ(r.lastMove.y(), movesY ? -3 : -42) << "handle " << c.handle;
    }
}

TEST(ClustomRectShape, DrawsHandlesInHighlightAndFrameInThePenColour) {
    ClustomRect r;
    r.showRect = coords(100, 100, 299, 249);
    {
        QImage image = canvas();
        QPainter painter(&image);
        painter.setPen(Qt::green);
        r.Draw(painter);
        painter.end();
        EXPECT_EQ(at(image, 200, 100), QColor(Qt::green));
        EXPECT_EQ(at(image, 100, 180), QColor(Qt::green));
    }
    r.SetSelected(true);
    r.hitHandle = 0;
    QImage image = canvas();
    QPainter painter(&image);
    painter.setPen(Qt::green);
    r.Draw(painter);
    EXPECT_EQ(painter.pen().color(), QColor(Qt::green));  // the caller's pen is restored
    painter.end();
    EXPECT_EQ(at(image, 90, 100), QColor(Qt::yellow));    // left side of the TL square
    EXPECT_EQ(at(image, 289, 100), QColor(Qt::magenta));  // left side of the TR square
    EXPECT_EQ(at(image, 200, 100), QColor(Qt::magenta));  // top edge
    r.hitHandle = 3;                                      // right edge highlighted
    QImage second = canvas();
    QPainter p2(&second);
    r.Draw(p2);
    p2.end();
    EXPECT_EQ(at(second, 299, 180), QColor(Qt::yellow));
    EXPECT_EQ(at(second, 100, 180), QColor(Qt::magenta));
}

// ---------------------------------------------------------------------------------------
// Rings

TEST(CircleShape, NewRingHasNoGeometry) {
    Circle c;
    EXPECT_EQ(c.showRect, coords(0, 0, -1, -1));
    EXPECT_EQ(c.radius, 0);
    EXPECT_EQ(c.innerRadius, 0);
    EXPECT_EQ(c.center, QPoint(0, 0));
    EXPECT_EQ(c.hitHandle, -1);
    EXPECT_TRUE(c.UpdateMask().empty());
}

TEST(CircleShape, UpdateAllTakesTheLargestCircleAtTheTopLeft) {
    Circle c;
    c.showRect = coords(10, 20, 59, 99);  // 50 x 80
    c.innerRadius = 30;
    c.UpdateAll();
    EXPECT_EQ(c.radius, 25);
    EXPECT_EQ(c.center, QPoint(35, 45));
    EXPECT_EQ(c.showRect, coords(10, 20, 59, 69));
    EXPECT_EQ(c.innerRadius, 25);  // clamped to the outer radius

    c.innerRadius = -4;
    c.UpdateRect();
    EXPECT_EQ(c.innerRadius, 0);

    c.showRect = coords(50, 50, 10, 10);  // inverted: no circle, no negative radius
    c.UpdateAll();
    EXPECT_EQ(c.radius, 0);
}

TEST(CircleShape, BandHitsGiveEdgeHandlesThenQuadrants) {
    Circle c;
    c.center = QPoint(200, 200);
    c.radius = 100;
    c.innerRadius = 50;
    c.UpdateRect();
    EXPECT_EQ(hit(c, QPoint(200, 300)), -1);  // not selected
    c.SetSelected(true);
    EXPECT_EQ(hit(c, QPoint(200, 300)), 5);
    EXPECT_EQ(hit(c, QPoint(219, 100)), 1);
    EXPECT_EQ(hit(c, QPoint(100, 181)), 7);
    EXPECT_EQ(hit(c, QPoint(300, 200)), 3);
    EXPECT_EQ(hit(c, QPoint(129, 271)), 0);  // left, below
    EXPECT_EQ(hit(c, QPoint(129, 129)), 6);  // left, above
    EXPECT_EQ(hit(c, QPoint(271, 271)), 2);  // right, below
    EXPECT_EQ(hit(c, QPoint(271, 129)), 4);  // right, above
    // The band is 20 px either side of the outer circle, bounds included.
    EXPECT_EQ(hit(c, QPoint(200, 320)), 5);
    EXPECT_EQ(hit(c, QPoint(200, 321)), -1);
    EXPECT_EQ(hit(c, QPoint(200, 280)), 5);
    EXPECT_EQ(hit(c, QPoint(200, 279)), -1);
    EXPECT_EQ(hit(c, QPoint(200, 250)), -1);  // the inner circle is never hit
    EXPECT_EQ(hit(c, QPoint(200, 200)), -1);
}

TEST(CircleShape, ResizeSetsTheRadiusAndKeepsTheCentre) {
    Circle c;
    c.center = QPoint(200, 200);
    c.radius = 100;
    c.innerRadius = 60;
    c.UpdateRect();
    c.Resize(3, QPoint(0, 0), QPoint(203, 204));
    EXPECT_EQ(c.radius, 5);
    EXPECT_EQ(c.innerRadius, 5);
    EXPECT_EQ(c.center, QPoint(200, 200));
    EXPECT_EQ(c.showRect, coords(195, 195, 204, 204));
    c.Resize(0, QPoint(), QPoint(200 + 7, 200 + 7));  // 9.899 truncated
    EXPECT_EQ(c.radius, 9);
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
    Circle full;
    full.imageRadius = 3;
    const cv::Mat disc = full.UpdateMask();
    EXPECT_EQ(disc.at<uchar>(3, 3), 255);  // the centre pixel is in
    EXPECT_EQ(disc.at<uchar>(3, 0), 0);    // x^2 + y^2 = 9 = R^2 is out
    EXPECT_EQ(disc.at<uchar>(0, 3), 0);

    Circle closed;
    closed.center = QPoint(50, 50);
    closed.radius = 20;
    closed.innerRadius = 30;  // larger than the outer radius
    closed.UpdateRect();
    closed.setImageRect();
    EXPECT_EQ(cv::countNonZero(closed.UpdateMask()), 0);
}

TEST(CircleShape, ContainsAndDraw) {
    Circle c;
    c.center = QPoint(200, 200);
    c.radius = 50;
    c.innerRadius = 20;
    c.UpdateRect();
    EXPECT_TRUE(c.Contains(QPoint(130, 130)));
    EXPECT_FALSE(c.Contains(QPoint(129, 200)));

    c.SetSelected(true);
    c.hitHandle = 1;
    QImage image = canvas();
    QPainter painter(&image);
    painter.setPen(Qt::green);
    c.Draw(painter);
    painter.end();
    EXPECT_EQ(at(image, 200, 140), QColor(Qt::yellow));   // top handle square, top side
    EXPECT_EQ(at(image, 258, 200), QColor(Qt::magenta));  // right handle square, right side
    EXPECT_EQ(at(image, 219, 200), QColor(Qt::yellow));   // inner circle
    EXPECT_EQ(at(image, 200, 249), QColor(Qt::magenta));  // outer circle of a selected ring
}

// ---------------------------------------------------------------------------------------
// Polygons

TEST(RePolygonShape, ConstructionAndPointLimit) {
    RePolygon empty;
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(empty.hitNode, -1);
    EXPECT_EQ(empty.showRect, coords(0, 0, -1, -1));
    EXPECT_TRUE(empty.UpdateMask().empty());

    const QPoint tri[3] = {QPoint(1, 2), QPoint(3, 4), QPoint(5, 6)};
    RePolygon none(0, tri);
    EXPECT_EQ(none.count, 0);

    std::vector<QPoint> many(9000, QPoint(7, 7));
    auto big = std::make_unique<RePolygon>(int(many.size()), many.data());
    EXPECT_EQ(big->count, roi::kMaxPolygonPoints);
    EXPECT_EQ(big->points[roi::kMaxPolygonPoints - 1], QPoint(7, 7));
}

TEST(RePolygonShape, BoundingRectangles) {
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
}

TEST(RePolygonShape, MaskIsTheStrictInteriorWithoutLastColumnAndRow) {
    const QPoint tri[3] = {QPoint(10, 10), QPoint(60, 10), QPoint(35, 50)};
    RePolygon triangle(3, tri);
    triangle.setImageRect();
    const cv::Mat mask = triangle.UpdateMask();
    ASSERT_EQ(mask.size(), cv::Size(50, 40));
    const std::vector<cv::Point> contour = {{10, 10}, {60, 10}, {35, 50}};
    EXPECT_EQ(cv::norm(mask, polygonReference(contour, triangle.imageRect), cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::countNonZero(mask.row(0)), 0);  // the top edge is outline
    EXPECT_EQ(mask.at<uchar>(20, 25), 255);       // (35, 30) is inside
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

TEST(RePolygonShape, DrawsPointHandlesUnlessFreehand) {
    const QPoint pts[4] = {QPoint(100, 100), QPoint(300, 100), QPoint(300, 300), QPoint(100, 300)};
    RePolygon p(4, pts);
    p.SetSelected(true);
    p.setNode(1);
    QImage image = canvas();
    QPainter painter(&image);
    painter.setPen(Qt::green);
    p.Draw(painter);
    painter.end();
    EXPECT_EQ(at(image, 90, 100), QColor(Qt::magenta));   // square of point 0
    EXPECT_EQ(at(image, 300, 90), QColor(Qt::yellow));    // square of point 1 (the hit node)
    EXPECT_EQ(at(image, 200, 300), QColor(Qt::magenta));  // outline of a selected polygon

    p.SetHand(true);
    EXPECT_TRUE(p.getHand());
    QImage freehand = canvas();
    QPainter p2(&freehand);
    p2.setPen(Qt::green);
    p.Draw(p2);
    p2.end();
    EXPECT_EQ(at(freehand, 90, 100).alpha(), 0);  // no handle squares
    EXPECT_EQ(at(freehand, 200, 300), QColor(Qt::magenta));

    p.SetSelected(false);
    QImage plain = canvas();
    QPainter p3(&plain);
    p3.setPen(Qt::green);
    p.Draw(p3);
    p3.end();
    EXPECT_EQ(at(plain, 200, 300), QColor(Qt::green));
}
