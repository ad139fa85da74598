#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "surf.h"
#include "synthetic.h"

namespace {

constexpr int kMinScore = 80;

class SimilarityTest : public testing::Test {
protected:
    void SetUp() override {
        big_ = synthetic::texture(cv::Size(240, 200), 11);
        region_ = cv::Rect(20, 20, 200, 160);
        templ_ = big_(region_).clone();
    }

    static SURF trainedOn(const std::vector<cv::Mat>& templates, const cv::Mat& mask = cv::Mat()) {
        SURF s;
        EXPECT_TRUE(s.Create(templates[0].cols, templates[0].rows, mask));
        for (const cv::Mat& t : templates) EXPECT_TRUE(s.AddTemp(t.clone(), 1, 50, kMinScore));
        EXPECT_TRUE(s.Train(0, 0, 0, 0));
        return s;
    }
    static float score(const SURF& s, const cv::Mat& crop) {
        cv::Mat copy = crop.clone();
        cv::Mat out = cv::Mat::zeros(crop.size(), CV_8UC1);
        return s.Match(copy, out);
    }
    // The left part of the picture, covered fraction wide, hidden under a plain grey plate.
    cv::Mat covered(double fraction, int grey = 128) const {
        cv::Mat c = templ_.clone();
        c(cv::Rect(0, 0, static_cast<int>(fraction * c.cols), c.rows)).setTo(grey);
        return c;
    }

    cv::Mat big_;
    cv::Rect region_;
    cv::Mat templ_;
};

TEST_F(SimilarityTest, GoodPicturesScoreHigh) {
    const SURF s = trainedOn({templ_});
    EXPECT_GE(score(s, templ_), 99.0f);
    EXPECT_GE(score(s, synthetic::withNoise(templ_, 4.0, 3)), 95.0f);
    cv::Mat lighter, darker;
    templ_.convertTo(lighter, CV_8U, 1.1, 12);
    templ_.convertTo(darker, CV_8U, 0.8, -10);
    EXPECT_GE(score(s, lighter), 95.0f);
    EXPECT_GE(score(s, darker), 95.0f);
    for (const cv::Point shift : {cv::Point(2, 0), cv::Point(-1, 2), cv::Point(-2, -2)})
        EXPECT_GE(score(s, big_(region_ + shift)), 90.0f) << shift;
}

TEST_F(SimilarityTest, CoveredAndForeignPicturesScoreLow) {
    const SURF s = trainedOn({templ_});
    EXPECT_LE(score(s, covered(0.4)), 75.0f);
    EXPECT_LE(score(s, covered(0.4, 0)), 75.0f);
    EXPECT_LE(score(s, synthetic::texture(templ_.size(), 99)), 30.0f);
    EXPECT_LE(score(s, synthetic::scene(templ_.size(), 5)), 30.0f);
}

TEST_F(SimilarityTest, ScoreFallsAsMoreIsCovered) {
    const SURF s = trainedOn({templ_});
    for (const int plate : {128, 0}) {
        float previous = score(s, templ_);
        for (int percent = 10; percent <= 100; percent += 10) {
            const float now = score(s, covered(percent / 100.0, plate));
            EXPECT_LT(now, previous) << percent << "% covered by grey " << plate;
            previous = now;
        }
    }
}

TEST_F(SimilarityTest, DifferingBlocksAreMarked) {
    const SURF s = trainedOn({templ_});
    cv::Mat crop = covered(0.3);
    cv::Mat out = cv::Mat::zeros(crop.size(), CV_8UC1);
    s.Match(crop, out);
    const int coverWidth = static_cast<int>(0.3 * crop.cols);
    const cv::Mat coverPart = out(cv::Rect(0, 0, coverWidth, crop.rows));
    const cv::Mat rest = out(cv::Rect(coverWidth + 16, 0, crop.cols - coverWidth - 16, crop.rows));
    EXPECT_GT(cv::countNonZero(coverPart), coverPart.total() / 2);
    EXPECT_EQ(cv::countNonZero(rest), 0);
}

TEST_F(SimilarityTest, BestTemplateCounts) {
    const cv::Mat other = synthetic::texture(templ_.size(), 42);
    const SURF s = trainedOn({other, templ_});
    EXPECT_GE(score(s, templ_), 99.0f);
    EXPECT_GE(score(s, other), 99.0f);
}

TEST_F(SimilarityTest, FlatRegionsCompareByBrightness) {
    const cv::Mat plate(templ_.size(), CV_8UC1, cv::Scalar(140));
    const SURF s = trainedOn({plate});
    EXPECT_GE(score(s, synthetic::withNoise(plate, 4.0, 1)), 95.0f);
    EXPECT_LE(score(s, templ_), 50.0f);
    EXPECT_LE(score(s, cv::Mat(templ_.size(), CV_8UC1, cv::Scalar(40))), 30.0f);
}

TEST_F(SimilarityTest, MaskedOutPixelsDoNotCount) {
    cv::Mat mask(templ_.size(), CV_8UC1, cv::Scalar(255));
    mask(cv::Rect(0, 0, 80, 160)).setTo(0);
    const SURF s = trainedOn({templ_}, mask);
    EXPECT_GE(score(s, covered(0.35)), 99.0f);
}

TEST_F(SimilarityTest, DeterministicAndSafe) {
    SURF s;
    EXPECT_EQ(score(s, templ_), 0.0f) << "untrained";
    EXPECT_FALSE(s.Create(50, 50, cv::Mat::ones(10, 10, CV_8UC1)));
    ASSERT_TRUE(s.Create(templ_.cols, templ_.rows, cv::Mat()));
    EXPECT_FALSE(s.AddTemp(templ_(cv::Rect(0, 0, 10, 10)).clone(), 1, 50, kMinScore));
    ASSERT_TRUE(s.AddTemp(templ_.clone(), 1, 50, kMinScore));
    ASSERT_TRUE(s.Train(0, 0, 0, 0));
    const cv::Mat crop = synthetic::withNoise(covered(0.2), 5.0, 8);
    EXPECT_EQ(score(s, crop), score(s, crop));
    cv::Mat wrong = templ_(cv::Rect(0, 0, 100, 100)).clone();
    cv::Mat out = cv::Mat::zeros(wrong.size(), CV_8UC1);
    EXPECT_EQ(s.Match(wrong, out), 0.0f);
    EXPECT_EQ(cv::countNonZero(out), 0);

    // Tiny regions (no shift search, small blocks) still work.
    const cv::Mat tiny = templ_(cv::Rect(40, 40, 9, 7)).clone();
    const SURF t = trainedOn({tiny});
    EXPECT_GE(score(t, tiny), 99.0f);
}

}  // namespace
