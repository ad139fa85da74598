#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "globals.h"
#include "imagehelpers.h"

namespace {

cv::Mat numbered(int rows, int cols) {
    cv::Mat m(rows, cols, CV_8UC1);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) m.at<uchar>(y, x) = uchar(1 + (y * cols + x) % 250);
    return m;
}

int pixel(uchar r, uchar g, uchar b, uchar a = 0) {
    return int(unsigned(r) | unsigned(g) << 8 | unsigned(b) << 16 | unsigned(a) << 24);
}

// dst(y, x) = src(y - dy, x - dx) where that pixel exists, else 0.
void expectMoved(const cv::Mat& src, const cv::Mat& dst, int dx, int dy) {
    ASSERT_EQ(dst.size(), src.size());
    for (int y = 0; y < src.rows; ++y)
        for (int x = 0; x < src.cols; ++x) {
            const int sx = x - dx, sy = y - dy;
            const bool covered = sx >= 0 && sx < src.cols && sy >= 0 && sy < src.rows;
            ASSERT_EQ(dst.at<uchar>(y, x), covered ? src.at<uchar>(sy, sx) : 0)
                << "shift " << dx << "," << dy << " at " << x << "," << y;
        }
}

class DisplayArea : public ::testing::Test {
protected:
    DisplayArea() {
        gShowW = 1280;
        gShowH = 1024;
    }
    ~DisplayArea() override {
        gShowW = savedW_;
        gShowH = savedH_;
    }

private:
    const int savedW_ = gShowW, savedH_ = gShowH;
};

}  // namespace

TEST(MoveImage, ShiftsContentZeroesTheRestAndWorksInPlace) {
    const cv::Mat src = numbered(7, 9);
    const int shifts[][2] = {{3, -2}, {-1, 1}, {9, 0}, {0, -7}};
    for (const auto& s : shifts) {
        cv::Mat dst(src.size(), CV_8UC1, cv::Scalar(77));
        MoveImage(src, dst, s[0], s[1]);
        expectMoved(src, dst, s[0], s[1]);
        cv::Mat inPlace = src.clone();
        MoveImage(inPlace, inPlace, s[0], s[1]);
        expectMoved(src, inPlace, s[0], s[1]);
    }
    cv::Mat created;  // a destination without a size is created
    MoveImage(src, created, 2, 2);
    expectMoved(src, created, 2, 2);
}

TEST(TransformImage, RotationIsCounterClockwise) {
    const cv::Mat src = numbered(21, 21);
    cv::Mat rotated, expected;
    TransformImage(src, rotated, cv::Point(0, 0), cv::Point(10, 10), 90.0);
    cv::rotate(src, expected, cv::ROTATE_90_COUNTERCLOCKWISE);
    EXPECT_LE(cv::norm(rotated, expected, cv::NORM_INF), 1.0);
}

TEST(TransformImage, ContentShiftedPastTheBorderComesBackWhenRotated) {
    // The shift moves the pixel to (21, 10), outside the 20 x 20 frame but inside the
    // padding; a 45-degree turn about (10, 10) brings it back to about (17.8, 2.2).
    cv::Mat src(20, 20, CV_8UC1, cv::Scalar(0));
    src.at<uchar>(10, 18) = 200;
    cv::Mat dst;
    TransformImage(src, dst, cv::Point(3, 0), cv::Point(10, 10), 45.0);
    cv::Point brightest;
    double maxValue = 0;
    cv::minMaxLoc(dst, nullptr, &maxValue, nullptr, &brightest);
    EXPECT_GT(maxValue, 0.0);
    EXPECT_NEAR(brightest.x, 18, 1);
    EXPECT_NEAR(brightest.y, 2, 1);
}

TEST(Proximity, TolerancesAreClampedAndStrict) {
    EXPECT_TRUE(PointAround(QPoint(10, 10), QPoint(12, 12), 1));   // tolerance 1 acts as 3
    EXPECT_FALSE(PointAround(QPoint(10, 10), QPoint(13, 10), 1));  // exactly 3 away
    EXPECT_TRUE(PointAround(QPoint(0, 0), QPoint(49, -49), 100));  // 100 acts as 50
    EXPECT_FALSE(PointAround(QPoint(0, 0), QPoint(50, 0), 100));
    EXPECT_FALSE(PointAround(QPoint(0, 0), QPoint(5, 20), 20));  // a square: both axes
    EXPECT_TRUE(PointAround(QPoint(0, 0), QPoint(19, -19), 20));

    EXPECT_TRUE(LineAround(100, 98, 0));
    EXPECT_FALSE(LineAround(100, 97, 0));
    EXPECT_FALSE(LineAround(100, 103, 0));
    EXPECT_TRUE(LineAround(100, 110, 5, 0, 5, 20));
    EXPECT_FALSE(LineAround(100, 110, 6, 0, 5, 20));  // outside the span
    EXPECT_FALSE(LineAround(100, 110, -1, 0, 5, 20));
    EXPECT_FALSE(LineAround(100, 120, 3, 0, 5, 20));  // too far from the line
}

