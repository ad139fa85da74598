// Every inspection function end to end on drawn scenes: it passes on the good scene and fails on
// a scene with the fault it is meant to catch, with the value, defect boxes and result mask.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "roilimits.h"

using namespace enginetest;

namespace {

const cv::Size kFrame(640, 480);

TEST(DefectInspection, GoodPartPassesAndAStainIsFoundWithItsBoxAndMask) {
    Rig rig(kFrame.width, kFrame.height);
    const cv::Mat scene = texturedScene(kFrame, 11);
    for (int k = 0; k < 3; ++k) rig.setTemplate(0, k, withNoise(scene, 2.0, 100 + k));
    const cv::Rect area(200, 150, 200, 150);
    const int i = rig.addRect(0, roi::kFuncDefect, area, 25, 30, 3);
    rig.build();
    EXPECT_TRUE(rig.inspect(withNoise(scene, 2.0, 7)));
    EXPECT_LE(rig.ctx.roiValue[0][i], 30);

    cv::Mat bad = withNoise(scene, 2.0, 7);
    const cv::Rect stain(260, 200, 16, 16);
    bad(stain) += cv::Scalar(90);
    bad(stain).setTo(250, bad(stain) < 90);  // stays far from the template even where it was dark
    const cv::Point speck(300, 260);
    bad(cv::Rect(speck, cv::Size(2, 2))).setTo(scene.at<uchar>(speck) > 128 ? 0 : 255);
    EXPECT_FALSE(rig.inspect(bad));
    EXPECT_EQ(rig.ctx.roiOK[0][i], 0);
    EXPECT_GE(rig.ctx.roiValue[0][i], 150);
    const engine::DefectList& d = rig.ctx.defectRects[0][size_t(i)];
    bool covered = false;
    for (int k = 0; k < d.count; ++k) {
        const engine::DefectRect& r = d.rects[size_t(k)];
        covered |= r.x1 <= stain.x + 2 && r.y1 <= stain.y + 2 && r.x2 >= stain.br().x - 2 &&
                   r.y2 >= stain.br().y - 2;
    }
    EXPECT_TRUE(covered);
    const cv::Mat mask = rig.resultMask();
    EXPECT_EQ(mask.at<uchar>(stain.y + 8, stain.x + 8), 255);
    EXPECT_EQ(cv::countNonZero(mask.rowRange(0, area.y)), 0);
    EXPECT_EQ(mask.at<uchar>(speck), 0);  // below the region's filter size 3
    rig.param->roiParam3[0][i] = 1;
    rig.inspect(0);
    EXPECT_EQ(rig.resultMask().at<uchar>(speck), 255);
}

// All grey-band functions on one flat board; each fault fails its own region only. The ring
// shows that only the region's shape is measured.
TEST(BandInspection, EachFunctionPassesTheGoodBoardAndFailsOnItsFault) {
    Rig rig(kFrame.width, kFrame.height);
    const auto pin = [](int k) { return cv::Rect(30 + (k % 3) * 25, 150 + (k / 3) * 25, 10, 10); };
    const auto hole = [pin](int k) { return pin(k) + cv::Point(120, 0); };
    cv::Mat good = flat(kFrame, 128, 1.5, 1);
    good(cv::Rect(160, 40, 30, 30)).setTo(5);    // darkness the bright area ignores
    good(cv::Rect(300, 40, 30, 30)).setTo(210);  // the spot's insert
    for (int k = 0; k < 3; ++k) good(pin(k)).setTo(250);
    for (int k = 0; k < 4; ++k) good(hole(k)).setTo(10);
    good(cv::Rect(430, 375, 10, 10)).setTo(0);  // in the ring's band
    good(cv::Rect(475, 375, 10, 10)).setTo(0);  // in the ring's hole

    const int dark = rig.addRect(0, roi::kFuncDarkArea, {20, 20, 100, 100}, 60, 50, 0);
    const int bright = rig.addRect(0, roi::kFuncBrightArea, {140, 20, 120, 80}, 200, 40, 0);
    // Band [190, 230] from the two bytes; area limits 700..1000 (29 x 29 = 841).
    const int spot = rig.addRect(0, roi::kFuncSpot, {280, 20, 80, 80}, 700, 1000, (190 << 8) | 230);
    // 2..5 bright pins, exactly 4 dark holes; kernel 2 x 2 + 1 = 5 keeps the 10 x 10 ones.
    const int pins =
        rig.addRect(0, roi::kFuncBrightCount, {20, 140, 100, 100}, 200, (5 << 16) | 2, 2);
    const int holes =
        rig.addRect(0, roi::kFuncDarkCount, {140, 140, 100, 100}, 60, (4 << 16) | 4, 2);
    const int ring = rig.addRing(0, roi::kFuncDarkArea, {480, 380}, 60, 20, 60, 1000, 0);
    rig.train(good);
    EXPECT_TRUE(rig.inspect(good));
    const std::pair<int, int> goodValues[] = {{dark, 0}, {bright, 0}, {spot, 29 * 29},
                                              {pins, 3}, {holes, 4},  {ring, 81}};
    for (const auto& [i, value] : goodValues) EXPECT_EQ(rig.ctx.roiValue[0][i], value) << i;

    const struct {
        const char* what;
        std::vector<std::pair<cv::Rect, int>> patches;  // painted on the good board
        int region;
        bool ok;
        int value;
    } rows[] = {
        {"dark stain", {{{40, 40, 20, 20}, 20}}, dark, false, 19 * 19},
        {"glare", {{{160, 80, 40, 6}, 250}}, bright, false, 39 * 5},
        {"insert missing", {{{300, 40, 30, 30}, 128}}, spot, false, 0},
        {"insert too large", {{{290, 30, 50, 50}, 210}}, spot, false, 49 * 49},
        {"2 pins", {{pin(2), 128}}, pins, true, 2},
        {"5 pins", {{pin(3), 250}, {pin(4), 250}}, pins, true, 5},
        {"1 pin", {{pin(1), 128}, {pin(2), 128}}, pins, false, 1},
        {"6 pins", {{pin(3), 250}, {pin(4), 250}, {pin(5), 250}}, pins, false, 6},
        {"3 holes", {{hole(3), 128}}, holes, false, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        cv::Mat frame = good.clone();
        for (const auto& [rect, grey] : row.patches) frame(rect).setTo(grey);
        EXPECT_EQ(rig.inspect(frame), row.ok);
        for (int i = 0; i <= ring; ++i)
            EXPECT_EQ(rig.ctx.roiOK[0][i], i == row.region ? int(row.ok) : 1) << i;
        EXPECT_EQ(rig.ctx.roiValue[0][row.region], row.value);
        if (row.region == pins || row.region == holes) {
            EXPECT_EQ(rig.ctx.defectRects[0][size_t(row.region)].count, row.value);
        }
    }
}

TEST(BandInspection, OnehundredAndFiftyBlobsCountFullyButKeep99Boxes) {
    Rig rig(kFrame.width, kFrame.height);
    cv::Mat img = flat(kFrame, 128, 1.0, 5);
    for (int k = 0; k < 150; ++k)
        img(cv::Rect(20 + (k % 15) * 20, 20 + (k / 15) * 20, 5, 5)).setTo(0);
    const int i = rig.addRect(0, roi::kFuncDarkArea, {10, 10, 310, 210}, 60, 100000, 0);
    rig.train(img);
    EXPECT_TRUE(rig.inspect(img));
    EXPECT_EQ(rig.ctx.roiValue[0][i], 150 * 16);  // a 5 x 5 square's contour encloses 4 x 4
    EXPECT_EQ(rig.ctx.defectRects[0][size_t(i)].count, engine::kMaxDefectRects);
}

}  // namespace
