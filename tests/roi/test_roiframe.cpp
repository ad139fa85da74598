#include <gtest/gtest.h>

#include <QSqlQuery>
#include <memory>
#include <opencv2/imgproc.hpp>

#include "roiframe.h"
#include "roitestutil.h"

namespace {

class RoiFrame : public roitest::DisplayTest {
protected:
    // Display 1280 x 1024 over a 2560 x 2048 frame: two image pixels per display pixel.
    static constexpr float kScale = 0.5f;
    const cv::Size frameSize{2560, 2048};
    roitest::TempDatabase store;
    std::unique_ptr<CammerSingleton> param = std::make_unique<CammerSingleton>(0);
    std::unique_ptr<RoiMaskTable> masks = std::make_unique<RoiMaskTable>();

    void load(const QStringList& roiRows) {
        ASSERT_TRUE(store.exec("create table cammer0 (name text, value text)"));
        ASSERT_TRUE(store.exec(
            QString("insert into cammer0 values ('detect0', '%1')").arg(roiRows.size())));
        for (int i = 0; i < roiRows.size(); ++i)
            ASSERT_TRUE(store.exec(
                QString("insert into cammer0 values ('ROI0-%1', '%2')").arg(i).arg(roiRows[i])));
        param->LoadDatafromFile(store.db(), kScale, kScale, masks.get());
    }

    // What the engine does with a ROI: the frame's pixels under the mask.
    int maskedPixels(int i, const cv::Mat& frame) {
        const roi::RoiPixels pixels = roi::roiPixels(*param, 0, i, frame, (*masks)[0][size_t(i)]);
        if (pixels.isEmpty()) return -1;
        cv::Mat out;
        cv::bitwise_and(pixels.image, pixels.mask, out);
        return cv::countNonZero(out);
    }
};

}  // namespace

TEST_F(RoiFrame, RingsReachingPastTheFrameEdgeAreCutWithTheirMask) {
    load({"3 25 100 0 4 0 0 3 500 200",      // centre on the left margin, radius 200
          "3 25 100 0 4 0 0 1277 1021 300",  // bottom-right corner
          "3 25 100 0 4 0 0 640 3 100"});    // top edge
    const cv::Mat frame(frameSize, CV_8UC1, cv::Scalar(255));

    const Circle& left = param->circles[0][0];
    EXPECT_EQ(left.radius, 200);  // the stored radius is kept
    EXPECT_LT(left.imageRect.left(), 0);
    const imaging::ClippedArea area = roi::roiFrameArea(*param, 0, 0, frameSize);
    EXPECT_EQ(area.inFrame.x, 0);
    EXPECT_EQ(area.inMask.x, -left.imageRect.left());
    EXPECT_EQ(area.inFrame.size(), area.inMask.size());

    for (int i = 0; i < 3; ++i) {
        const int inside = maskedPixels(i, frame);
        ASSERT_GT(inside, 0) << i;
        // The pixels counted are those of the mask that fall inside the frame.
        const cv::Mat& mask = (*masks)[0][size_t(i)];
        const imaging::ClippedArea a = roi::roiFrameArea(*param, 0, i, frameSize);
        EXPECT_EQ(inside, cv::countNonZero(mask(a.inMask))) << i;
        EXPECT_LT(inside, cv::countNonZero(mask)) << i;
    }
}

TEST_F(RoiFrame, RegionsOutsideOrWithoutMatchingMaskGiveNothing) {
    load({"3 25 100 0 1 0 0 50 50 100 100"});
    const cv::Mat small(20, 20, CV_8UC1, cv::Scalar(255));  // a frame the ROI does not reach
    EXPECT_EQ(maskedPixels(0, small), -1);
    const cv::Mat frame(frameSize, CV_8UC1, cv::Scalar(255));
    const cv::Mat wrongMask(3, 3, CV_8UC1, cv::Scalar(255));
    EXPECT_TRUE(roi::roiPixels(*param, 0, 0, frame, wrongMask).isEmpty());
    EXPECT_EQ(maskedPixels(0, frame), 102 * 102);  // inside: the whole rectangle
}