TEST_F(DisplayArea, CoordinatesAndRectanglesStayInsideTheMargin) {
    const int values[][3] = {{1278, 1, 1277}, {2, 1, 3}, {1277, 1, 1277}, {1022, 0, 1021}};
    for (const auto& c : values) {
        int v = c[0];
        CheckInRange(&v, c[1]);
        EXPECT_EQ(v, c[2]) << c[0];
        v = c[0];
        CheckInRange(&v, c[1], 99, 99);  // the extra arguments change nothing
        EXPECT_EQ(v, c[2]) << c[0];
    }
    CheckInRange(static_cast<int*>(nullptr), 1);

    QRect r;
    r.setCoords(1300, 500, -10, 2000);  // swapped x: normalised, then each side clamped
    CheckInRange(&r, false);
    EXPECT_EQ(r, QRect(QPoint(3, 500), QPoint(1277, 1021)));
    r = QRect(QPoint(-20, -5), QPoint(80, 95));
    CheckInRange(&r, true);
    EXPECT_EQ(r, QRect(QPoint(3, 3), QPoint(103, 103)));
    r = QRect(QPoint(1250, 1000), QPoint(1300, 1040));
    CheckInRange(&r, 0, 0, true);
    EXPECT_EQ(r, QRect(QPoint(1227, 981), QPoint(1277, 1021)));
    // Larger than the area: ends flush with the right and bottom limits.
    r = QRect(QPoint(0, 0), QPoint(1999, 1499));
    CheckInRange(&r, true);
    EXPECT_EQ(r, QRect(QPoint(-722, -478), QPoint(1277, 1021)));
}

TEST(ColourConversion, GreyTableAndGreyToFourBytes) {
    // The table is floor(i x w x 1024) with w = 299/1000, 587/1000, 114/1000.
    const int weights[3] = {299, 587, 114};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(gaRGB2Gray[k * 256 + i], i * weights[k] * 1024 / 1000) << k << " " << i;

    const uchar levels[3] = {0, 128, 255};
    int out[3] = {-1, -1, -1};
    Gray2RGBA(levels, out, 3, 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out[i], pixel(levels[i], levels[i], levels[i], 0));
}

TEST(ColourConversion, HueSectorsAndTies) {
    // Primaries, black and grey; red wins a tie with green, green with blue; red max with
    // green below blue adds 6 sectors; the top of the range; (100 - 50) / 150 x 42.5 = 14.17.
    const int cases[][4] = {{255, 0, 0, 0},     {0, 255, 0, 85},    {0, 0, 255, 170},
                            {0, 0, 0, 0},       {90, 90, 90, 0},    {255, 255, 0, 42},
                            {0, 255, 255, 127}, {255, 0, 255, 212}, {255, 0, 1, 254},
                            {200, 100, 50, 14}};
    for (const auto& c : cases)
        EXPECT_EQ(RGB2HueByte(uchar(c[0]), uchar(c[1]), uchar(c[2])), c[3])
            << c[0] << " " << c[1] << " " << c[2];
}

TEST(ColourConversion, WholeFramesMatchThePixelRules) {
    std::mt19937 random(7);
    const int w = 333, h = 257;  // odd sizes, large enough for the parallel path
    std::vector<int> frame(size_t(w) * h);
    for (int& p : frame) p = int(random());
    std::vector<uchar> grey(frame.size()), viaAlias(frame.size()), hue(frame.size());
    RGB2Gray(grey.data(), frame.data(), w, h);
    RGBA2Gray(viaAlias.data(), frame.data(), w, h);
    RGBA2Hue(hue.data(), frame.data(), w, h);
    EXPECT_EQ(grey, viaAlias);
    for (size_t i = 0; i < frame.size(); ++i) {
        const unsigned v = unsigned(frame[i]);
        const int r = v & 255, g = (v >> 8) & 255, b = (v >> 16) & 255;
        const int expected =
            (r * 299 * 1024 / 1000 + g * 587 * 1024 / 1000 + b * 114 * 1024 / 1000) / 1024;
        ASSERT_EQ(grey[i], expected) << i;
        ASSERT_EQ(hue[i], RGB2HueByte(uchar(r), uchar(g), uchar(b))) << i;
    }
}
