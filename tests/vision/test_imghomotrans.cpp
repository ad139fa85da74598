#include <gtest/gtest.h>

#include <QStringList>
#include <QtGlobal>
#include <opencv2/imgproc.hpp>

#include "imghomotrans.h"
#include "synthetic.h"

namespace {

class HomographyTest : public testing::Test {
protected:
    // The template seen by a camera slightly tilted, turned and moved.
    cv::Mat tilted(const cv::Mat& picture) const {
        const std::vector<cv::Point2f> from{{0, 0}, {640, 0}, {640, 480}, {0, 480}};
        const std::vector<cv::Point2f> to{{30, 20}, {620, -12}, {660, 462}, {-10, 500}};
        cv::Mat frame;
        cv::warpPerspective(picture, frame, cv::getPerspectiveTransform(from, to), picture.size(),
                            cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        return frame;
    }

    const cv::Mat templ_ = synthetic::featureRich(cv::Size(640, 480), 21);
    const cv::Rect inner_{60, 60, 520, 360};
};

TEST_F(HomographyTest, RecoversAPerspectiveWarp) {
    ImgHomoTrans homo;
    EXPECT_TRUE(homo.setTemplate(templ_, cv::Mat(), 300));
    const cv::Mat frame = synthetic::withNoise(tilted(templ_), 2.0, 3);
    ASSERT_GT(synthetic::meanAbsDiff(frame, templ_, inner_), 12.0);

    // The result lands in the caller's buffer.
    std::vector<uchar> buffer(frame.total(), 0);
    cv::Mat registered(frame.size(), CV_8UC1, buffer.data());
    ASSERT_TRUE(homo.transImageHomo(frame, registered, 0.4f));
    EXPECT_EQ(registered.data, buffer.data());
    EXPECT_LT(synthetic::meanAbsDiff(registered, templ_, inner_), 4.0);

    // A second frame reuses the template's features.
    cv::Mat out;
    ASSERT_TRUE(homo.transImageHomo(synthetic::withNoise(tilted(templ_), 2.0, 4), out, 0.4f));
    EXPECT_LT(synthetic::meanAbsDiff(out, templ_, inner_), 4.0);

    // Within a mask.
    cv::Mat mask = cv::Mat::zeros(templ_.size(), CV_8UC1);
    mask(cv::Rect(160, 120, 480, 360)).setTo(255);
    ImgHomoTrans masked;
    masked.setTemplate(templ_, mask, 300);
    ASSERT_TRUE(masked.transImageHomo(tilted(templ_), out, 0.4f));
    EXPECT_LT(synthetic::meanAbsDiff(out, templ_, cv::Rect(200, 160, 380, 260)), 4.0);
}

QStringList gWarnings;
void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg) gWarnings << text;
}

TEST_F(HomographyTest, FailuresLeaveTheFrameAlone) {
    ImgHomoTrans homo;
    cv::Mat out(templ_.size(), CV_8UC1, cv::Scalar(7));
    EXPECT_FALSE(homo.transImageHomo(tilted(templ_), out, 0.4f)) << "no template yet";
    EXPECT_FALSE(homo.setTemplate(cv::Mat(), cv::Mat(), 300));
    EXPECT_FALSE(homo.setTemplate(templ_, cv::Mat::ones(10, 10, CV_8UC1), 300)) << "mask size";
    EXPECT_FALSE(homo.setTemplate(templ_, cv::Mat(templ_.size(), CV_32F), 300)) << "mask type";
    EXPECT_FALSE(homo.setTemplate(templ_, cv::Mat(), 1000000)) << "too few features";
    ASSERT_TRUE(homo.setTemplate(templ_, cv::Mat(), 300));
    EXPECT_FALSE(homo.transImageHomo(cv::Mat(), out, 0.4f));
    EXPECT_FALSE(homo.transImageHomo(cv::Mat(templ_.size(), CV_8UC1, cv::Scalar(100)), out, 0.4f))
        << "featureless frame";

    // The feature detector refuses 16-bit pictures by throwing: a failed result and a warning.
    cv::Mat deep;
    templ_.convertTo(deep, CV_16U, 256);
    gWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    const bool registered = homo.transImageHomo(deep, out, 0.4f);
    qInstallMessageHandler(previous);
    EXPECT_FALSE(registered);
    ASSERT_EQ(gWarnings.size(), 1);
    EXPECT_TRUE(gWarnings[0].contains("ImgHomoTrans::transImageHomo"))
        << gWarnings[0].toStdString();
    EXPECT_EQ(cv::countNonZero(out != 7), 0);
}

