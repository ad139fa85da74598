// Position correction, homography registration and the colour path.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "imagehelpers.h"
#include "roilimits.h"

using namespace enginetest;

namespace {

const cv::Size kFrame(640, 480);
constexpr int kMargin = 120;

class PositionCorrection : public testing::Test {
protected:
    void SetUp() override {
        big_ = texturedScene(kFrame + cv::Size(2 * kMargin, 2 * kMargin), 41);
        templ_ = big_(cv::Rect(kMargin, kMargin, kFrame.width, kFrame.height)).clone();
        rig_.para->motionCorrect = 0;
        rig_.para->rotateAngle = 10;
        rig_.para->shapeOffset = 40;
        position_ = rig_.addRect(0, roi::kFuncPosition, kModel, 0, 0, 0);
        defect_ = rig_.addRect(0, roi::kFuncDefect, kInspected, 30, 40, 3);
        rig_.setTemplate(0, 0, templ_);
        rig_.setTemplate(0, 1, withNoise(templ_, 2.0, 1));
    }
    cv::Mat movedPart(double angle, cv::Point2d shift) const {
        const cv::Point2d centre(kModel.x + kModel.width / 2, kModel.y + kModel.height / 2);
        return withNoise(posed(big_, kMargin, kFrame, centre, angle, shift), 2.0, 5);
    }

