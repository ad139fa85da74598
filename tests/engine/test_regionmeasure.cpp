// The per-region building blocks: grey bands, kernels, the count clearing rule, blob measurement
// and the decision with the limits each record reports.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "cammerrecong.h"
#include "regionmeasure.h"
#include "roilimits.h"
#include "wizardpara.h"

using namespace engine;

namespace {

cv::Mat ramp() {
    cv::Mat m(1, 256, CV_8UC1);
    for (int v = 0; v < 256; ++v) m.at<uchar>(0, v) = uchar(v);
    return m;
}

TEST(GreyBand, ThresholdKeepsBothLimitsAndNothingForAnInvertedBand) {
    cv::Mat out;
    CammerRecong::ThresholdFUNC(ramp(), out, 40, 200);
    ASSERT_EQ(out.size(), cv::Size(256, 1));
    EXPECT_EQ(out.at<uchar>(0, 39), 0);
    EXPECT_EQ(out.at<uchar>(0, 40), 255);
    EXPECT_EQ(out.at<uchar>(0, 200), 255);
    EXPECT_EQ(out.at<uchar>(0, 201), 0);
    EXPECT_EQ(cv::countNonZero(out), 161);

    CammerRecong::ThresholdFUNC(ramp(), out, 201, 200);
    EXPECT_EQ(cv::countNonZero(out), 0);
    CammerRecong::ThresholdFUNC(ramp(), out, 0, 255);
    EXPECT_EQ(cv::countNonZero(out), 256);
}

TEST(GreyBand, BandOfEachFunction) {
    // Spot: high byte 40, low byte 200 gives [40, 200], whichever byte is larger.
    GreyBand b = bandFor(roi::kFuncSpot, 0, (40 << 8) | 200);
    EXPECT_EQ(b.lo, 40);
    EXPECT_EQ(b.hi, 200);
    b = bandFor(roi::kFuncSpot, 0, (200 << 8) | 40 | (7 << 16));
    EXPECT_EQ(b.lo, 40);
    EXPECT_EQ(b.hi, 200);
    for (int f : {roi::kFuncDarkArea, roi::kFuncDarkCount}) {
        b = bandFor(f, 0x1FF & (256 + 60), 0);
        EXPECT_EQ(b.lo, 0);
        EXPECT_EQ(b.hi, 60) << f;
    }
    for (int f : {roi::kFuncBrightArea, roi::kFuncBrightCount}) {
        b = bandFor(f, 180, 0);
        EXPECT_EQ(b.lo, 180);
        EXPECT_EQ(b.hi, 255) << f;
    }
    b = bandFor(9, 12, 34);
    EXPECT_EQ(b.lo, 0);
    EXPECT_EQ(b.hi, 255);
}

TEST(GreyBand, FunctionFamilies) {
    for (int f : {roi::kFuncIgnore, roi::kFuncPosition, roi::kFuncRegistration})
        EXPECT_TRUE(isUninspected(f)) << f;
    for (int f : {0, 1, 4, 5, 6, 7, 8, 9, 11}) EXPECT_FALSE(isUninspected(f)) << f;
    for (int f : {1, 4, 5, 7, 8, 9, 11, -1}) EXPECT_TRUE(isBandFunction(f)) << f;
    for (int f : {0, 2, 3, 6, 10}) EXPECT_FALSE(isBandFunction(f)) << f;
}

TEST(Kernel, KernelOfEachFunction) {
    WizardPara para;
    para.filterSize = 5;
    para.minSpot = 3;
    para.showAllParam = 1;
    EXPECT_EQ(openingKernel(roi::kFuncDefect, 7, para), 7);
    para.showAllParam = 0;
    EXPECT_EQ(openingKernel(roi::kFuncDefect, 7, para), 5);
    EXPECT_EQ(openingKernel(roi::kFuncSimilarity, 7, para), 1);
    EXPECT_EQ(openingKernel(roi::kFuncBrightCount, 10, para), 21);
    EXPECT_EQ(openingKernel(roi::kFuncDarkCount, -4, para), 1);
    EXPECT_EQ(openingKernel(roi::kFuncDarkCount, INT_MAX, para), INT_MAX);
    EXPECT_EQ(openingKernel(roi::kFuncSpot, 7, para), 3);
    EXPECT_EQ(openingKernel(roi::kFuncDarkArea, 7, para), 3);
}

TEST(Kernel, CountRegionsTooSmallForTheirKernelAreCleared) {
    // Kernel 21: a 40 x 40 region keeps its picture (38 > 21), 11 x 30 is cleared (8 <= 21).
    EXPECT_FALSE(countKernelTooLarge(cv::Size(40, 40), 21, kCountClearSlackRun));
    EXPECT_TRUE(countKernelTooLarge(cv::Size(30, 11), 21, kCountClearSlackRun));
    // Kernel 9 in 12 x 12: the inspection keeps it (10 > 9), the single-region test clears it
    // (9 >= 9).
    EXPECT_FALSE(countKernelTooLarge(cv::Size(12, 12), 9, kCountClearSlackRun));
    EXPECT_TRUE(countKernelTooLarge(cv::Size(12, 12), 9, kCountClearSlackTest));
}

TEST(Opening, RemovesSpecksSmallerThanTheKernelAndSurvivesGarbageSizes) {
    cv::Mat bin(60, 60, CV_8UC1, cv::Scalar(0));
    cv::rectangle(bin, cv::Rect(5, 5, 2, 2), 255, cv::FILLED);
    cv::rectangle(bin, cv::Rect(30, 30, 12, 12), 255, cv::FILLED);
    cv::Mat out;
    openRegion(bin, out, 5);
    EXPECT_EQ(out.at<uchar>(5, 5), 0);
    EXPECT_EQ(out.at<uchar>(36, 36), 255);
    openRegion(bin, out, 1);
    EXPECT_EQ(cv::countNonZero(out), cv::countNonZero(bin));
    openRegion(bin, out, 0);  // a 0 setting means no filtering
    EXPECT_EQ(cv::countNonZero(out), cv::countNonZero(bin));
    openRegion(bin, out, INT_MAX);
    EXPECT_EQ(cv::countNonZero(out), 0);
    // A region touching the border keeps its border pixels.
    cv::Mat full(20, 20, CV_8UC1, cv::Scalar(255));
    openRegion(full, out, 5);
    EXPECT_EQ(cv::countNonZero(out), 400);
}

TEST(Blobs, AreasAddUpOverAllBlobsButOnly99BoxesAreKept) {
    cv::Mat out(300, 300, CV_8UC1, cv::Scalar(0));
    for (int k = 0; k < 150; ++k)
        cv::rectangle(out, cv::Rect((k % 15) * 20 + 2, (k / 15) * 20 + 2, 5, 5), 255, cv::FILLED);
    DefectList defects;
    const BlobMeasure m = measureBlobs(out, cv::Point(100, 50), &defects);
    EXPECT_EQ(m.count, 150);
    EXPECT_EQ(m.area, 150 * 16);  // a 5 x 5 square's contour encloses 4 x 4
    EXPECT_EQ(defects.count, kMaxDefectRects);
    for (int k = 0; k < defects.count; ++k) {
        const DefectRect& r = defects.rects[size_t(k)];
        EXPECT_EQ(r.x2 - r.x1, 5);
        EXPECT_EQ(r.y2 - r.y1, 5);
        EXPECT_GE(r.x1, 100);
        EXPECT_GE(r.y1, 50);
    }
}

TEST(Blobs, EmptyPictureMeasuresNothing) {
    DefectList defects;
    defects.count = 7;
    const BlobMeasure m = measureBlobs(cv::Mat::zeros(10, 10, CV_8UC1), {}, &defects);
    EXPECT_EQ(m.area, 0);
    EXPECT_EQ(m.count, 0);
    EXPECT_EQ(defects.count, 0);
}

class Judge : public testing::Test {
protected:
    void SetUp() override {
        para.showAllParam = 1;
        para.templateIsNG = 0;
        para.alarmArea = 500;
    }
    WizardPara para;
};

TEST_F(Judge, SpotPassesInsideItsAreaLimits) {
    EXPECT_FALSE(judgeRegion(roi::kFuncSpot, 700, 1, 0, 700, 1000, 0, para).ng);
    EXPECT_FALSE(judgeRegion(roi::kFuncSpot, 1000, 1, 0, 700, 1000, 0, para).ng);
    EXPECT_TRUE(judgeRegion(roi::kFuncSpot, 699, 1, 0, 700, 1000, 0, para).ng);
    const Verdict v = judgeRegion(roi::kFuncSpot, 1001, 1, 0, 700, 1000, 0, para);
    EXPECT_TRUE(v.ng);
    EXPECT_EQ(v.lower, 700);
    EXPECT_EQ(v.upper, 1000);
    EXPECT_EQ(v.param, -1);
}

TEST_F(Judge, AreasFailAboveTheirLimit) {
    for (int f : {roi::kFuncDarkArea, roi::kFuncBrightArea}) {
        EXPECT_FALSE(judgeRegion(f, 50, 1, 0, 60, 50, 3, para).ng);
        const Verdict v = judgeRegion(f, 51, 1, 0, 60, 50, 3, para);
        EXPECT_TRUE(v.ng);
        EXPECT_EQ(v.lower, 0);
        EXPECT_EQ(v.upper, 50);
        EXPECT_EQ(v.param, -1);
    }
}

TEST_F(Judge, SimilarityReportsTheScore) {
    const Verdict v = judgeRegion(roi::kFuncSimilarity, 1234, 3, 69, 70, 0, 0, para);
    EXPECT_TRUE(v.ng);
    EXPECT_EQ(v.value, 69);
    EXPECT_EQ(v.lower, 70);
    EXPECT_EQ(v.upper, -1);
    EXPECT_FALSE(judgeRegion(roi::kFuncSimilarity, 0, 0, 70, 70, 0, 0, para).ng);
}

TEST_F(Judge, CountsPassWithinTheirPackedRange) {
    const int range = (5 << 16) | 2;
    for (int f : {roi::kFuncBrightCount, roi::kFuncDarkCount}) {
        for (int n : {2, 3, 5}) EXPECT_FALSE(judgeRegion(f, 999, n, 0, 0, range, 0, para).ng);
        for (int n : {0, 1, 6}) EXPECT_TRUE(judgeRegion(f, 999, n, 0, 0, range, 0, para).ng);
        const Verdict v = judgeRegion(f, 999, 4, 0, 0, range, 0, para);
        EXPECT_EQ(v.value, 4);
        EXPECT_EQ(v.lower, 2);
        EXPECT_EQ(v.upper, 5);
    }
    // The upper half is read unsigned.
    const Verdict v = judgeRegion(roi::kFuncBrightCount, 0, 3, 0, 0, int(0xFFFF0001u), 0, para);
    EXPECT_EQ(v.upper, 0xFFFF);
    EXPECT_FALSE(v.ng);
}

TEST_F(Judge, DefectLimitIsTheRegionsOwnOrTheGlobalOne) {
    Verdict v = judgeRegion(roi::kFuncDefect, 100, 1, 0, 25, 100, 3, para);
    EXPECT_FALSE(v.ng);  // equal to the limit passes
    EXPECT_EQ(v.lower, 25);
    EXPECT_EQ(v.upper, 100);
    EXPECT_EQ(v.param, 3);
    EXPECT_TRUE(judgeRegion(roi::kFuncDefect, 101, 1, 0, 25, 100, 3, para).ng);

    para.showAllParam = 0;  // the global alarm area decides; the record keeps roiParam2
    v = judgeRegion(roi::kFuncDefect, 400, 1, 0, 25, 100, 3, para);
    EXPECT_FALSE(v.ng);
    EXPECT_EQ(v.upper, 100);
    EXPECT_TRUE(judgeRegion(roi::kFuncDefect, 501, 1, 0, 25, 100, 3, para).ng);
}

TEST_F(Judge, TemplateIsNgTurnsTheComparisonRoundAndTheLimitPassesEitherWay) {
    para.templateIsNG = 1;
    EXPECT_FALSE(judgeRegion(roi::kFuncDefect, 100, 1, 0, 25, 100, 3, para).ng);
    EXPECT_TRUE(judgeRegion(roi::kFuncDefect, 99, 1, 0, 25, 100, 3, para).ng);
    EXPECT_FALSE(judgeRegion(9, 150, 1, 0, 25, 100, 3, para).ng);
    EXPECT_TRUE(judgeRegion(12, 0, 0, 0, 25, 100, 3, para).ng);
}

}  // namespace
