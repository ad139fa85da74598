// Every inspection function end to end on drawn scenes: it passes on the good scene and fails on
// a scene with the fault it is meant to catch, with the value, defect boxes and result mask.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "roilimits.h"

using namespace enginetest;

namespace {

const cv::Size kFrame(640, 480);

// ---- grey-template defects ----

class DefectInspection : public testing::Test {
protected:
    void SetUp() override {
        scene_ = texturedScene(kFrame, 11);
        for (int k = 0; k < 3; ++k) rig_.setTemplate(0, k, withNoise(scene_, 2.0, 100 + k));
        region_ = rig_.addRect(0, roi::kFuncDefect, kArea, 25, 30, 3);
        rig_.build();
    }
    const cv::Rect kArea{200, 150, 200, 150};
    Rig rig_{kFrame.width, kFrame.height};
    cv::Mat scene_;
    int region_ = 0;
};

TEST_F(DefectInspection, GoodPartPasses) {
    rig_.setFrame(withNoise(scene_, 2.0, 7));
    EXPECT_TRUE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiOK[0][region_], 1);
    EXPECT_LE(rig_.ctx.roiValue[0][region_], 30);
}

TEST_F(DefectInspection, StainIsFoundWithItsBoxAndMask) {
    cv::Mat bad = withNoise(scene_, 2.0, 7);
    const cv::Rect stain(260, 200, 16, 16);
    bad(stain) += cv::Scalar(90);
    bad(stain).setTo(250, bad(stain) < 90);  // stays far from the template even where it was dark
    rig_.setFrame(bad);
    EXPECT_FALSE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiOK[0][region_], 0);
    EXPECT_GE(rig_.ctx.roiValue[0][region_], 150);
    const engine::DefectList& d = rig_.ctx.defectRects[0][size_t(region_)];
    ASSERT_GE(d.count, 1);
    bool covered = false;
    for (int k = 0; k < d.count; ++k) {
        const engine::DefectRect& r = d.rects[size_t(k)];
        if (r.x1 <= stain.x + 2 && r.y1 <= stain.y + 2 && r.x2 >= stain.br().x - 2 &&
            r.y2 >= stain.br().y - 2)
            covered = true;
    }
    EXPECT_TRUE(covered);
    const cv::Mat mask = rig_.resultMask();
    EXPECT_EQ(mask.at<uchar>(stain.y + 8, stain.x + 8), 255);
    EXPECT_EQ(cv::countNonZero(mask(cv::Rect(0, 0, kFrame.width, kArea.y))), 0);
}

TEST_F(DefectInspection, SpecksBelowTheFilterSizeAreFilteredOut) {
    cv::Mat bad = withNoise(scene_, 2.0, 7);
    const cv::Rect speck(300, 220, 2, 2);
    bad(speck).setTo(scene_.at<uchar>(speck.y, speck.x) > 128 ? 0 : 255);
    rig_.setFrame(bad);
    rig_.inspect(0);
    EXPECT_EQ(rig_.resultMask().at<uchar>(speck.y, speck.x), 0);  // region filter 3
    rig_.param->roiParam3[0][region_] = 1;
    rig_.inspect(0);
    EXPECT_EQ(rig_.resultMask().at<uchar>(speck.y, speck.x), 255);
}

TEST_F(DefectInspection, GlobalLimitAndFilterApplyWithoutPerRegionParameters) {
    cv::Mat bad = withNoise(scene_, 2.0, 7);
    bad(cv::Rect(260, 200, 16, 16)).setTo(255);
    rig_.setFrame(bad);
    rig_.para->showAllParam = 0;
    rig_.para->alarmArea = 100000;  // a large global limit lets the stain pass
    EXPECT_TRUE(rig_.inspect(0));
    ASSERT_FALSE(rig_.apiList.isEmpty());
    EXPECT_EQ(rig_.apiList.last().algorithm_areaMin, 30);  // still the region's own limit
    rig_.para->alarmArea = 10;
    rig_.para->filterSize = 31;  // ...and a large global filter removes it
    EXPECT_TRUE(rig_.inspect(0));
    rig_.para->filterSize = 3;
    EXPECT_FALSE(rig_.inspect(0));
}

// ---- grey bands on flat boards ----

class BandInspection : public testing::Test {
protected:
    void train(const cv::Mat& templ) {
        rig_.setTemplate(0, 0, templ);
        rig_.build();
    }
    Rig rig_{kFrame.width, kFrame.height};
};