    const cv::Rect kModel{140, 100, 360, 280};
    const cv::Rect kInspected{240, 180, 160, 120};
    Rig rig_{kFrame.width, kFrame.height};
    cv::Mat big_, templ_;
    int position_ = 0, defect_ = 0;
};

TEST_F(PositionCorrection, ShiftedAndTurnedPartIsBroughtBack) {
    rig_.build();
    ASSERT_TRUE(rig_.engine->shapeModel[0].IsValid());
    EXPECT_EQ(rig_.engine->shapeRefX[0], kModel.x + kModel.width / 2);
    EXPECT_EQ(rig_.engine->shapeRefY[0], kModel.y + kModel.height / 2);
    EXPECT_EQ(rig_.engine->shapeSearchRect[0], cv::Rect(100, 60, 440, 360));

    rig_.setFrame(movedPart(4.0, {14, -9}));
    EXPECT_TRUE(rig_.inspect(0));
    EXPECT_LT(meanAbsDiff(rig_.aligned(), templ_, kInspected), 4.0);
    EXPECT_EQ(rig_.ctx.roiOK[0][position_], 1);

    // The same frame without correction fails.
    rig_.para->motionCorrect = -1;
    EXPECT_FALSE(rig_.inspect(0));
}

TEST_F(PositionCorrection, TranslationOnlyWhenNoRotationIsAsked) {
    rig_.para->rotateAngle = 0;
    rig_.build();
    rig_.setFrame(movedPart(0.0, {-20, 12}));
    EXPECT_TRUE(rig_.inspect(0));
    EXPECT_LT(meanAbsDiff(rig_.aligned(), templ_, kInspected), 4.0);
}

TEST_F(PositionCorrection, CurrentDetectionOfTheControllerIsCorrected) {
    rig_.build();
    rig_.setFrame(movedPart(0.0, {10, 10}));
    int asked = 0;
    rig_.ctx.currentDetect = [&] {
        ++asked;
        return 0;
    };
    rig_.engine->HomoTransShape(3);  // another detection: registration copies
    rig_.engine->ShapeMatch();
    EXPECT_EQ(asked, 1);
    EXPECT_LT(meanAbsDiff(rig_.aligned(), templ_, kInspected), 4.0);
}

TEST_F(PositionCorrection, PartNotFoundLeavesTheFrameAsItIs) {
    rig_.build();
    const cv::Mat blank = flat(kFrame, 90, 0.0, 1);
    rig_.setFrame(blank);
    rig_.engine->HomoTransShape(0);
    rig_.engine->ShapeMatch(0);
    EXPECT_EQ(meanAbsDiff(rig_.aligned(), blank, {0, 0, kFrame.width, kFrame.height}), 0.0);
}

TEST(PositionModel, WithoutAPositionAreaTheLowerRightThreeQuartersAreModelled) {
    Rig rig(kFrame.width, kFrame.height);
    rig.para->motionCorrect = 0;
    rig.para->shapeOffset = 40;
    rig.setTemplate(0, 0, texturedScene(kFrame, 2));
    rig.build();
    ASSERT_TRUE(rig.engine->shapeModel[0].IsValid());
    EXPECT_EQ(rig.engine->shapeRefX[0], 160 + 240);
    EXPECT_EQ(rig.engine->shapeRefY[0], 120 + 180);
    // Grown by 40 and clipped to the frame.
    EXPECT_EQ(rig.engine->shapeSearchRect[0], cv::Rect(120, 80, 520, 400));

    rig.para->motionCorrect = -1;  // switched off: no model survives a retraining
    rig.engine->CreateShape(0);
    EXPECT_FALSE(rig.engine->shapeModel[0].IsValid());
}

TEST(PositionModel, PositionAreaOutsideTheFrameGivesNoModel) {
    Rig rig(kFrame.width, kFrame.height);
    rig.para->motionCorrect = 0;
    rig.addRect(0, roi::kFuncPosition, {700, 500, 50, 50}, 0, 0, 0);
    rig.setTemplate(0, 0, texturedScene(kFrame, 2));
    rig.build();
    EXPECT_FALSE(rig.engine->shapeModel[0].IsValid());
}

// ---- homography ----

TEST(HomographyRegistration, WarpedFrameIsRegisteredOntoTheTemplate) {
    Rig rig(kFrame.width, kFrame.height);
    const cv::Mat big = texturedScene(kFrame + cv::Size(2 * kMargin, 2 * kMargin), 51);
    const cv::Mat templ = big(cv::Rect(kMargin, kMargin, kFrame.width, kFrame.height)).clone();
    rig.para->angleCorrect = 1;
    const cv::Rect inspected(220, 160, 200, 160);
    rig.addRect(0, roi::kFuncRegistration, {60, 40, 520, 400}, 0, 0, 0);
    rig.addRect(0, roi::kFuncDefect, inspected, 30, 40, 3);
    rig.setTemplate(0, 0, templ);
    rig.build();
    ASSERT_TRUE(rig.engine->homoReady[0]);

    // A slight perspective tilt, turn and shift.
    const cv::Matx33d H(0.99, -0.03, 12.0, 0.025, 1.01, -8.0, 2e-5, -1.5e-5, 1.0);
    rig.setFrame(withNoise(warped(big, kMargin, kFrame, H), 1.5, 3));
    EXPECT_TRUE(rig.inspect(0));
    EXPECT_LT(meanAbsDiff(rig.registered(), templ, inspected), 4.0);

    rig.para->angleCorrect = 0;
    EXPECT_FALSE(rig.inspect(0));
}

TEST(HomographyRegistration, FrameWithoutFeaturesIsCopied) {
    Rig rig(kFrame.width, kFrame.height);
    rig.para->angleCorrect = 1;
    rig.setTemplate(0, 0, texturedScene(kFrame, 52));
    rig.build();
    const cv::Mat blank = flat(kFrame, 77, 0.0, 1);
    rig.setFrame(blank);
    EXPECT_EQ(rig.engine->HomoTransShape(0), 1);
    EXPECT_EQ(meanAbsDiff(rig.registered(), blank, {0, 0, kFrame.width, kFrame.height}), 0.0);
}

// ---- colour cameras ----

class ColourCamera : public testing::Test {
protected:
    cv::Mat rgba(const cv::Mat& gray) const { return grayToRgba(gray, 77); }
};

TEST_F(ColourCamera, GreyInspectionFindsAStain) {
    Rig rig(kFrame.width, kFrame.height, /*color=*/true, /*grayHue=*/true);
    const cv::Mat scene = texturedScene(kFrame, 61);
    const int i = rig.addRect(0, roi::kFuncDefect, {200, 150, 200, 150}, 25, 30, 3);
    rig.setTemplate(0, 0, rgba(scene));
    rig.setTemplate(0, 1, rgba(withNoise(scene, 2.0, 1)));
    rig.build();
    EXPECT_DOUBLE_EQ(rig.engine->tempNorm[0],
                     cv::norm(rig.ctx.grayView(rig.ctx.grayBuf)));  // last template, grey
    rig.setFrame(rgba(withNoise(scene, 2.0, 2)));
    EXPECT_TRUE(rig.inspect(0));
    cv::Mat bad = withNoise(scene, 2.0, 2);
    bad(cv::Rect(260, 200, 20, 20)).setTo(255);
    bad(cv::Rect(262, 202, 16, 16)).setTo(0);
    rig.setFrame(rgba(bad));
    EXPECT_FALSE(rig.inspect(0));
    EXPECT_EQ(rig.ctx.roiOK[0][i], 0);
}

TEST_F(ColourCamera, RegistrationAndPositionCorrectionCopyTheWholeFrame) {
    Rig rig(kFrame.width, kFrame.height, true, true);
    rig.para->angleCorrect = 1;
    rig.para->motionCorrect = 0;
    rig.setTemplate(0, 0, rgba(texturedScene(kFrame, 62)));
    rig.build();
    EXPECT_FALSE(rig.engine->homoReady[0]);
    EXPECT_FALSE(rig.engine->shapeModel[0].IsValid());

    cv::Mat frame(kFrame, CV_8UC4);
    cv::randu(frame, 0, 256);  // every byte, alpha included, must come through
    rig.setFrame(frame);
    rig.engine->HomoTransShape(0);
    rig.engine->ShapeMatch(0);
    EXPECT_EQ(rig.ctx.registeredBuf, rig.ctx.grabBuf);
    EXPECT_EQ(rig.ctx.alignedBuf, rig.ctx.grabBuf);
}

TEST_F(ColourCamera, HueInspectionSeesAColourChangeOfEqualBrightness) {
    Rig rig(kFrame.width, kFrame.height, true, /*grayHue=*/false);
    auto paint = [](cv::Mat& img, cv::Rect r, uchar red, uchar green, uchar blue) {
        img(r).setTo(cv::Scalar(red, green, blue, 0));  // bytes R, G, B, A
    };
    cv::Mat good(kFrame, CV_8UC4);
    paint(good, {0, 0, kFrame.width, kFrame.height}, 200, 40, 40);  // red
    // Hue at least 60 (red is 0, green 85) in the region.
    const int i = rig.addRect(0, roi::kFuncBrightArea, {100, 100, 100, 100}, 60, 20, 0);
    rig.setTemplate(0, 0, good);
    rig.build();
    rig.setFrame(good);
    EXPECT_TRUE(rig.inspect(0));

    cv::Mat bad = good.clone();
    paint(bad, {120, 120, 20, 20}, 40, 110, 40);  // green patch
    uchar greyRed = 0, greyGreen = 0;
    const int redPixel = 200 | (40 << 8) | (40 << 16);
    const int greenPixel = 40 | (110 << 8) | (40 << 16);
    RGBA2Gray(&greyRed, &redPixel, 1, 1);
    RGBA2Gray(&greyGreen, &greenPixel, 1, 1);
    ASSERT_LE(std::abs(greyRed - greyGreen), 10);  // nearly the same grey
    rig.setFrame(bad);
    EXPECT_FALSE(rig.inspect(0));
    EXPECT_EQ(rig.ctx.roiValue[0][i], 19 * 19);
}

}  // namespace
