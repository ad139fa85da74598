#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "polygonmask.h"
#include "repolygon.h"
#include "roitestutil.h"

namespace {

// The definition the rasteriser must meet: pointPolygonTest(contour, pixel) > 0.
cv::Mat reference(const QVector<QPoint>& points, const QRect& area) {
    std::vector<cv::Point> contour;
    for (const QPoint& p : points) contour.emplace_back(p.x(), p.y());
    cv::Mat mask(area.height(), area.width(), CV_8UC1, cv::Scalar(0));
    for (int r = 0; r < mask.rows; ++r)
        for (int c = 0; c < mask.cols; ++c)
            if (cv::pointPolygonTest(
                    contour, cv::Point2f(float(area.left() + c), float(area.top() + r)), false) > 0)
                mask.at<uchar>(r, c) = 255;
    return mask;
}

QRect boundsOf(const QVector<QPoint>& points, int grow) {
    int x1 = points[0].x(), y1 = points[0].y(), x2 = x1, y2 = y1;
    for (const QPoint& p : points) {
        x1 = std::min(x1, p.x());
        y1 = std::min(y1, p.y());
        x2 = std::max(x2, p.x());
        y2 = std::max(y2, p.y());
    }
    QRect r;
    r.setCoords(x1 - grow, y1 - grow, x2 + grow, y2 + grow);
    return r;
}

::testing::AssertionResult sameAsReference(const QVector<QPoint>& points, const QRect& area) {
    const cv::Mat fast = roi::polygonInteriorMask(points.constData(), points.size(), area);
    const cv::Mat slow = reference(points, area);
    if (fast.size() != slow.size()) return ::testing::AssertionFailure() << "size differs";
    cv::Mat diff;
    cv::compare(fast, slow, diff, cv::CMP_NE);
    const int wrong = cv::countNonZero(diff);
    if (wrong == 0) return ::testing::AssertionSuccess();
    std::vector<cv::Point> where;
    cv::findNonZero(diff, where);
    auto failure = ::testing::AssertionFailure();
    failure << wrong << " pixels differ, first at (" << area.left() + where[0].x << ", "
            << area.top() + where[0].y << "); polygon:";
    for (const QPoint& p : points) failure << " (" << p.x() << "," << p.y() << ")";
    return failure;
}

}  // namespace

TEST(PolygonMask, MatchesPointTestOnDegenerateSmallPolygons) {
    // Coordinates on a small grid: many collinear edges, repeated points, horizontal and
    // vertical edges, vertices on scan lines and self-intersections.
    std::mt19937 random(1234);
    for (int trial = 0; trial < 400; ++trial) {
        const int n = 3 + trial % 10;
        const QVector<QPoint> points = roitest::randomPolygon(random, n, 0, 16);
        ASSERT_TRUE(sameAsReference(points, boundsOf(points, 2))) << "trial " << trial;
    }
}

TEST(PolygonMask, MatchesPointTestOnLargerAndNegativePolygons) {
    std::mt19937 random(99);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 3 + trial % 37;
        const QVector<QPoint> points = roitest::randomPolygon(random, n, -150, 150);
        ASSERT_TRUE(sameAsReference(points, boundsOf(points, 1))) << "trial " << trial;
    }
}

TEST(PolygonMask, MatchesPointTestOnFreehandLoopsWithOddSizes) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 6; ++trial) {
        const QVector<QPoint> points =
            roitest::freehandLoop(random, 300 + 97 * trial, 120, 90, 40 + 13 * trial);
        // The mask area of a shape: min .. max - 1 of the points.
        QRect area = boundsOf(points, 0);
        area.setRight(area.right() - 1);
        area.setBottom(area.bottom() - 1);
        ASSERT_TRUE(sameAsReference(points, area)) << "trial " << trial;
    }
}

TEST(PolygonMask, AreaOffTheShapeAndDegenerateInput) {
    const QVector<QPoint> square = {QPoint(0, 0), QPoint(10, 0), QPoint(10, 10), QPoint(0, 10)};
    QRect partial;
    partial.setCoords(5, -3, 17, 6);  // overlaps the square's right part only
    EXPECT_TRUE(sameAsReference(square, partial));
    QRect outside;
    outside.setCoords(20, 20, 24, 22);
    EXPECT_EQ(cv::countNonZero(roi::polygonInteriorMask(square.constData(), 4, outside)), 0);

    QRect empty;
    empty.setCoords(3, 3, 2, 2);
    EXPECT_TRUE(roi::polygonInteriorMask(square.constData(), 4, empty).empty());
    QRect area;
    area.setCoords(0, 0, 9, 9);
    const cv::Mat twoPoints = roi::polygonInteriorMask(square.constData(), 2, area);
    ASSERT_EQ(twoPoints.size(), cv::Size(10, 10));
    EXPECT_EQ(cv::countNonZero(twoPoints), 0);
}

TEST(PolygonMask, ShapeMaskUsesImagePoints) {
    std::mt19937 random(8);
    const QVector<QPoint> display = roitest::freehandLoop(random, 700, 400, 300, 150);
    RePolygon polygon(display.size(), display.constData());
    polygon.setShowA(1.7f, 1.3f);
    polygon.setImageRect();
    QVector<QPoint> image(polygon.imagePoints, polygon.imagePoints + polygon.count);
    const cv::Mat mask = polygon.UpdateMask();
    ASSERT_EQ(mask.cols, polygon.imageRect.width());
    ASSERT_EQ(mask.rows, polygon.imageRect.height());
    EXPECT_EQ(cv::norm(mask, reference(image, polygon.imageRect), cv::NORM_INF), 0.0);
}
