#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "surf.h"
#include "synthetic.h"

namespace {

class SimilarityTest : public testing::Test {
protected:
    static SURF trainedOn(const std::vector<cv::Mat>& templates, const cv::Mat& mask = cv::Mat()) {
        SURF s;
        EXPECT_TRUE(s.Create(templates[0].cols, templates[0].rows, mask));
        for (const cv::Mat& t : templates) EXPECT_TRUE(s.AddTemp(t.clone(), 1, 50, 80));
        EXPECT_TRUE(s.Train(0, 0, 0, 0));
        return s;
    }
    static float score(const SURF& s, const cv::Mat& crop, cv::Mat* marks = nullptr) {
        cv::Mat copy = crop.clone();
        cv::Mat out = cv::Mat::zeros(crop.size(), CV_8UC1);
        const float result = s.Match(copy, out);
        if (marks) *marks = out;
        return result;
    }
    // The left part of the picture, covered fraction wide, hidden under a plain plate.
    cv::Mat covered(double fraction, int grey = 128) const {
        cv::Mat c = templ_.clone();
        c(cv::Rect(0, 0, static_cast<int>(fraction * c.cols), c.rows)).setTo(grey);
        return c;
    }

    const cv::Mat big_ = synthetic::texture(cv::Size(240, 200), 11);
    const cv::Rect region_{20, 20, 200, 160};
    const cv::Mat templ_ = big_(region_).clone();
};

TEST_F(SimilarityTest, GoodPicturesScoreHigh) {
    const SURF s = trainedOn({templ_});
    EXPECT_GE(score(s, templ_), 99.0f);
    EXPECT_GE(score(s, synthetic::withNoise(templ_, 4.0, 3)), 95.0f);
    cv::Mat lighter, darker;
    templ_.convertTo(lighter, CV_8U, 1.1, 12);
    templ_.convertTo(darker, CV_8U, 0.6, 20);
    EXPECT_GE(score(s, lighter), 95.0f);
    EXPECT_GE(score(s, darker), 95.0f);
    for (const cv::Point shift : {cv::Point(2, 0), cv::Point(-1, 2), cv::Point(-2, -2)})
        EXPECT_GE(score(s, big_(region_ + shift)), 90.0f) << shift;

    // With several templates the best one counts.
    const cv::Mat other = synthetic::texture(templ_.size(), 42);
    const SURF both = trainedOn({other, templ_});
    EXPECT_GE(score(both, templ_), 99.0f);
    EXPECT_GE(score(both, other), 99.0f);
}

TEST_F(SimilarityTest, CoveredAndForeignPicturesScoreLow) {
    const SURF s = trainedOn({templ_});
    for (const int plate : {128, 0}) {
        EXPECT_LE(score(s, covered(0.4, plate)), 75.0f) << plate;
        float previous = score(s, templ_);
        for (int percent = 10; percent <= 100; percent += 10) {
            const float now = score(s, covered(percent / 100.0, plate));
            EXPECT_LT(now, previous) << percent << "% covered by grey " << plate;
            previous = now;
        }
    }
    EXPECT_LE(score(s, synthetic::texture(templ_.size(), 99)), 30.0f);
    EXPECT_LE(score(s, synthetic::scene(templ_.size(), 5)), 30.0f);

    // The covered blocks, and only they, are marked.
    cv::Mat marks;
    score(s, covered(0.3), &marks);
    const int coverWidth = static_cast<int>(0.3 * templ_.cols);
    const cv::Mat coverPart = marks(cv::Rect(0, 0, coverWidth, templ_.rows));
    EXPECT_GT(cv::countNonZero(coverPart), coverPart.total() / 2);
    EXPECT_EQ(cv::countNonZero(marks.colRange(coverWidth + 16, templ_.cols)), 0);
}

TEST_F(SimilarityTest, FlatRegionsCompareByBrightnessAndMaskedPixelsDoNotCount) {
    const cv::Mat plate(templ_.size(), CV_8UC1, cv::Scalar(140));
    const SURF flat = trainedOn({plate});
    EXPECT_GE(score(flat, synthetic::withNoise(plate, 4.0, 1)), 95.0f);
    EXPECT_LE(score(flat, templ_), 50.0f);
    EXPECT_LE(score(flat, cv::Mat(templ_.size(), CV_8UC1, cv::Scalar(40))), 30.0f);

    cv::Mat mask(templ_.size(), CV_8UC1, cv::Scalar(255));
    mask(cv::Rect(0, 0, 80, 160)).setTo(0);
    EXPECT_GE(score(trainedOn({templ_}, mask), covered(0.35)), 99.0f);
}

TEST_F(SimilarityTest, RefusesWhatDoesNotFit) {
    SURF s;
    EXPECT_EQ(score(s, templ_), 0.0f) << "untrained";
    EXPECT_FALSE(s.Create(50, 50, cv::Mat::ones(10, 10, CV_8UC1)));
    ASSERT_TRUE(s.Create(templ_.cols, templ_.rows, cv::Mat()));
    EXPECT_FALSE(s.AddTemp(templ_(cv::Rect(0, 0, 10, 10)).clone(), 1, 50, 80));
    ASSERT_TRUE(s.AddTemp(templ_.clone(), 1, 50, 80));
    ASSERT_TRUE(s.Train(0, 0, 0, 0));
    cv::Mat wrong = templ_(cv::Rect(0, 0, 100, 100)).clone();
    cv::Mat out = cv::Mat::zeros(wrong.size(), CV_8UC1);
    EXPECT_EQ(s.Match(wrong, out), 0.0f);
    EXPECT_EQ(cv::countNonZero(out), 0);

    // Tiny regions (no shift search, small blocks) still work.
    const cv::Mat tiny = templ_(cv::Rect(40, 40, 9, 7)).clone();
    EXPECT_GE(score(trainedOn({tiny}), tiny), 99.0f);
}

}  // namespace
