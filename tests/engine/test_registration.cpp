// Position correction and the colour path (registration: test_scenes.cpp).
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "imagehelpers.h"
#include "roilimits.h"

using namespace enginetest;

namespace {

const cv::Size kFrame(640, 480);
const cv::Rect kWhole(cv::Point(), kFrame);
constexpr int kMargin = 120;

// The template scene with a margin on every side, so that a moved or warped part shows no border.
cv::Mat bigScene(unsigned seed) {
    return texturedScene(kFrame + cv::Size(2 * kMargin, 2 * kMargin), seed);
}
cv::Mat inner(const cv::Mat& big) {
    return big(cv::Rect(cv::Point(kMargin, kMargin), kFrame)).clone();
}

TEST(PositionCorrection, ShiftedOrTurnedPartIsBroughtBack) {
    const cv::Rect model(140, 100, 360, 280), inspected(240, 180, 160, 120);
    const cv::Mat big = bigScene(41), templ = inner(big);
    Rig rig(kFrame.width, kFrame.height);
    rig.para->motionCorrect = 0;
    const int position = rig.addRect(0, roi::kFuncPosition, model, 0, 0, 0);
    rig.addRect(0, roi::kFuncDefect, inspected, 30, 40, 3);
    rig.setTemplate(0, 0, templ);
    rig.setTemplate(0, 1, withNoise(templ, 2.0, 1));
    rig.build();
    EXPECT_EQ(rig.engine->shapeRefX[0], model.x + model.width / 2);
    EXPECT_EQ(rig.engine->shapeRefY[0], model.y + model.height / 2);
    EXPECT_EQ(rig.engine->shapeSearchRect[0], cv::Rect(100, 60, 440, 360));

    const cv::Point2d centre(model.x + model.width / 2, model.y + model.height / 2);
    const struct {
        int rotateAngle;
        double angle;
        cv::Point2d shift;
    } moves[] = {{10, 4.0, {14, -9}}, {0, 0.0, {-20, 12}}, {10, 0.0, {-20, 12}}};
    for (const auto& m : moves) {
        SCOPED_TRACE(m.rotateAngle);
        rig.para->rotateAngle = m.rotateAngle;
        rig.para->motionCorrect = 0;
        rig.engine->CreateShape(0);
        ASSERT_TRUE(rig.engine->shapeModel[0].IsValid());
        const cv::Mat frame =
            withNoise(posed(big, kMargin, kFrame, centre, m.angle, m.shift), 2.0, 5);
        EXPECT_TRUE(rig.inspect(frame));
        EXPECT_LT(meanAbsDiff(rig.aligned(), templ, inspected), 4.0);
        if (m.angle == 0.0) {
            // A part that did not turn is moved back whole pixels, not resampled.
            cv::Mat moved;
            MoveImage(frame, moved, int(-m.shift.x), int(-m.shift.y));
            EXPECT_EQ(cv::norm(rig.aligned(), moved, cv::NORM_INF), 0.0);
        }
        EXPECT_EQ(rig.ctx.roiOK[0][position], 1);
        rig.para->motionCorrect = -1;  // the same frame without correction fails
        EXPECT_FALSE(rig.inspect(0));
    }

    // The detection the controller runs is corrected, whatever registration last saw.
    rig.para->motionCorrect = 0;
    rig.setFrame(withNoise(posed(big, kMargin, kFrame, centre, 0.0, {10, 10}), 2.0, 5));
    int asked = 0;
    rig.ctx.currentDetect = [&] {
        ++asked;
        return 0;
    };
    rig.engine->HomoTransShape(3);
    rig.engine->ShapeMatch();
    EXPECT_EQ(asked, 1);
    EXPECT_LT(meanAbsDiff(rig.aligned(), templ, inspected), 4.0);

    // A part that is not found leaves the frame as it is.
    const cv::Mat blank = flat(kFrame, 90, 0.0, 1);
    rig.setFrame(blank);
    rig.engine->HomoTransShape(0);
    rig.engine->ShapeMatch(0);
    EXPECT_EQ(meanAbsDiff(rig.aligned(), blank, kWhole), 0.0);
}

TEST(PositionCorrection, ModelAreaAndItsRetraining) {
    Rig rig(kFrame.width, kFrame.height);
    rig.para->motionCorrect = 0;
    rig.train(texturedScene(kFrame, 2));
    // Without a position area the lower-right three quarters are modelled, searched within 40
    // pixels clipped to the frame.
    ASSERT_TRUE(rig.engine->shapeModel[0].IsValid());
    EXPECT_EQ(rig.engine->shapeRefX[0], 160 + 240);
    EXPECT_EQ(rig.engine->shapeRefY[0], 120 + 180);
    EXPECT_EQ(rig.engine->shapeSearchRect[0], cv::Rect(120, 80, 520, 400));

    rig.para->motionCorrect = -1;  // switched off: no model survives a retraining
    rig.engine->CreateShape(0);
    EXPECT_FALSE(rig.engine->shapeModel[0].IsValid());
    rig.para->motionCorrect = 0;
    rig.addRect(0, roi::kFuncPosition, {700, 500, 50, 50}, 0, 0, 0);  // outside the frame
    rig.engine->CreateShape(0);
    EXPECT_FALSE(rig.engine->shapeModel[0].IsValid());
}

// ---- colour cameras (bytes R, G, B, A) ----

TEST(ColourCamera, GreyInspectionFindsAStainAndRegistrationCopiesTheWholeFrame) {
    Rig rig(kFrame.width, kFrame.height, /*color=*/true, /*grayHue=*/true);
    rig.para->angleCorrect = 1;
    rig.para->motionCorrect = 0;
    const cv::Mat scene = texturedScene(kFrame, 61);
    const int i = rig.addRect(0, roi::kFuncDefect, {200, 150, 200, 150}, 25, 30, 3);
    rig.setTemplate(0, 0, grayToRgba(scene, 77));
    rig.setTemplate(0, 1, grayToRgba(withNoise(scene, 2.0, 1), 77));
    rig.build();
    EXPECT_FALSE(rig.engine->homoReady[0]);
    EXPECT_FALSE(rig.engine->shapeModel[0].IsValid());
    // The brightness reference is the last template, made grey.
    cv::Mat lastGrey(kFrame, CV_8UC1);
    RGBA2Gray(lastGrey.data, reinterpret_cast<const int*>(rig.ctx.templateBuf[0][1].data()),
              kFrame.width, kFrame.height);
    EXPECT_DOUBLE_EQ(rig.engine->tempNorm[0], cv::norm(lastGrey));
    EXPECT_TRUE(rig.inspect(grayToRgba(withNoise(scene, 2.0, 2), 77)));
    cv::Mat bad = withNoise(scene, 2.0, 2);
    bad(cv::Rect(260, 200, 20, 20)).setTo(255);
    bad(cv::Rect(262, 202, 16, 16)).setTo(0);
    EXPECT_FALSE(rig.inspect(grayToRgba(bad, 77)));
    EXPECT_EQ(rig.ctx.roiOK[0][i], 0);

    cv::Mat frame(kFrame, CV_8UC4);
    cv::randu(frame, 0, 256);  // every byte, alpha included, must come through
    rig.inspect(frame);
    EXPECT_EQ(rig.ctx.registeredBuf, rig.ctx.grabBuf);
    EXPECT_EQ(rig.ctx.alignedBuf, rig.ctx.grabBuf);
}

TEST(ColourCamera, HueInspectionSeesAColourChangeOfEqualBrightness) {
    Rig rig(kFrame.width, kFrame.height, true, /*grayHue=*/false);
    const cv::Scalar red(200, 40, 40, 0), green(40, 110, 40, 0);
    cv::Mat good(kFrame, CV_8UC4, red);
    // Hue at least 60 (red is 0, green 85) in the region.
    const int i = rig.addRect(0, roi::kFuncBrightArea, {100, 100, 100, 100}, 60, 20, 0);
    rig.train(good);
    EXPECT_TRUE(rig.inspect(good));

    cv::Mat bad = good.clone();
    bad(cv::Rect(120, 120, 20, 20)).setTo(green);
    const int pixels[] = {200 | (40 << 8) | (40 << 16), 40 | (110 << 8) | (40 << 16)};
    uchar grey[2];
    RGBA2Gray(grey, pixels, 2, 1);
    ASSERT_LE(std::abs(grey[0] - grey[1]), 10);  // nearly the same grey
    EXPECT_FALSE(rig.inspect(bad));
    EXPECT_EQ(rig.ctx.roiValue[0][i], 19 * 19);
    // A retrain leaves the live picture to the editing page's region test.
    rig.engine->VarTrain(0);
    rig.engine->RunTest(0, i);
    EXPECT_EQ(rig.ctx.roiValue[0][i], 19 * 19);
}

}  // namespace
