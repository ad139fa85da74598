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

class DisplayArea : public ::testing::Test {
protected:
    void SetUp() override {
        savedW_ = gShowW;
        savedH_ = gShowH;
        gShowW = 1280;
        gShowH = 1024;
    }
    void TearDown() override {
        gShowW = savedW_;
        gShowH = savedH_;
    }

private:
    int savedW_ = 0, savedH_ = 0;
};

}  // namespace

TEST(MoveImage, ShiftsContentAndZeroesUncoveredBorder) {
    const cv::Mat src = numbered(7, 9);
    cv::Mat dst(src.size(), CV_8UC1, cv::Scalar(77));
    MoveImage(src, dst, 3, -2);
    for (int y = 0; y < src.rows; ++y) {
        for (int x = 0; x < src.cols; ++x) {
            const int sx = x - 3, sy = y + 2;
            const bool covered = sx >= 0 && sy < src.rows;
            EXPECT_EQ(dst.at<uchar>(y, x), covered ? src.at<uchar>(sy, sx) : 0)
                << "at " << x << "," << y;
        }
    }
    // The first 3 columns and the last 2 rows are empty.
    EXPECT_EQ(cv::countNonZero(dst.colRange(0, 3)), 0);
    EXPECT_EQ(cv::countNonZero(dst.rowRange(5, 7)), 0);
}

TEST(MoveImage, WorksInPlaceAndBeyondTheFrame) {
    cv::Mat picture = numbered(5, 6);
    const cv::Mat original = picture.clone();
    MoveImage(picture, picture, -1, 1);
    EXPECT_EQ(picture.at<uchar>(1, 0), original.at<uchar>(0, 1));
    EXPECT_EQ(picture.at<uchar>(4, 4), original.at<uchar>(3, 5));
    EXPECT_EQ(cv::countNonZero(picture.row(0)), 0);
    EXPECT_EQ(cv::countNonZero(picture.col(5)), 0);

    cv::Mat far;
    MoveImage(original, far, 6, 0);  // dst without a size is created
    ASSERT_EQ(far.size(), original.size());
    EXPECT_EQ(cv::countNonZero(far), 0);
}

TEST(TransformImage, IdentityLeavesPictureUnchanged) {
    const cv::Mat src = numbered(11, 17);
    cv::Mat dst;
    TransformImage(src, dst, cv::Point(0, 0), cv::Point(5, 5), 0.0);
    ASSERT_EQ(dst.size(), src.size());
    EXPECT_EQ(cv::norm(src, dst, cv::NORM_INF), 0.0);
}

