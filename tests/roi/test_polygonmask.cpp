#include <gtest/gtest.h>

#include <QPolygon>
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
    return QPolygon(points).boundingRect().adjusted(-grow, -grow, grow, grow);
}

::testing::AssertionResult sameAsReference(const QVector<QPoint>& points, const QRect& area) {
    const cv::Mat fast = roi::polygonInteriorMask(points.constData(), points.size(), area);
    const cv::Mat slow = reference(points, area);
    if (fast.size() == slow.size() && cv::norm(fast, slow, cv::NORM_INF) == 0)
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "mask differs from the point test; polygon:";
    for (const QPoint& p : points) failure << " (" << p.x() << "," << p.y() << ")";
    return failure;
}

}  // namespace

TEST(PolygonMask, MatchesPointTestOnRandomPolygons) {
    // Coordinates on a small grid give many collinear edges, repeated points, horizontal and
    // vertical edges, vertices on scan lines and self-intersections; larger ones reach into
    // negative coordinates.
    const struct {
        unsigned seed;
        int trials, extraPoints, lo, hi, grow;
    } sets[] = {{1234, 400, 10, 0, 16, 2}, {99, 60, 37, -150, 150, 1}};
    for (const auto& set : sets) {
        std::mt19937 random(set.seed);
        for (int trial = 0; trial < set.trials; ++trial) {
            const int n = 3 + trial % set.extraPoints;
            const QVector<QPoint> points = roitest::randomPolygon(random, n, set.lo, set.hi);
            ASSERT_TRUE(sameAsReference(points, boundsOf(points, set.grow)))
                << "seed " << set.seed << " trial " << trial;
        }
    }
    // Freehand loops of many points with odd sizes; the mask area of a shape covers
    // min .. max - 1 of its points.
    std::mt19937 random(5);
    for (int trial = 0; trial < 6; ++trial) {
        const QVector<QPoint> points =
            roitest::freehandLoop(random, 300 + 97 * trial, 120, 90, 40 + 13 * trial);
        QRect area = boundsOf(points, 0);
        area.setBottomRight(area.bottomRight() - QPoint(1, 1));
        ASSERT_TRUE(sameAsReference(points, area)) << "freehand trial " << trial;
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
