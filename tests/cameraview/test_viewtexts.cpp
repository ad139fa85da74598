// The labels, status words and overlay rules of the camera views.

#include <gtest/gtest.h>

#include "globals.h"
#include "languagetable.h"
#include "viewrules.h"
#include "viewtexts.h"

using namespace cameraview;

namespace {

class Texts : public ::testing::Test {
protected:
    void SetUp() override {
        fillLanguageTable();
        saved_ = gLan;
        gLan = 1;
    }
    void TearDown() override { gLan = saved_; }

private:
    int saved_ = 0;
};

}  // namespace

TEST_F(Texts, RegionLabelsByFunction) {
    const GlobalLimits off{false, 5, 150};
    const GlobalLimits on{true, 5, 150};
    const RegionNumbers defect{0, 25, 100, 3};
    EXPECT_EQ(regionParamText(defect, off), "25, 150, 5");
    EXPECT_EQ(regionParamText(defect, on), "25,100,3");
    EXPECT_EQ(regionLimitText(defect, off), "150");
    EXPECT_EQ(regionLimitText(defect, on), "100");

    const RegionNumbers spot{1, 10, 90, (40 << 8) | 200};
    EXPECT_EQ(regionParamText(spot, off), "10--90,200--40");
    EXPECT_EQ(regionLimitText(spot, off), "10--90");

    const RegionNumbers dark{4, 0x1FF, 77, 0};
    EXPECT_EQ(regionParamText(dark, off), "255, 77");
    EXPECT_EQ(regionLimitText(dark, off), "77");

    const RegionNumbers similarity{6, 60, 0, 0};
    EXPECT_EQ(regionParamText(similarity, off), "60");
    EXPECT_EQ(regionLimitText(similarity, off), "60");

    // Count range: low half the minimum, high half the maximum (read unsigned).
    const RegionNumbers count{7, 0x180, int(0xFFFF0002u), 4};
    EXPECT_EQ(regionParamText(count, off), "128,2--65535,4");
    EXPECT_EQ(regionLimitText(count, off), "2--65535");

    const RegionNumbers ignore{2, 1, 2, 3};
    EXPECT_EQ(regionParamText(ignore, off), "2");
    EXPECT_EQ(regionLimitText(ignore, off), "2");

    EXPECT_EQ(regionLabel(0, "150", 12, 10), "1: 150 / 12 ");
    EXPECT_EQ(regionLabel(10, "150", 12, 11), "11: 12");
}

TEST_F(Texts, StatusWordsAndNames) {
    EXPECT_EQ(liveStatus(true, 3, 1, true).text, "resampling");
    EXPECT_EQ(liveStatus(true, 3, 1, true).tone, StatusTone::Cyan);
    const StatusWord stopped = liveStatus(false, 3, 1, true);
    EXPECT_EQ(stopped.tone, StatusTone::Red);
    EXPECT_EQ(stopped.text, QString::fromUtf8("stopping   温度报警"));
    EXPECT_EQ(liveStatus(false, 1, 1, false).text, "detecting");
    EXPECT_EQ(liveStatus(false, 1, 2, false).text, "detected");
    EXPECT_EQ(liveStatus(false, 1, 3, false).text, "Waiting");
    EXPECT_TRUE(liveStatus(false, 1, 0, false).text.isEmpty());
    EXPECT_EQ(recentNgStatus(2).tone, StatusTone::Cyan);
    EXPECT_EQ(recentNgStatus(1).text, "detecting");

    EXPECT_EQ(detectionName(0, 1), "Mold");
    EXPECT_EQ(detectionName(2, 2), "Right prod");
    EXPECT_EQ(detectionName(3, 0), "1st");

    EXPECT_TRUE(countdownText(0.02f).isEmpty());
    EXPECT_EQ(countdownText(2.5f), "2.5");
    EXPECT_EQ(countdownText(12.34f), "12.3");
}

TEST(ViewRules, OverlaysByResultAndSource) {
    const auto choice = [](int result, int source, bool realTime) {
        const OverlayChoice c = overlayChoice(result, source, realTime);
        return (c.mark ? 2 : 0) + (c.regions ? 1 : 0);
    };
    // resultState 0 with realTimeShowROI on: ROIs, mark + ROIs, ROIs.
    EXPECT_EQ(choice(0, 0, true), 1);
    EXPECT_EQ(choice(0, 1, true), 3);
    EXPECT_EQ(choice(0, -1, true), 1);
    // Off: ROIs on templates only.
    EXPECT_EQ(choice(0, 0, false), 1);
    EXPECT_EQ(choice(0, 1, false), 0);
    EXPECT_EQ(choice(0, -1, false), 0);
    for (int source : {0, 1, -1}) EXPECT_EQ(choice(1, source, false), 3);
    EXPECT_EQ(choice(2, 0, false), 1);
    EXPECT_EQ(choice(2, 1, false), 3);
    EXPECT_EQ(choice(2, -1, true), 0);
    EXPECT_EQ(choice(3, 0, true), 1);
    EXPECT_EQ(choice(3, 1, true), 0);
    EXPECT_EQ(choice(3, -1, true), 0);
}

TEST(ViewRules, GrabbedFramesShown) {
    EXPECT_TRUE(showsGrabbedFrame(-1, false, false, 2));
    EXPECT_TRUE(showsGrabbedFrame(1, false, true, 1));
    EXPECT_FALSE(showsGrabbedFrame(0, false, false, 0));
    EXPECT_FALSE(showsGrabbedFrame(2, false, false, 0));
    EXPECT_FALSE(showsGrabbedFrame(-1, true, false, 0));
    EXPECT_FALSE(showsGrabbedFrame(1, false, true, 2));
}
