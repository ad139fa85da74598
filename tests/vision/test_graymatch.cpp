#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "graymatch.h"
#include "synthetic.h"

namespace {

constexpr int kSensitivity = 25;  // the default of a new defect region

class GrayMatchTest : public testing::Test {
protected:
    GrayMatch trained(const std::vector<cv::Mat>& templates, const cv::Mat& mask = cv::Mat(),
                      int sensitivity = kSensitivity, int amplify = 0) {
        GrayMatch m;
        EXPECT_TRUE(m.Create(templ_.cols, templ_.rows, mask, 0));
        for (const cv::Mat& t : templates) EXPECT_TRUE(m.AddTemp(t));
        EXPECT_TRUE(m.Train(sensitivity, amplify, 100, 150));
        return m;
    }
    // The engine hands an all-zero picture of the crop's size.
    static cv::Mat match(const GrayMatch& m, const cv::Mat& crop) {
        cv::Mat out = cv::Mat::zeros(crop.size(), CV_8UC1);
        m.Match(crop, out);
        return out;
    }
    // ...and filters the result with an elliptic opening of the filter size (3) before counting.
    static int filteredCount(const cv::Mat& bin) {
        cv::Mat opened;
        cv::morphologyEx(bin, opened, cv::MORPH_OPEN,
                         cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3)));
        return cv::countNonZero(opened);
    }
    static cv::Mat withSpot(const cv::Mat& picture, cv::Point at, int delta, int radius = 6) {
        cv::Mat spotMask = cv::Mat::zeros(picture.size(), CV_8UC1);
        cv::circle(spotMask, at, radius, 255, cv::FILLED);
        cv::Mat out = picture.clone();
        cv::add(out, cv::Scalar(delta), out, spotMask);  // saturates either way
        return out;
    }

    const cv::Mat big_ = synthetic::scene(cv::Size(260, 200), 7);
    const cv::Rect region_{20, 20, 220, 160};
    const cv::Mat templ_ = big_(region_).clone();
};

TEST_F(GrayMatchTest, GoodFramesRaiseNothing) {
    const GrayMatch m = trained({templ_});
    const auto expectQuiet = [&](const cv::Mat& crop, int maxRaw, const std::string& what) {
        SCOPED_TRACE(what);
        const cv::Mat out = match(m, crop);
        EXPECT_EQ(filteredCount(out), 0);
        EXPECT_LE(cv::countNonZero(out), maxRaw);
    };
    for (unsigned seed = 1; seed <= 3; ++seed)
        expectQuiet(synthetic::withNoise(templ_, 4.0, seed), 0, "noise");
    // A part moved by one pixel shifts its contours.
    for (const cv::Point shift :
         {cv::Point(1, 0), cv::Point(-1, 0), cv::Point(0, 1), cv::Point(0, -1), cv::Point(1, 1)})
        expectQuiet(synthetic::withNoise(big_(region_ + shift), 2.0, 5), 19, "shift");
    // A global change of the light is compensated, even where the tolerance is tighter.
    const GrayMatch tight = trained({templ_}, cv::Mat(), 12);
    for (const int delta : {-15, 12, 20}) {
        cv::Mat lit;
        templ_.convertTo(lit, CV_8U, 1.0, delta);
        EXPECT_EQ(filteredCount(match(tight, synthetic::withNoise(lit, 3.0, 2))), 0) << delta;
    }
    // A defect on a brighter frame is still seen.
    cv::Mat brighter;
    templ_.convertTo(brighter, CV_8U, 1.0, 15);
    EXPECT_GT(filteredCount(match(m, withSpot(brighter, {60, 60}, -70))), 80);
}

TEST_F(GrayMatchTest, CompactSpotIsFlaggedWhereItIsInAViewOfTheFrame) {
    const GrayMatch m = trained({templ_});
    const cv::Point at(110, 80);
    cv::Mat spot = cv::Mat::zeros(templ_.size(), CV_8UC1);
    cv::circle(spot, at, 6, 255, cv::FILLED);
    for (const int delta : {60, -60}) {
        SCOPED_TRACE(delta);
        // The inspection hands the matcher a view into the frame, not a copy.
        const cv::Mat frame =
            synthetic::withNoise(withSpot(big_, at + region_.tl(), delta), 3.0, 9);
        const cv::Mat view = frame(region_);
        ASSERT_FALSE(view.isContinuous());
        const cv::Mat out = match(m, view);
        EXPECT_EQ(cv::countNonZero(out != match(m, view.clone())), 0);
        // Near-saturated pixels of the scene cannot move by the full amount.
        EXPECT_GT(cv::countNonZero(out & spot), cv::countNonZero(spot) / 2);
        EXPECT_EQ(filteredCount(out & ~spot), 0);
    }
}

