#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "surf.h"
#include "synthetic.h"

namespace {

constexpr float kDefaultMinScore = 80.0f;  // the editor's default for a new similarity region
constexpr int kTemplates = 10;

// A 700 x 700 region of a busy scene, trained on ten noisy pictures of it, as the inspection
// sees them after position correction.
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
    // The region seen moved by a fraction of a pixel, with sensor noise and other lighting.
    cv::Mat seen(cv::Point2d shift, int brightness, unsigned seed) const {
        cv::Mat moved;
        cv::warpAffine(big_, moved, cv::Matx23d(1, 0, shift.x, 0, 1, shift.y), big_.size(),
                       cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        cv::Mat lit;
        moved(region_).convertTo(lit, CV_8U, 1.0, brightness);
        return synthetic::withNoise(lit, 4.0, seed);
    }
    SURF trained() const {
        std::vector<cv::Mat> templates;
        for (int k = 0; k < kTemplates; ++k) templates.push_back(seen({0, 0}, 0, 100 + k));
        return trainedOn(templates);
    }

    const cv::Mat big_ = synthetic::scene(cv::Size(760, 760), 17);
    const cv::Rect region_{30, 30, 700, 700};
};

TEST_F(SimilarityTest, GoodPicturesStayAtNinety) {
    const SURF s = trained();
    const struct {
        cv::Point2d shift;
        int brightness;
    } good[] = {{{0, 0}, 0}, {{1, 0}, 10}, {{-0.5, 1}, -10}, {{0.7, -0.7}, 6}, {{0, -1}, -4}};
    for (const auto& g : good) {
        const float value = score(s, seen(g.shift, g.brightness, 7));
        EXPECT_GE(value, 90.0f) << g.shift << " brightness " << g.brightness;
    }
}

TEST_F(SimilarityTest, CompactFaultsAnywhereDropBelowTheDefault) {
    const SURF s = trained();
    const cv::Mat good = seen({0.5, -0.5}, 5, 9);
    const float goodScore = score(s, good);
    cv::RNG rng(3);
    for (int k = 0; k < 24; ++k) {
        // Corners and edges of the region first, then anywhere.
        const int side = 30 + (k % 3) * 10;
        const cv::Point at =
            k < 4 ? cv::Point((k & 1) * (700 - side), (k >> 1) * (700 - side))
                  : cv::Point(rng.uniform(0, 700 - side), rng.uniform(0, 700 - side));
        cv::Mat frame = good.clone();
        cv::Mat patch = frame(cv::Rect(at, cv::Size(side, side)));
        // Brighter on a dark background, darker on a bright one: no grey level saturates.
        const int contrast = cv::mean(patch)[0] < 128 ? 40 : -40;
        patch.convertTo(patch, CV_8U, 1.0, contrast);
        cv::Mat marks;
        const float faulty = score(s, frame, &marks);
        EXPECT_LT(faulty, kDefaultMinScore) << side << " at " << at << " contrast " << contrast;
        EXPECT_LT(faulty, goodScore);
        // The marks lie on the fault.
        const int inside = cv::countNonZero(marks(cv::Rect(at, cv::Size(side, side))));
        EXPECT_GT(inside, side * side / 4) << at;
        EXPECT_EQ(cv::countNonZero(marks), inside) << at;
    }
    // A plain plate over part of the region, and a picture of something else.
    cv::Mat plate = good.clone();
    plate(cv::Rect(300, 200, 60, 60)).setTo(cv::mean(good(cv::Rect(300, 200, 60, 60)))[0] + 40.0);
    EXPECT_LT(score(s, plate), kDefaultMinScore);
    EXPECT_LE(score(s, synthetic::scene(region_.size(), 5)), 20.0f);
    EXPECT_LE(score(s, cv::Mat(region_.size(), CV_8UC1, cv::Scalar(0))), 10.0f);
}

TEST_F(SimilarityTest, FlatRegionsThinMasksAndMaskedPixels) {
    const cv::Mat plate(cv::Size(200, 160), CV_8UC1, cv::Scalar(140));
    const SURF flat = trainedOn({synthetic::withNoise(plate, 4.0, 2)});
    EXPECT_GE(score(flat, synthetic::withNoise(plate, 4.0, 1)), 90.0f);
    EXPECT_GE(score(flat, synthetic::withNoise(plate + 10, 4.0, 1)), 90.0f);
    EXPECT_LE(score(flat, synthetic::withNoise(plate + 60, 4.0, 1)), 10.0f)
        << "lighting is compensated only so far";

    // A ring six pixels wide: a fault covering a stretch of it counts fully.
    cv::Mat ring = cv::Mat::zeros(plate.size(), CV_8UC1);
    cv::circle(ring, cv::Point(100, 80), 60, 255, 6);
    const SURF thin = trainedOn({plate}, ring);
    cv::Mat broken = plate.clone();
    broken(cv::Rect(30, 60, 20, 40)).setTo(60);
    EXPECT_GE(score(thin, plate), 99.0f);
    EXPECT_LT(score(thin, broken), kDefaultMinScore);
    // The same fault outside the mask does not count.
    cv::Mat elsewhere = plate.clone();
    elsewhere(cv::Rect(80, 60, 40, 40)).setTo(60);
    EXPECT_GE(score(thin, elsewhere), 99.0f);
}

TEST_F(SimilarityTest, RefusesWhatDoesNotFit) {
    const cv::Mat templ = big_(region_);
    SURF s;
    EXPECT_EQ(score(s, templ), 0.0f) << "untrained";
    EXPECT_FALSE(s.Create(50, 50, cv::Mat::ones(10, 10, CV_8UC1)));
    ASSERT_TRUE(s.Create(templ.cols, templ.rows, cv::Mat()));
    EXPECT_FALSE(s.AddTemp(templ(cv::Rect(0, 0, 10, 10)).clone(), 1, 50, 80));
    ASSERT_TRUE(s.AddTemp(templ.clone(), 1, 50, 80));
    ASSERT_TRUE(s.Train(0, 0, 0, 0));
    cv::Mat wrong = templ(cv::Rect(0, 0, 100, 100)).clone();
    cv::Mat out = cv::Mat::zeros(wrong.size(), CV_8UC1);
    EXPECT_EQ(s.Match(wrong, out), 0.0f);
    EXPECT_EQ(cv::countNonZero(out), 0);
    SURF masked;
    ASSERT_TRUE(masked.Create(templ.cols, templ.rows, cv::Mat::zeros(templ.size(), CV_8UC1)));
    ASSERT_TRUE(masked.AddTemp(templ.clone(), 1, 50, 80));
    EXPECT_FALSE(masked.Train(0, 0, 0, 0)) << "nothing masked in";

    // Tiny regions still work.
    const cv::Mat tiny = templ(cv::Rect(40, 40, 9, 7)).clone();
    EXPECT_GE(score(trainedOn({tiny}), tiny), 99.0f);
}

}  // namespace
