#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "findshape.h"
#include "synthetic.h"

namespace {

constexpr int kAccuracy = 5;
constexpr int kLayers = 5;
constexpr int kOffset = 40;  // how far the search area reaches beyond the model

double angleError(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

struct Move {
    double angle;       // the part turns by this (degrees, counter-clockwise as shown)...
    cv::Point2d shift;  // ...and then moves by this
};

// A 640 x 480 camera, the position model laid out as the inspection does it.
class FindShapeTest : public testing::Test {
protected:
    void SetUp() override {
        // With no position region the model is the lower-right three quarters of the frame.
        useModelArea({templ_.cols / 4, templ_.rows / 4, 3 * templ_.cols / 4, 3 * templ_.rows / 4});
    }

    void useModelArea(const cv::Rect& area) {
        area_ = area;
        ref_ = cv::Point(area.x + area.width / 2, area.y + area.height / 2);
        search_ = cv::Rect(area.x - kOffset, area.y - kOffset, area.width + 2 * kOffset,
                           area.height + 2 * kOffset) &
                  cv::Rect(0, 0, templ_.cols, templ_.rows);
    }
    FindShape model(int angleRange, const cv::Mat& mask = cv::Mat(), int layers = kLayers) const {
        FindShape f;
        const cv::Mat m = mask.empty() ? cv::Mat(area_.size(), CV_8UC1, cv::Scalar(255)) : mask;
        EXPECT_TRUE(f.CreateShape(templ_(area_).clone(), 0.0, 0, angleRange, ref_.x, ref_.y, false,
                                  255, m, kAccuracy, layers));
        EXPECT_TRUE(f.IsValid());
        return f;
    }

    // Finds the moved part and checks the correction the inspection would apply.
    void expectCorrected(const FindShape& f, const Move& move, cv::Point2d turnCentre,
                         bool withRotation) const {
        SCOPED_TRACE(testing::Message() << "turn " << move.angle << " move " << move.shift);
        const cv::Mat frame = synthetic::withNoise(
            synthetic::posedFrame(big_, inner_, turnCentre, move.angle, move.shift), 2.0, 4);
        cv::Mat search = frame(search_).clone();
        int x = -1, y = -1;
        double score = 0, angle = 999;
        ASSERT_TRUE(f.Find(search, 0, &x, &y, &score, &angle));
        const int dx = x - search_.x, dy = y - search_.y;
        const cv::Point2d landed =
            synthetic::posedPoint(cv::Point2d(ref_), turnCentre, move.angle, move.shift);
        EXPECT_LE(std::abs(dx - (ref_.x - landed.x)), 1.0);
        EXPECT_LE(std::abs(dy - (ref_.y - landed.y)), 1.0);
        EXPECT_LE(angleError(angle, -move.angle), withRotation ? 0.3 : 0.0);
        EXPECT_GT(score, 70.0);

        const cv::Mat corrected =
            synthetic::correctPosition(frame, dx, dy, ref_, withRotation ? angle : 0.0);
        const cv::Rect check(ref_.x - 100, ref_.y - 80, 200, 160);
        EXPECT_LT(synthetic::meanAbsDiff(corrected, templ_, check), 8.0);
    }

    const cv::Mat big_ = synthetic::scene(cv::Size(840, 680), 3);
    const cv::Rect inner_{100, 100, 640, 480};
    const cv::Mat templ_ = big_(inner_).clone();
    cv::Rect area_;
    cv::Point ref_;
    cv::Rect search_;
};

TEST_F(FindShapeTest, ShiftAndTurnAreUndoneInEveryDirection) {
    struct Pose {
        int angleRange, layers;  // of the model; one layer on a full frame must not stall
        double angle, dx, dy;    // the part turns about a point near the model centre, then moves
    };
    const Pose poses[] = {
        {0, 5, 0, 0, 0},          {0, 5, 0, 20, 0},      {0, 5, 0, -30, 0},
        {0, 5, 0, 0, 25},         {0, 5, 0, 0, -35},     {0, 5, 0, 15, -18},
        {0, 5, 0, -25, 22},       {0, 5, 0, 30, 30},     {0, 5, 0, -38, -38},
        {0, 1, 0, -11, 7},        {30, 5, 0, 0, 0},      {30, 5, 10, 12, -8},
        {30, 5, -20, -15, 10},    {30, 5, 5, 25, 20},    {30, 5, -7.5, -20, -20},
        {30, 5, 28, 5, 5},        {30, 5, -2.3, -30, 3}, {180, 5, 90, 10, -10},
        {180, 5, -135, -12, 8},   {180, 5, 170, 0, 15},  {180, 5, 45, 20, 20},
        {180, 5, -179, -20, -15},
    };
    FindShape f;
    for (size_t k = 0; k < std::size(poses); ++k) {
        const Pose& p = poses[k];
        if (k == 0 || p.angleRange != poses[k - 1].angleRange || p.layers != poses[k - 1].layers)
            f = model(p.angleRange, cv::Mat(), p.layers);
        expectCorrected(f, {p.angle, {p.dx, p.dy}}, cv::Point2d(ref_) + cv::Point2d(8, -6),
                        p.angleRange > 0);
    }

    // A masked position region.
    const cv::Rect area(250, 180, 150, 130);
    useModelArea(area);
    cv::Mat mask = cv::Mat::zeros(area.size(), CV_8UC1);
    cv::ellipse(mask, cv::Point(75, 65), cv::Size(70, 60), 0, 0, 360, 255, cv::FILLED);
    expectCorrected(model(0, mask), {0.0, {22, -17}}, cv::Point2d(ref_), false);
    expectCorrected(model(20, mask), {14.0, {-12, 9}}, cv::Point2d(ref_), true);
}

TEST_F(FindShapeTest, AWideAreaFixesShiftAndAngleEveryWhere) {
    // The middle of the area shows only upright bars, the same at every height: only its ends
    // tell the height. The whole area must take part in the turned search.
    cv::Mat big = synthetic::scene(big_.size(), 12);
    const cv::Rect area(70, 200, 500, 120);
    const cv::Rect bars(area.x + 150, 0, 200, big.rows);
    for (int x = bars.x; x < bars.br().x; ++x) big.col(inner_.x + x).setTo(60 + (x * 37) % 150);
    const cv::Mat templ = big(inner_).clone();
    useModelArea(area);
    FindShape f;
    ASSERT_TRUE(f.CreateShape(templ(area).clone(), 0.0, 0, 5, ref_.x, ref_.y, false, 255,
                              cv::Mat(area.size(), CV_8UC1, cv::Scalar(255)), kAccuracy, kLayers));
    for (const Move& move : {Move{3.0, {14, -19}}, Move{-4.5, {-22, 16}}, Move{0.0, {5, 30}}}) {
        SCOPED_TRACE(testing::Message() << "turn " << move.angle << " move " << move.shift);
        const cv::Mat frame = synthetic::withNoise(
            synthetic::posedFrame(big, inner_, cv::Point2d(ref_), move.angle, move.shift), 2.0, 6);
        cv::Mat search = frame(search_).clone();
        int x = 0, y = 0;
        double score = 0, angle = 0;
        ASSERT_TRUE(f.Find(search, 0, &x, &y, &score, &angle));
        EXPECT_LE(std::abs(x - search_.x + move.shift.x), 1.0);
        EXPECT_LE(std::abs(y - search_.y + move.shift.y), 1.0);
        EXPECT_LE(angleError(angle, -move.angle), 0.2);
    }
}

TEST_F(FindShapeTest, TwoPlacesThatFitAlikeAreNotFound) {
    // Two copies of a tile: the model of the left one fits the right one as well, unless the
    // right one differs enough.
    const cv::Mat tile = synthetic::scene(cv::Size(200, 200), 8);
    const cv::Rect left(40, 140, 200, 200), right(400, 140, 200, 200);
    const struct {
        int angleRange;
        double changed;  // share of the right tile replaced by another picture
        bool found;
    } rows[] = {
        {0, 0.0, false}, {10, 0.0, false}, {0, 0.02, false}, {0, 0.35, true}, {10, 0.35, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.angleRange << " " << row.changed);
        cv::Mat frame(inner_.size(), CV_8UC1, cv::Scalar(120));
        tile.copyTo(frame(left));
        tile.copyTo(frame(right));
        const int changed = static_cast<int>(row.changed * right.width);
        if (changed > 0)
            synthetic::scene(cv::Size(changed, right.height), 9)
                .copyTo(frame(cv::Rect(right.x, right.y, changed, right.height)));
        useModelArea(left);
        FindShape f;
        ASSERT_TRUE(f.CreateShape(frame(left).clone(), 0.0, 0, row.angleRange, ref_.x, ref_.y,
                                  false, 255, cv::Mat(), kAccuracy, kLayers));
        cv::Mat search = synthetic::withNoise(frame, 2.0, 1);
        int x = 0, y = 0;
        double score = 0, angle = 0;
        EXPECT_EQ(f.Find(search, 0, &x, &y, &score, &angle), row.found);
        if (row.found) {
            EXPECT_EQ(cv::Point(x, y), cv::Point(0, 0));
        }
    }
}

TEST_F(FindShapeTest, RefusesWhatItCannotFind) {
    const FindShape f = model(30);
    int x = 7, y = 8;
    double score = 9, angle = 10;
    const auto refused = [&](const FindShape& shape, cv::Mat search) {
        const bool found = shape.Find(search, 0, &x, &y, &score, &angle);
        return !found && x == 7 && y == 8 && score == 9 && angle == 10;
    };
    EXPECT_TRUE(refused(f, synthetic::scene(inner_.size(), 77)(search_).clone()));
    EXPECT_TRUE(refused(f, cv::Mat(search_.size(), CV_8UC1, cv::Scalar(128))));
    EXPECT_TRUE(refused(f, cv::Mat()));
    EXPECT_TRUE(refused(f, templ_(cv::Rect(0, 0, 60, 60)).clone()));
    EXPECT_TRUE(refused(f, cv::Mat(search_.size(), CV_16UC1, cv::Scalar(0))));
    EXPECT_TRUE(refused(model(0), synthetic::texture(search_.size(), 5)));
    EXPECT_TRUE(refused(FindShape(), templ_(search_).clone())) << "no model";
}

TEST_F(FindShapeTest, RefusesAnUnusableModel) {
    FindShape f;
    const cv::Mat full(area_.size(), CV_8UC1, cv::Scalar(255));
    const auto create = [&](const cv::Mat& m, const cv::Mat& mask) {
        return f.CreateShape(m, 0.0, 0, 0, ref_.x, ref_.y, false, 255, mask, kAccuracy, kLayers);
    };
    ASSERT_TRUE(create(templ_(area_).clone(), cv::Mat()));
    EXPECT_FALSE(create(cv::Mat(area_.size(), CV_8UC1, cv::Scalar(90)), full)) << "flat";
    EXPECT_FALSE(f.IsValid()) << "a refused model leaves none behind";
    EXPECT_FALSE(create(cv::Mat(), full)) << "empty";
    EXPECT_FALSE(create(templ_(cv::Rect(0, 0, 12, 12)).clone(), cv::Mat())) << "too small";
    EXPECT_FALSE(create(templ_(area_).clone(), cv::Mat::ones(5, 5, CV_8UC1))) << "mask size";
    EXPECT_FALSE(create(templ_(area_).clone(), cv::Mat::zeros(area_.size(), CV_8UC1)))
        << "nothing masked in";
    EXPECT_FALSE(f.IsValid());
}

}  // namespace
