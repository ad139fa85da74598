// The camera views' side of the shared slots: the step's number keeps the first failed area
// until the saver takes it, slots that do not exist are refused, and the operator's alarm
// handling is written onto the stored picture as the handling state moves on.
#include <gtest/gtest.h>

#include "failimagelimits.h"
#include "failslots.h"
#include "globals.h"
#include "slotrig.h"

using namespace failimage;
using testrig::countPixels;
using testrig::isRed;

namespace {

FailPictureSpec failingSpec(int failedArea, int areas) {
    FailPictureSpec spec;
    for (int i = 0; i < areas; ++i) {
        AreaOverlay area;
        area.shape = AreaShape::Rect;
        area.imageRect = QRect(10 + 20 * i, 150, 10, 10);
        area.passed = i != failedArea;
        spec.areas.append(area);
    }
    return spec;
}

class FailSlotsTest : public ::testing::Test {
protected:
    testrig::SlotRig rig{{QSize(160, 200), QSize(64, 48)}, 4};
    QByteArray frame = QByteArray(160 * 200, char(0x40));
    FrameView view{reinterpret_cast<const uchar*>(frame.constData()), 160, 200, false};
};

}  // namespace

TEST_F(FailSlotsTest, StepNumberKeepsTheFirstFailedAreaUntilTaken) {
    ASSERT_TRUE(saveFailPicture(0, 1, kKindNG, view, failingSpec(2, 4)));
    EXPECT_EQ(rig.failNumber(0, 1), 3);
    // Neither a second NG picture before the saver ran nor an OK picture changes it; an OK
    // picture whose areas all passed leaves a fresh step alone.
    ASSERT_TRUE(saveFailPicture(0, 1, kKindNG, view, failingSpec(0, 4)));
    ASSERT_TRUE(saveFailPicture(0, 1, kKindOK, view, failingSpec(-1, 4)));
    ASSERT_TRUE(saveFailPicture(0, 3, kKindOK, view, failingSpec(-1, 4)));
    EXPECT_EQ(rig.failNumber(0, 1), 3);
    EXPECT_EQ(rig.failNumber(0, 3), 0);
    // Once the saver has cleared it, the next failure counts again.
    rig.setFailNumber(0, 1, 0);
    ASSERT_TRUE(saveFailPicture(0, 1, kKindNG, view, failingSpec(0, 4)));
    EXPECT_EQ(rig.failNumber(0, 1), 1);
}

TEST_F(FailSlotsTest, SlotsThatDoNotExistAreRefused) {
    EXPECT_FALSE(saveFailPicture(2, 0, kKindNG, view, failingSpec(0, 1)));  // no slots
    EXPECT_FALSE(saveFailPicture(0, 8, kKindNG, view, failingSpec(0, 1)));
    EXPECT_FALSE(saveFailPicture(0, 0, kKindNG, FrameView{}, failingSpec(0, 1)));
    EXPECT_EQ(rig.failNumber(0, 0), 0);
    EXPECT_TRUE(loadPicture(2, 0, kKindNG, QSize(64, 48)).isNull());
    EXPECT_TRUE(loadPicture(0, 0, kKindNG, QSize()).isNull());
}

TEST_F(FailSlotsTest, HandlingTextIsWrittenOnTheStoredPictureAndTheStateMovesOn) {
    gaLanStr[120 * kLanguageCount + gLan] = QStringLiteral("Alarm clear method:");
    gaLanStr[61 * kLanguageCount + gLan] = QStringLiteral("Re-detected");
    gaLanStr[143 * kLanguageCount + gLan] = QStringLiteral("OK Image Re-detect");
    const QRect textBand(QPoint(55, 88), QPoint(159, 114));
    const QSize size(160, 200);

    // Re-detect that passed: NG picture gets "Re-detected" (7 -> 8), then the OK picture is
    // rendered and gets "OK Image Re-detect" (8 -> 10).
    ASSERT_TRUE(saveFailPicture(0, 0, kKindNG, view, FailPictureSpec{}));
    const int before = countPixels(rig.slotPicture(0, 0, kKindNG), textBand, isRed);
    int state = kStateRedetected;
    ASSERT_TRUE(updateFailPicture(0, 0, kKindNG, size, &state));
    EXPECT_EQ(state, kStateRedetectedOK);
    EXPECT_GT(countPixels(rig.slotPicture(0, 0, kKindNG), textBand, isRed), before + 50);

    FailPictureSpec ok;
    ok.isOK = true;
    ASSERT_TRUE(saveFailPicture(0, 0, kKindOK, view, ok));
    EXPECT_EQ(countPixels(rig.slotPicture(0, 0, kKindOK), textBand, isRed), 0);
    ASSERT_TRUE(updateFailPicture(0, 0, kKindOK, size, &state));
    EXPECT_EQ(state, kStateBothImagesDue);
    EXPECT_GT(countPixels(rig.slotPicture(0, 0, kKindOK), textBand, isRed), 50);

    // A state outside 4..8 draws nothing and stays.
    const QImage unchanged = rig.slotPicture(0, 0, kKindOK);
    state = 3;
    EXPECT_TRUE(updateFailPicture(0, 0, kKindOK, size, &state));
    EXPECT_EQ(state, 3);
    EXPECT_EQ(rig.slotPicture(0, 0, kKindOK), unchanged);

    // Without a slot the state still moves on, so the picture hand-over is not stuck.
    state = kStateDontDetect;
    EXPECT_FALSE(updateFailPicture(3, 0, kKindNG, QSize(64, 48), &state));
    EXPECT_EQ(state, kStateNGImageDue);
    for (int entry : {120, 61, 143}) gaLanStr[entry * kLanguageCount + gLan].clear();
}