TEST_F(BandInspection, DarkAreaCatchesADarkStain) {
    const cv::Mat good = flat(kFrame, 128, 2.0, 1);
    const int i = rig_.addRect(0, roi::kFuncDarkArea, {50, 50, 100, 100}, 60, 50, 0);
    train(good);
    rig_.setFrame(good);
    EXPECT_TRUE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 0);

    cv::Mat bad = good.clone();
    bad(cv::Rect(70, 70, 20, 20)).setTo(20);
    rig_.setFrame(bad);
    EXPECT_FALSE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 19 * 19);
    EXPECT_EQ(rig_.ctx.defectRects[0][size_t(i)].count, 1);
    const engine::DefectRect r = rig_.ctx.defectRects[0][size_t(i)].rects[0];
    EXPECT_EQ(r.x1, 70);
    EXPECT_EQ(r.y1, 70);
    EXPECT_EQ(r.x2, 90);
    EXPECT_EQ(r.y2, 90);
}

TEST_F(BandInspection, BrightAreaCatchesAGlareAndIgnoresDarkness) {
    const cv::Mat good = flat(kFrame, 128, 2.0, 1);
    const int i = rig_.addRect(0, roi::kFuncBrightArea, {300, 200, 120, 80}, 200, 40, 0);
    train(good);
    cv::Mat dark = good.clone();
    dark(cv::Rect(320, 220, 30, 30)).setTo(5);
    rig_.setFrame(dark);
    EXPECT_TRUE(rig_.inspect(0));
    cv::Mat bad = good.clone();
    bad(cv::Rect(320, 220, 40, 6)).setTo(250);
    rig_.setFrame(bad);
    EXPECT_FALSE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 39 * 5);
}

TEST_F(BandInspection, SpotChecksThatAnInsertOfTheRightSizeIsThere) {
    cv::Mat good = flat(kFrame, 230, 2.0, 1);
    good(cv::Rect(120, 120, 30, 30)).setTo(120);
    // Band [100, 140] from the two bytes; area limits 700..1000 (29 x 29 = 841).
    const int i = rig_.addRect(0, roi::kFuncSpot, {100, 100, 80, 80}, 700, 1000, (100 << 8) | 140);
    train(good);
    rig_.setFrame(good);
    EXPECT_TRUE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 29 * 29);

    rig_.setFrame(flat(kFrame, 230, 2.0, 2));  // insert missing
    EXPECT_FALSE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 0);

    cv::Mat big = flat(kFrame, 230, 2.0, 3);
    big(cv::Rect(110, 110, 50, 50)).setTo(120);  // insert too large
    rig_.setFrame(big);
    EXPECT_FALSE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 49 * 49);
}

cv::Mat dots(int count, int grey, int background) {
    cv::Mat img = flat(kFrame, background, 1.5, 9);
    for (int k = 0; k < count; ++k)
        img(cv::Rect(210 + (k % 3) * 25, 210 + (k / 3) * 25, 10, 10)).setTo(grey);
    return img;
}

TEST_F(BandInspection, BrightCountPassesWithinItsRange) {
    // 2..5 bright pins; kernel 2 x 2 + 1 = 5 keeps the 10 x 10 pins.
    const int i =
        rig_.addRect(0, roi::kFuncBrightCount, {200, 200, 100, 100}, 200, (5 << 16) | 2, 2);
    train(dots(3, 250, 50));
    for (int n : {2, 3, 5}) {
        rig_.setFrame(dots(n, 250, 50));
        EXPECT_TRUE(rig_.inspect(0)) << n;
        EXPECT_EQ(rig_.ctx.roiValue[0][i], n);
    }
    for (int n : {1, 6}) {
        rig_.setFrame(dots(n, 250, 50));
        EXPECT_FALSE(rig_.inspect(0)) << n;
        EXPECT_EQ(rig_.ctx.roiValue[0][i], n);
        EXPECT_EQ(rig_.ctx.defectRects[0][size_t(i)].count, n);
    }
}

TEST_F(BandInspection, DarkCountFindsMissingHoles) {
    const int i = rig_.addRect(0, roi::kFuncDarkCount, {200, 200, 100, 100}, 60, (4 << 16) | 4, 2);
    train(dots(4, 10, 180));
    rig_.setFrame(dots(4, 10, 180));
    EXPECT_TRUE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 4);
    rig_.setFrame(dots(3, 10, 180));
    EXPECT_FALSE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 3);
}