TEST_F(HomographyTest, LargeTemplatesAndOtherFrameSizes) {
    // A 1280 x 1024 template works on a scaled copy; point pairs come back in full pixels.
    const cv::Mat large = synthetic::featureRich(cv::Size(1280, 1024), 8);
    ImgHomoTrans homo;
    ASSERT_TRUE(homo.setTemplate(large, cv::Mat(), 300));
    cv::Mat moved;
    cv::warpAffine(large, moved, cv::Matx23d(1, 0, 9, 0, 1, -6), large.size(), cv::INTER_LINEAR,
                   cv::BORDER_REPLICATE);
    cv::Mat out;
    ASSERT_TRUE(homo.transImageHomo(moved, out, 0.4f));
    EXPECT_LT(synthetic::meanAbsDiff(out, large, cv::Rect(100, 100, 1080, 824)), 4.0);

    // A frame of another size is matched without the mask and warped to its own size.
    const cv::Mat part = moved(cv::Rect(0, 0, 1000, 800)).clone();
    ASSERT_TRUE(homo.transImageHomo(part, out, 0.4f));
    EXPECT_EQ(out.size(), part.size());
}

TEST(HomographyPlausibility, CameraPosesAreAcceptedAndTheRestRefused) {
    const cv::Size frame(1920, 1080);
    const auto turned = [&](double degrees, double scale) {
        const cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(960, 540), degrees, scale);
        return cv::Matx33d(m.at<double>(0, 0), m.at<double>(0, 1), m.at<double>(0, 2) + 12,
                           m.at<double>(1, 0), m.at<double>(1, 1), m.at<double>(1, 2) - 9, 0, 0, 1);
    };
    // A tilt about the frame centre: the centre keeps its scale, the sides do not.
    const cv::Matx33d toCentre(1, 0, -960, 0, 1, -540, 0, 0, 1);
    const cv::Matx33d strongTilt =
        toCentre.inv() * cv::Matx33d(1, 0, 0, 0, 1, 0, 2.5e-4, 0, 1) * toCentre;
    const std::vector<cv::Point2f> corners{{0, 0}, {1920, 0}, {1920, 1080}, {0, 1080}};
    const cv::Matx33d tilt(cv::getPerspectiveTransform(
        std::vector<cv::Point2f>{{30, 14}, {1900, -10}, {1935, 1070}, {-6, 1095}}, corners));
    const struct {
        const char* what;
        cv::Matx33d h;
        int inliers, matches;
        const char* refusal;  // null: accepted
    } rows[] = {
        {"identity", cv::Matx33d::eye(), 200, 260, nullptr},
        {"shift", cv::Matx33d(1, 0, 25, 0, 1, -18, 0, 0, 1), 150, 300, nullptr},
        {"small turn", turned(3.0, 1.0), 90, 200, nullptr},
        {"slight perspective", tilt, 120, 200, nullptr},
        {"flipped", cv::Matx33d(-1, 0, 1920, 0, 1, 0, 0, 0, 1), 200, 260, "mirrored"},
        {"collapsed", cv::Matx33d(1, 0, 0, 0, 0, 540, 0, 0, 1), 200, 260, "collapsed"},
        {"shrunk", turned(1.0, 0.7), 200, 260, "scale"},
        {"strongly sheared", cv::Matx33d(1, 0.3, -160, 0, 1, 0, 0, 0, 1), 200, 260, "sheared"},
        {"strong perspective", strongTilt, 200, 260, "perspective"},
        {"moved away", cv::Matx33d(1, 0, 300, 0, 1, 0, 0, 0, 1), 200, 260, "too far"},
        {"few inliers", cv::Matx33d::eye(), 11, 14, "inliers"},
        {"small share of inliers", cv::Matx33d::eye(), 40, 200, "inliers"},
    };
    for (const auto& row : rows) {
        const char* refusal = vision::implausibleHomography(row.h, frame, row.inliers, row.matches);
        const std::string got = refusal ? refusal : "accepted";
        EXPECT_NE(got.find(row.refusal ? row.refusal : "accepted"), std::string::npos)
            << row.what << ": " << got;
    }
}

}  // namespace