TEST_F(GrayMatchTest, MaskedPixelsAreNeverFlagged) {
    cv::Mat mask(templ_.size(), CV_8UC1, cv::Scalar(255));
    mask(cv::Rect(0, 0, 110, 160)).setTo(0);
    const GrayMatch m = trained({templ_}, mask);
    // A spot in the excluded half and the whole frame inverted: only the mask reports.
    EXPECT_EQ(cv::countNonZero(match(m, withSpot(templ_, {50, 80}, 80))), 0);
    const cv::Mat out = match(m, 255 - templ_);
    EXPECT_EQ(cv::countNonZero(out & ~mask), 0);
    EXPECT_GT(cv::countNonZero(out), 0);
}

TEST_F(GrayMatchTest, DifferenceBetweenTemplatesIsTolerated) {
    // Two good parts: the second carries a bright tag the first has not.
    cv::Mat second = templ_.clone();
    cv::rectangle(second, cv::Rect(150, 30, 30, 20), 250, cv::FILLED);
    const GrayMatch m = trained({templ_, second});
    EXPECT_EQ(filteredCount(match(m, synthetic::withNoise(templ_, 3.0, 1))), 0);
    EXPECT_EQ(filteredCount(match(m, synthetic::withNoise(second, 3.0, 2))), 0);
    EXPECT_GT(filteredCount(match(m, withSpot(second, {60, 110}, -70))), 60);
}

TEST_F(GrayMatchTest, SensitivityAndAmplifyScaleTheTolerance) {
    const cv::Mat crop = withSpot(templ_, {110, 80}, 30, 8);
    EXPECT_GT(filteredCount(match(trained({templ_}, cv::Mat(), 10), crop)), 50);
    EXPECT_EQ(filteredCount(match(trained({templ_}, cv::Mat(), 60), crop)), 0);
    // 30 grey levels against a tolerance of 40: seen only when the difference is doubled.
    EXPECT_EQ(filteredCount(match(trained({templ_}, cv::Mat(), 40, 1), crop)), 0);
    EXPECT_GT(filteredCount(match(trained({templ_}, cv::Mat(), 40, 2), crop)), 50);

    // Low-contrast shapes: steps of 12 to 20 grey levels against a tolerance of 8 still
    // tolerate a one-pixel shift.
    cv::Mat weak(200, 260, CV_8UC1, cv::Scalar(100));
    cv::rectangle(weak, cv::Rect(40, 40, 60, 50), 112, cv::FILLED);
    cv::circle(weak, cv::Point(170, 100), 35, 85, cv::FILLED);
    cv::rectangle(weak, cv::Rect(120, 140, 90, 30), 120, cv::FILLED);
    const GrayMatch m = trained({weak(region_).clone()}, cv::Mat(), 8);
    for (const cv::Point shift : {cv::Point(1, 0), cv::Point(0, -1), cv::Point(-1, 1)})
        EXPECT_EQ(cv::countNonZero(match(m, weak(region_ + shift))), 0) << shift;
    EXPECT_GT(filteredCount(match(m, withSpot(weak(region_), {60, 100}, 15))), 50);
}

TEST_F(GrayMatchTest, RefusesWhatDoesNotFit) {
    GrayMatch m;
    cv::Mat out = cv::Mat::zeros(templ_.size(), CV_8UC1);
    EXPECT_FALSE(m.Match(templ_, out)) << "untrained";
    EXPECT_FALSE(m.Create(10, 10, cv::Mat::ones(5, 5, CV_8UC1), 0));
    EXPECT_FALSE(m.Create(0, 10, cv::Mat(), 0));
    ASSERT_TRUE(m.Create(templ_.cols, templ_.rows, cv::Mat(), 0));
    EXPECT_FALSE(m.Train(kSensitivity, 0, 100, 150)) << "no template";
    EXPECT_FALSE(m.AddTemp(templ_(cv::Rect(0, 0, 50, 50))));
    ASSERT_TRUE(m.AddTemp(templ_));
    ASSERT_TRUE(m.Train(kSensitivity, 0, 100, 150));

    // A crop of the wrong size leaves the result zero; a missing result picture is made.
    const cv::Mat wrong = 255 - big_(cv::Rect(0, 0, 100, 100));
    cv::Mat small = cv::Mat::zeros(wrong.size(), CV_8UC1);
    EXPECT_FALSE(m.Match(wrong, small));
    EXPECT_EQ(cv::countNonZero(small), 0);
    cv::Mat empty;
    EXPECT_TRUE(m.Match(templ_, empty));
    EXPECT_EQ(empty.size(), templ_.size());
}

}  // namespace