TEST_F(BandInspection, CountRegionTooSmallForItsKernelCountsNothing) {
    cv::Mat img = flat(kFrame, 50, 1.0, 4);
    img(cv::Rect(100, 100, 30, 30)).setTo(250);
    img(cv::Rect(300, 100, 30, 11)).setTo(250);
    // Kernel 21: the 40 x 40 region keeps its pin, the 30 x 11 one is cleared.
    const int keeps = rig_.addRect(0, roi::kFuncBrightCount, {95, 95, 40, 40}, 200, 1 << 16, 10);
    const int cleared =
        rig_.addRect(0, roi::kFuncBrightCount, {300, 100, 30, 11}, 200, 1 << 16, 10);
    train(img);
    rig_.setFrame(img);
    rig_.inspect(0);
    EXPECT_EQ(rig_.ctx.roiValue[0][keeps], 1);
    EXPECT_EQ(rig_.ctx.roiValue[0][cleared], 0);
    EXPECT_EQ(rig_.ctx.roiOK[0][keeps], 1);
    EXPECT_EQ(rig_.ctx.roiOK[0][cleared], 1);  // 0 lies in the range 0..1
}

TEST_F(BandInspection, OnehundredAndFiftyBlobsCountFullyButKeep99Boxes) {
    cv::Mat img = flat(kFrame, 128, 1.0, 5);
    for (int k = 0; k < 150; ++k)
        img(cv::Rect(20 + (k % 15) * 20, 20 + (k / 15) * 20, 5, 5)).setTo(0);
    const int i = rig_.addRect(0, roi::kFuncDarkArea, {10, 10, 310, 210}, 60, 100000, 0);
    train(img);
    rig_.setFrame(img);
    EXPECT_TRUE(rig_.inspect(0));
    EXPECT_EQ(rig_.ctx.roiValue[0][i], 150 * 16);
    EXPECT_EQ(rig_.ctx.defectRects[0][size_t(i)].count, 99);
}

TEST_F(BandInspection, RegionShapesLimitTheMeasurement) {
    cv::Mat img = flat(kFrame, 128, 1.0, 6);
    img(cv::Rect(100, 145, 10, 10)).setTo(0);  // inside the ring's band
    img(cv::Rect(145, 145, 10, 10)).setTo(0);  // in the ring's hole
    img(cv::Rect(104, 210, 10, 10)).setTo(0);  // in the bounding box, outside the triangle
    const int ring = rig_.addRing(0, roi::kFuncDarkArea, {150, 150}, 60, 20, 60, 1000, 0);
    const int tri =
        rig_.addPolygon(0, roi::kFuncDarkArea, {{100, 200}, {300, 200}, {300, 300}}, 60, 1000, 0);
    train(img);
    rig_.setFrame(img);
    rig_.inspect(0);
    EXPECT_EQ(rig_.ctx.roiValue[0][ring], 81);
    EXPECT_EQ(rig_.ctx.roiValue[0][tri], 0);
}

// ---- similarity ----

TEST(SimilarityInspection, SamePartScoresHighAndAnotherPartLow) {
    Rig rig(kFrame.width, kFrame.height);
    const cv::Mat scene = texturedScene(kFrame, 21);
    const cv::Rect area(180, 140, 160, 120);
    const int i = rig.addRect(0, roi::kFuncSimilarity, area, 60, 0, 0);
    rig.setTemplate(0, 0, withNoise(scene, 2.0, 1));
    rig.build();
    rig.setFrame(withNoise(scene, 2.0, 2));
    EXPECT_TRUE(rig.inspect(0));
    const int good = rig.ctx.roiValue[0][i];
    EXPECT_GE(good, 60);

    cv::Mat other = withNoise(scene, 2.0, 3);
    texturedScene(kFrame, 99)(area).copyTo(other(area));
    rig.setFrame(other);
    EXPECT_FALSE(rig.inspect(0));
    EXPECT_LT(rig.ctx.roiValue[0][i], 60);
    EXPECT_LT(rig.ctx.roiValue[0][i], good);
    ASSERT_FALSE(rig.apiList.isEmpty());
    EXPECT_EQ(rig.apiList.last().algorithm_result, rig.ctx.roiValue[0][i]);
    EXPECT_EQ(rig.apiList.last().algorithm_sensitivity, 60);
    EXPECT_EQ(rig.apiList.last().algorithm_areaMin, -1);
}

}  // namespace
