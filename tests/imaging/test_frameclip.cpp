#include <gtest/gtest.h>

#include "frameclip.h"

using imaging::clippedRect;
using imaging::clipToFrame;

TEST(FrameClip, InsideRectangleIsUnchanged) {
    const auto c = clipToFrame(QRect(QPoint(2, 3), QPoint(11, 8)), cv::Size(20, 10));
    EXPECT_EQ(c.inFrame, cv::Rect(2, 3, 10, 6));
    EXPECT_EQ(c.inMask, cv::Rect(0, 0, 10, 6));
    EXPECT_FALSE(c.isEmpty());
}

TEST(FrameClip, RectangleReachingPastEveryBorderIsCut) {
    // A ring's square around a centre near the top-left corner.
    auto c = clipToFrame(QRect(QPoint(-5, -7), QPoint(14, 12)), cv::Size(31, 17));
    EXPECT_EQ(c.inFrame, cv::Rect(0, 0, 15, 13));
    EXPECT_EQ(c.inMask, cv::Rect(5, 7, 15, 13));

    c = clipToFrame(QRect(QPoint(25, 10), QPoint(40, 30)), cv::Size(31, 17));
    EXPECT_EQ(c.inFrame, cv::Rect(25, 10, 6, 7));
    EXPECT_EQ(c.inMask, cv::Rect(0, 0, 6, 7));

    c = clipToFrame(QRect(QPoint(-10, -10), QPoint(100, 100)), cv::Size(31, 17));
    EXPECT_EQ(c.inFrame, cv::Rect(0, 0, 31, 17));
    EXPECT_EQ(c.inMask, cv::Rect(10, 10, 31, 17));
}

TEST(FrameClip, EmptyInvertedOrOutsideGivesNothing) {
    EXPECT_TRUE(clipToFrame(QRect(), cv::Size(10, 10)).isEmpty());
    QRect swapped;
    swapped.setCoords(8, 8, 2, 2);
    EXPECT_TRUE(clipToFrame(swapped, cv::Size(10, 10)).isEmpty());
    EXPECT_TRUE(clipToFrame(QRect(QPoint(10, 0), QPoint(20, 5)), cv::Size(10, 10)).isEmpty());
    EXPECT_TRUE(clipToFrame(QRect(QPoint(-9, -9), QPoint(-1, -1)), cv::Size(10, 10)).isEmpty());
    EXPECT_TRUE(clipToFrame(QRect(QPoint(0, 0), QPoint(5, 5)), cv::Size(0, 0)).isEmpty());
    EXPECT_TRUE(clippedRect(swapped, 10, 10).isEmpty());
}

TEST(FrameClip, InclusiveFormForPixelLoops) {
    EXPECT_EQ(clippedRect(QRect(QPoint(-3, 4), QPoint(12, 20)), 10, 8),
              QRect(QPoint(0, 4), QPoint(9, 7)));
}
