// Training: ignore points and ignore areas, which templates are added, the brightness reference,
// retraining, and detections that were not trained or never prepared.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "roilimits.h"

using namespace enginetest;

namespace {

const cv::Size kFrame(640, 480);
const cv::Rect kWhole(cv::Point(), kFrame);

// A stain of the defect matcher's kind: a bright frame around a dark square.
void stain(cv::Mat& frame, cv::Rect r) {
    frame(r).setTo(255);
    frame(r + cv::Point(2, 2) - cv::Size(4, 4)).setTo(0);
}

TEST(IgnoreTest, IgnoreAreaReplacesTheIgnorePointsInsideItsRectangle) {
    // A ring ignore area: inside its bounding square only the ring is excluded; ignore points
    // in the square's corner are inspected again, ignore points elsewhere still hold.
    Rig rig(kFrame.width, kFrame.height);
    const cv::Mat board = flat(kFrame, 128, 1.5, 1);
    const int dark = rig.addRect(0, roi::kFuncDarkArea, {20, 20, 400, 300}, 60, 10, 0);
    rig.addRing(0, roi::kFuncIgnore, {200, 150}, 80, 0, 0, 0, 0);
    rig.ignorePoints(0, {125, 75, 20, 20});  // corner of the ring's square, outside the ring
    rig.ignorePoints(0, {30, 30, 30, 30});   // far from the ring
    rig.train(board);

    cv::Mat frame = board.clone();
    frame(cv::Rect(180, 130, 30, 30)).setTo(0);  // under the ring
    frame(cv::Rect(35, 35, 20, 20)).setTo(0);    // under the far ignore points
    EXPECT_TRUE(rig.inspect(frame));
    EXPECT_EQ(rig.ctx.roiValue[0][dark], 0);

    frame(cv::Rect(127, 77, 16, 16)).setTo(0);  // under the replaced ignore points
    EXPECT_FALSE(rig.inspect(frame));
    EXPECT_EQ(rig.ctx.roiValue[0][dark], 15 * 15);
    // Ignore areas are not inspected and give no record.
    for (const param_roi& r : rig.apiList) EXPECT_NE(r.algorithm_type, roi::kFuncIgnore);
}

TEST(IgnoreTest, IgnorePointsAndAreasHideStainsFromTheDefectMatcher) {
    Rig rig(kFrame.width, kFrame.height);
    const cv::Mat scene = texturedScene(kFrame, 5);
    const int i = rig.addRect(0, roi::kFuncDefect, {200, 150, 200, 150}, 25, 30, 3);
    rig.ignorePoints(0, {250, 190, 40, 40});
    rig.addRect(0, roi::kFuncIgnore, {330, 230, 40, 40}, 0, 0, 0);
    rig.setTemplate(0, 0, scene);
    rig.setTemplate(0, 1, withNoise(scene, 2.0, 2));
    rig.build();
    cv::Mat frame = withNoise(scene, 2.0, 3);
    stain(frame, {260, 200, 20, 20});
    stain(frame, {335, 235, 30, 30});
    EXPECT_TRUE(rig.inspect(frame));
    stain(frame, {220, 250, 20, 20});  // where nothing is ignored
    EXPECT_FALSE(rig.inspect(frame));
    EXPECT_EQ(rig.ctx.roiOK[0][i], 0);
}

// ---- templates and the brightness reference ----

TEST(TemplateTraining, AtMostTemplateCountUsedSlotsAreAddedLowestFirst) {
    Rig rig(kFrame.width, kFrame.height);
    const int i = rig.addRect(0, roi::kFuncDefect, {100, 100, 100, 100}, 10, 0, 1);
    rig.setTemplate(0, 0, flat(kFrame, 50, 0, 1));
    rig.setTemplate(0, 3, flat(kFrame, 100, 0, 1));
    rig.setTemplate(0, 5, flat(kFrame, 200, 0, 1));
    rig.ctx.templateCount[0] = 2;
    rig.build();
    // The brightness reference is the last template added: slot 3.
    EXPECT_DOUBLE_EQ(rig.engine->tempNorm[0], cv::norm(flat(kFrame, 100, 0, 1)));
    EXPECT_TRUE(rig.inspect(flat(kFrame, 100, 0, 1)));
    EXPECT_FALSE(rig.inspect(flat(kFrame, 200, 0, 1)));  // slot 5 was not learnt
    EXPECT_GT(rig.ctx.roiValue[0][i], 0);
}

TEST(TemplateTraining, BrightnessIsMatchedOnlyAgainstAReference) {
    Rig rig(kFrame.width, kFrame.height);
    const int dark = rig.addRect(0, roi::kFuncDarkArea, {100, 100, 100, 100}, 100, 10, 0);
    const int defect = rig.addRect(0, roi::kFuncDefect, {300, 100, 100, 100}, 10, 0, 1);
    rig.para->matchBrightness = 1;
    rig.build();
    // No used template: no reference, no defect matcher, and the picture is not scaled to black.
    EXPECT_EQ(rig.engine->tempNorm[0], 0.0);
    EXPECT_FALSE(rig.engine->grayMatch[0][size_t(defect)].IsValid());
    EXPECT_TRUE(rig.inspect(flat(kFrame, 150, 1.0, 2)));
    EXPECT_EQ(rig.ctx.roiValue[0][dark], 0);
    EXPECT_EQ(rig.ctx.roiValue[0][defect], 0);

    // Without defect or similarity regions the reference is set all the same. A frame at half
    // the light is dark everywhere unless its brightness is matched.
    rig.param->roiCount[0] = 1;
    const cv::Mat templ = flat(kFrame, 150, 2.0, 1);
    rig.setTemplate(0, 0, templ);
    rig.engine->VarTrain(0);
    EXPECT_DOUBLE_EQ(rig.engine->tempNorm[0], cv::norm(templ));
    cv::Mat dim;
    templ.convertTo(dim, CV_8U, 0.5);
    EXPECT_TRUE(rig.inspect(dim));
    rig.para->matchBrightness = 0;
    EXPECT_FALSE(rig.inspect(0));
}

TEST(TemplateTraining, RetrainingReplacesTheMatchers) {
    Rig rig(kFrame.width, kFrame.height);
    const int i = rig.addRect(0, roi::kFuncDefect, {100, 100, 100, 100}, 10, 0, 1);
    const int s = rig.addRect(0, roi::kFuncSimilarity, {300, 100, 100, 100}, 50, 0, 0);
    rig.train(texturedScene(kFrame, 4));
    EXPECT_TRUE(rig.engine->grayMatch[0][size_t(i)].IsValid());
    EXPECT_TRUE(rig.engine->surfMatch[0][size_t(s)].IsValid());
    rig.param->roiFunc[0][i] = roi::kFuncDarkArea;
    rig.param->roiFunc[0][s] = roi::kFuncBrightArea;
    rig.engine->VarTrain(0);
    EXPECT_FALSE(rig.engine->grayMatch[0][size_t(i)].IsValid());
    EXPECT_FALSE(rig.engine->surfMatch[0][size_t(s)].IsValid());
}

// ---- detections that cannot be inspected ----

TEST(UntrainedDetection, DisabledOrNeverPreparedDetectionsFailEveryRegionAsUntrained) {
    // Detection 2 is prepared but disabled at construction; detection 5 is enabled but was
    // never prepared.
    Rig rig(kFrame.width, kFrame.height, false, true, /*preparedDetections=*/3);
    rig.para->detectEnable[5] = 1;
    rig.para->motionCorrect = 0;
    rig.para->angleCorrect = 1;
    for (const int g : {2, 5}) {
        rig.addRect(g, roi::kFuncDarkArea, {100, 100, 50, 50}, 60, 10, 0);
        rig.addRect(g, roi::kFuncPosition, {100, 100, 50, 50}, 0, 0, 0);
        rig.addRect(g, roi::kFuncDefect, {200, 100, 50, 50}, 25, 10, 3);
    }
    rig.setTemplate(2, 0, flat(kFrame, 128, 0, 1));
    rig.build();
    EXPECT_TRUE(rig.engine->detMask[2].empty());
    EXPECT_FALSE(rig.engine->shapeModel[5].IsValid());
    EXPECT_FALSE(rig.engine->homoReady[5]);
    const cv::Mat frame = texturedScene(kFrame, 8);
    for (const int g : {2, 5}) {
        SCOPED_TRACE(g);
        rig.records.clear();
        EXPECT_FALSE(rig.inspect(frame, g));
        const QString code = QStringLiteral("REG RUN ERROR = 0, %1, -2").arg(g);
        EXPECT_EQ(rig.records, QStringList({code, code}));
        EXPECT_EQ(rig.ctx.roiOK[g][0], 0);
        EXPECT_EQ(rig.ctx.roiOK[g][1], 1);  // position areas are not inspected
        EXPECT_TRUE(rig.apiList.isEmpty());
    }
    EXPECT_EQ(meanAbsDiff(rig.aligned(), frame, kWhole), 0.0);
    rig.engine->RunTest(5, 0);  // nothing to measure on, nothing breaks
    EXPECT_EQ(rig.ctx.roiValue[5][0], 0);

    rig.engine->VarTrain(2);  // trained on request
    rig.records.clear();
    EXPECT_TRUE(rig.inspect(flat(kFrame, 128, 0, 1), 2));
    EXPECT_TRUE(rig.records.isEmpty());
    EXPECT_EQ(rig.apiList.size(), 2);
}

}  // namespace
