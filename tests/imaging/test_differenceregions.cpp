#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "differenceregions.h"

using imaging::differenceRegions;

TEST(DifferenceRegions, TheLargestChangesBecomeUpToTwoPolygonsLargestFirst) {
    const cv::Mat before(120, 160, CV_8UC1, cv::Scalar(60));
    const struct {
        const char* what;
        std::vector<cv::Rect> changed;
        int step;  // grey step of the changed squares
        std::vector<cv::Rect> expected;
    } cases[] = {
        {"nothing changed", {}, 100, {}},
        {"one square", {{20, 30, 40, 40}}, 100, {{20, 30, 40, 40}}},
        {"three squares: the two largest",
         {{5, 5, 20, 20}, {40, 10, 60, 50}, {110, 70, 30, 30}},
         100,
         {{40, 10, 60, 50}, {110, 70, 30, 30}}},
        {"a speck", {{50, 50, 3, 3}}, 100, {}},
        {"too small a change to count", {{20, 30, 40, 40}}, imaging::kDifferenceThreshold - 10, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cv::Mat after = before.clone();
        for (const cv::Rect& r : c.changed) after(r).setTo(cv::Scalar(60 + c.step));
        const auto regions = differenceRegions(before, after);
        ASSERT_EQ(regions.size(), c.expected.size());
        for (size_t i = 0; i < regions.size(); ++i) {
            EXPECT_EQ(cv::boundingRect(regions[i]), c.expected[i]);
            EXPECT_TRUE(cv::isContourConvex(regions[i]));
        }
    }
}

TEST(DifferenceRegions, PicturesThatDoNotMatchGiveNothing) {
    const cv::Mat grey(40, 40, CV_8UC1, cv::Scalar(0));
    EXPECT_TRUE(differenceRegions(grey, cv::Mat(40, 41, CV_8UC1, cv::Scalar(255))).empty());
    EXPECT_TRUE(differenceRegions(grey, cv::Mat(40, 40, CV_8UC3, cv::Scalar::all(255))).empty());
}
