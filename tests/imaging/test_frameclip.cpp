#include <gtest/gtest.h>

#include "frameclip.h"

using imaging::clippedRect;
using imaging::clipToFrame;

TEST(FrameClip, RectanglesAreCutAtEveryBorderTogetherWithTheirMask) {
    const struct {
        QRect area;
        cv::Rect inFrame, inMask;
    } cases[] = {
        {QRect(QPoint(2, 3), QPoint(11, 8)), {2, 3, 10, 6}, {0, 0, 10, 6}},  // inside
        // A ring's square around a centre near the top-left corner.
        {QRect(QPoint(-5, -7), QPoint(14, 12)), {0, 0, 15, 13}, {5, 7, 15, 13}},
        {QRect(QPoint(25, 10), QPoint(40, 30)), {25, 10, 6, 7}, {0, 0, 6, 7}},
        {QRect(QPoint(-10, -10), QPoint(100, 100)), {0, 0, 31, 17}, {10, 10, 31, 17}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        const auto clipped = clipToFrame(c.area, cv::Size(31, 17));
        EXPECT_EQ(clipped.inFrame, c.inFrame);
        EXPECT_EQ(clipped.inMask, c.inMask);
        EXPECT_FALSE(clipped.isEmpty());
    }
    // The inclusive form for pixel loops.
    EXPECT_EQ(clippedRect(QRect(QPoint(-3, 4), QPoint(12, 20)), 10, 8),
              QRect(QPoint(0, 4), QPoint(9, 7)));
}

TEST(FrameClip, EmptyInvertedOrOutsideGivesNothing) {
    QRect swapped;
    swapped.setCoords(8, 8, 2, 2);
    for (const QRect& area : {QRect(), swapped, QRect(QPoint(10, 0), QPoint(20, 5)),
                              QRect(QPoint(-9, -9), QPoint(-1, -1))})
        EXPECT_TRUE(clipToFrame(area, cv::Size(10, 10)).isEmpty());
    EXPECT_TRUE(clipToFrame(QRect(QPoint(0, 0), QPoint(5, 5)), cv::Size(0, 0)).isEmpty());
    EXPECT_TRUE(clippedRect(swapped, 10, 10).isEmpty());
}