TEST(TransformImage, ShiftMatchesMoveImageAndRotationIsCounterClockwise) {
    const cv::Mat src = numbered(21, 21);
    cv::Mat shifted, moved;
    TransformImage(src, shifted, cv::Point(2, -3), cv::Point(10, 10), 0.0);
    MoveImage(src, moved, 2, -3);
    EXPECT_EQ(cv::norm(shifted, moved, cv::NORM_INF), 0.0);

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

TEST_F(DisplayArea, CoordinatesStayInsideTheMargin) {
    int v = 1278;  // gShowW - 2
    CheckInRange(&v, 1);
    EXPECT_EQ(v, 1277);
    v = 2;
    CheckInRange(&v, 1);
    EXPECT_EQ(v, 3);
    v = 1277;
    CheckInRange(&v, 1);
    EXPECT_EQ(v, 1277);
    v = 1022;  // gShowH - 2
    CheckInRange(&v, 0);
    EXPECT_EQ(v, 1021);
    v = 1022;
    CheckInRange(&v, 0, 99, 99);  // the extra arguments change nothing
    EXPECT_EQ(v, 1021);
    CheckInRange(static_cast<int*>(nullptr), 1);
}

TEST_F(DisplayArea, RectanglesAreNormalisedThenClampedOrMoved) {
    QRect r;
    r.setCoords(1300, 500, -10, 2000);  // swapped x
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
    EXPECT_EQ(r.right(), 1277);
    EXPECT_EQ(r.bottom(), 1021);
    EXPECT_EQ(r.width(), 2000);
}

TEST(ColourConversion, GreyTableAndWhitePixel) {
    EXPECT_EQ(gaRGB2Gray[255], 78074);
    EXPECT_EQ(gaRGB2Gray[256 + 255], 153277);
    EXPECT_EQ(gaRGB2Gray[512 + 255], 29767);
    // The table is floor(i x w x 1024) with w = 299/1000, 587/1000, 114/1000.
    const int weights[3] = {299, 587, 114};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(gaRGB2Gray[k * 256 + i], i * weights[k] * 1024 / 1000) << k << " " << i;

    const int white = pixel(255, 255, 255, 255);
    uchar grey = 0;
    RGB2Gray(&grey, &white, 1, 1);
    EXPECT_EQ(grey, 254);
}

TEST(ColourConversion, GreyOfAFrameUsesRedInTheLowByte) {
    std::mt19937 random(7);
    const int w = 333, h = 257;  // odd sizes, large enough for the parallel path
    std::vector<int> frame(size_t(w) * h);
    for (int& p : frame) p = int(random());
    std::vector<uchar> grey(frame.size()), viaAlias(frame.size());
    RGB2Gray(grey.data(), frame.data(), w, h);
    RGBA2Gray(viaAlias.data(), frame.data(), w, h);
    EXPECT_EQ(grey, viaAlias);
    for (size_t i = 0; i < frame.size(); i += 97) {
        const unsigned v = unsigned(frame[i]);
        const int r = v & 255, g = (v >> 8) & 255, b = (v >> 16) & 255;
        const int expected =
            (r * 299 * 1024 / 1000 + g * 587 * 1024 / 1000 + b * 114 * 1024 / 1000) / 1024;
        ASSERT_EQ(grey[i], expected) << i;
    }
    uchar pureRed = 0;
    const int red = pixel(255, 0, 0);
    RGB2Gray(&pureRed, &red, 1, 1);
    EXPECT_EQ(pureRed, 76);  // 78074 / 1024
}

TEST(ColourConversion, GreyToFourBytes) {
    const uchar grey[3] = {0, 128, 255};
    int out[3] = {-1, -1, -1};
    Gray2RGBA(grey, out, 3, 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], pixel(128, 128, 128, 0));
    EXPECT_EQ(out[2], pixel(255, 255, 255, 0));
}

TEST(ColourConversion, HueSectorsAndTies) {
    EXPECT_EQ(RGB2HueByte(255, 0, 0), 0);
    EXPECT_EQ(RGB2HueByte(0, 255, 0), 85);
    EXPECT_EQ(RGB2HueByte(0, 0, 255), 170);
    EXPECT_EQ(RGB2HueByte(0, 0, 0), 0);
    EXPECT_EQ(RGB2HueByte(90, 90, 90), 0);
    EXPECT_EQ(RGB2HueByte(255, 255, 0), 42);   // red wins a tie with green
    EXPECT_EQ(RGB2HueByte(0, 255, 255), 127);  // green wins a tie with blue
    EXPECT_EQ(RGB2HueByte(255, 0, 255), 212);  // red max, green below blue: + 6
    EXPECT_EQ(RGB2HueByte(255, 0, 1), 254);    // the top of the range
    EXPECT_EQ(RGB2HueByte(200, 100, 50), 14);  // (100 - 50) / 150 x 42.5 = 14.17
}

TEST(ColourConversion, HueOfAFrameMatchesThePixelFunction) {
    std::mt19937 random(11);
    const int w = 301, h = 263;
    std::vector<int> frame(size_t(w) * h);
    for (int& p : frame) p = int(random());
    std::vector<uchar> hue(frame.size());
    RGBA2Hue(hue.data(), frame.data(), w, h);
    for (size_t i = 0; i < frame.size(); ++i) {
        const unsigned v = unsigned(frame[i]);
        ASSERT_EQ(hue[i], RGB2HueByte(uchar(v), uchar(v >> 8), uchar(v >> 16))) << i;
    }
}
