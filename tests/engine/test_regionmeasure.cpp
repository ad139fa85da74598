// The per-region building blocks: grey bands, kernels and the opening, and the decision with the
// limits each record reports.
#include <gtest/gtest.h>

#include <climits>
#include <opencv2/imgproc.hpp>

#include "cammerrecong.h"
#include "regionmeasure.h"
#include "roilimits.h"
#include "wizardpara.h"

using namespace engine;

namespace {

TEST(GreyBand, BandsAreInclusiveAndReadFromTheParameterBytes) {
    cv::Mat ramp(1, 256, CV_8UC1), out;
    for (int v = 0; v < 256; ++v) ramp.at<uchar>(0, v) = uchar(v);
    // Both limits are inclusive; an inverted band is empty.
    const struct { int lo, hi, count; } bands[] = {{40, 200, 161}, {201, 200, 0}, {0, 255, 256}};
    for (const auto& b : bands) {
        CammerRecong::ThresholdFUNC(ramp, out, b.lo, b.hi);
        EXPECT_EQ(cv::countNonZero(out), b.count) << b.lo << ".." << b.hi;
    }

    // Spot: the two low bytes of param3, whichever is larger; areas and counts: param1's low
    // byte; any other code: everything.
    const struct {
        int func, param1, param3, lo, hi;
    } rows[] = {
        {roi::kFuncSpot, 0, (40 << 8) | 200, 40, 200},
        {roi::kFuncSpot, 0, (200 << 8) | 40 | (7 << 16), 40, 200},
        {roi::kFuncDarkArea, 256 + 60, 0, 0, 60},
        {roi::kFuncDarkCount, 60, 0, 0, 60},
        {roi::kFuncBrightArea, 180, 0, 180, 255},
        {roi::kFuncBrightCount, 256 + 180, 0, 180, 255},
        {9, 12, 34, 0, 255},
    };
    for (const auto& r : rows) {
        const GreyBand b = bandFor(r.func, r.param1, r.param3);
        EXPECT_EQ(b.lo, r.lo) << r.func << " " << r.param3;
        EXPECT_EQ(b.hi, r.hi) << r.func << " " << r.param3;
    }
}

TEST(Opening, KernelOfEachFunctionAndGarbageSizes) {
    WizardPara para;
    para.filterSize = 5;
    para.minSpot = 3;
    const struct {
        int func, param3, showAll, kernel;
    } rows[] = {
        {roi::kFuncDefect, 7, 1, 7},     {roi::kFuncDefect, 7, 0, 5},
        {roi::kFuncSimilarity, 7, 1, 1}, {roi::kFuncBrightCount, 10, 1, 21},
        {roi::kFuncDarkCount, -4, 1, 1}, {roi::kFuncDarkCount, INT_MAX, 1, INT_MAX},
        {roi::kFuncSpot, 7, 1, 3},       {roi::kFuncDarkArea, 7, 1, 3},
    };
    for (const auto& r : rows) {
        para.showAllParam = r.showAll;
        EXPECT_EQ(openingKernel(r.func, r.param3, para), r.kernel) << r.func << " " << r.param3;
    }

    cv::Mat bin(60, 60, CV_8UC1, cv::Scalar(0)), out;
    cv::rectangle(bin, cv::Rect(5, 5, 2, 2), 255, cv::FILLED);
    cv::rectangle(bin, cv::Rect(30, 30, 12, 12), 255, cv::FILLED);
    openRegion(bin, out, 5);
    EXPECT_EQ(out.at<uchar>(5, 5), 0);
    EXPECT_EQ(out.at<uchar>(36, 36), 255);
    for (const int k : {1, 0}) {  // a 0 setting means no filtering
        openRegion(bin, out, k);
        EXPECT_EQ(cv::countNonZero(out), cv::countNonZero(bin)) << k;
    }
    openRegion(bin, out, INT_MAX);  // no kernel of gigabytes
    EXPECT_EQ(cv::countNonZero(out), 0);
    // A region touching the border keeps its border pixels.
    openRegion(cv::Mat(20, 20, CV_8UC1, cv::Scalar(255)), out, 5);
    EXPECT_EQ(cv::countNonZero(out), 400);
}

// Where each function's limit lies; the limits the records report are checked end to end.
TEST(Judge, EachFunctionsLimitIsInclusive) {
    WizardPara para;
    para.alarmArea = 500;
    const int range = (5 << 16) | 2;  // counts: 2..5
    // A value that passes and one that fails; each is the area, the blob count and the
    // similarity score alike.
    const struct {
        int func, pass, fail, p1, p2, showAll, templateIsNG;
    } rows[] = {
        {roi::kFuncSpot, 700, 699, 700, 1000, 1, 0},
        {roi::kFuncSpot, 1000, 1001, 700, 1000, 1, 0},
        {roi::kFuncDarkArea, 50, 51, 60, 50, 1, 0},
        {roi::kFuncBrightArea, 50, 51, 60, 50, 1, 0},
        {roi::kFuncSimilarity, 70, 69, 70, 0, 1, 0},
        {roi::kFuncBrightCount, 2, 6, 0, range, 1, 0},
        {roi::kFuncDarkCount, 5, 1, 0, range, 1, 0},
        // Defects and other codes: the region's own limit or the global alarm area...
        {roi::kFuncDefect, 100, 101, 25, 100, 1, 0},
        {roi::kFuncDefect, 500, 501, 25, 100, 0, 0},
        // ...and "template is NG" turns the comparison round; the limit passes either way.
        {roi::kFuncDefect, 100, 99, 25, 100, 1, 1},
        {9, 150, 0, 25, 100, 1, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "function " << r.func << " global " << !r.showAll);
        para.showAllParam = r.showAll;
        para.templateIsNG = r.templateIsNG;
        EXPECT_FALSE(judgeRegion(r.func, r.pass, r.pass, r.pass, r.p1, r.p2, 3, para).ng);
        EXPECT_TRUE(judgeRegion(r.func, r.fail, r.fail, r.fail, r.p1, r.p2, 3, para).ng);
    }
    // The upper half of the count range is read unsigned.
    const Verdict v = judgeRegion(roi::kFuncBrightCount, 0, 3, 0, 0, int(0xFFFF0001u), 0, para);
    EXPECT_FALSE(v.ng);
    EXPECT_EQ(v.upper, 0xFFFF);
}

}  // namespace
