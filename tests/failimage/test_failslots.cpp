// The camera views' side of the shared slots: rendered pictures land in the right slot, the
// step's number keeps the first failed area until the saver takes it, and the operator's
// alarm handling is written onto the stored picture as the handling state moves on.
#include <gtest/gtest.h>

#include <QMutexLocker>

#include "failimagelimits.h"
#include "failslots.h"
#include "globals.h"
#include "slotrig.h"

using namespace failimage;

namespace {

constexpr QRgb kBackground = 0xff404040u;

int redPixels(const QImage& picture, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = picture.pixel(x, y);
            n += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
        }
    return n;
}

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

TEST_F(FailSlotsTest, RenderedPictureLandsInItsSlotAndNowhereElse) {
    ASSERT_TRUE(saveFailPicture(0, 2, kKindNG, view, failingSpec(1, 3)));
    const QImage stored = rig.slotPicture(0, 2, kKindNG);
    EXPECT_EQ(stored.pixel(100, 100), kBackground);
    EXPECT_GT(redPixels(stored, QRect(30, 150, 10, 10)), 0);  // the failed area
    EXPECT_GT(redPixels(stored, QRect(5, 55, 40, 28)), 0);    // "NG"
    // Neighbouring slots are untouched (still zero) and nothing is marked for saving.
    EXPECT_EQ(rig.slotPicture(0, 2, kKindOK).pixel(100, 100), qRgb(0, 0, 0));
    EXPECT_EQ(rig.slotPicture(0, 1, kKindNG).pixel(100, 100), qRgb(0, 0, 0));
    EXPECT_FALSE(rig.isMarked(0, 2, kKindNG));
}

TEST_F(FailSlotsTest, StepNumberKeepsTheFirstFailedAreaUntilTaken) {
    ASSERT_TRUE(saveFailPicture(0, 1, kKindNG, view, failingSpec(2, 4)));
    EXPECT_EQ(rig.failNumber(0, 1), 3);
    // A second NG picture before the saver ran does not change it.
    ASSERT_TRUE(saveFailPicture(0, 1, kKindNG, view, failingSpec(0, 4)));
    EXPECT_EQ(rig.failNumber(0, 1), 3);
    // An OK picture whose areas all passed leaves it alone, here and on a fresh step.
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

    // Re-detect that passed: NG picture gets "Re-detected" (7 -> 8), then the OK picture is
    // rendered and gets "OK Image Re-detect" (8 -> 10).
    ASSERT_TRUE(saveFailPicture(0, 0, kKindNG, view, FailPictureSpec{}));
    const int before = redPixels(rig.slotPicture(0, 0, kKindNG), textBand);
    int state = kStateRedetected;
    ASSERT_TRUE(updateFailPicture(0, 0, kKindNG, QSize(160, 200), &state));
    EXPECT_EQ(state, kStateRedetectedOK);
    EXPECT_GT(redPixels(rig.slotPicture(0, 0, kKindNG), textBand), before + 50);

    FailPictureSpec ok;
    ok.isOK = true;
    ASSERT_TRUE(saveFailPicture(0, 0, kKindOK, view, ok));
    EXPECT_EQ(redPixels(rig.slotPicture(0, 0, kKindOK), textBand), 0);
    ASSERT_TRUE(updateFailPicture(0, 0, kKindOK, QSize(160, 200), &state));
    EXPECT_EQ(state, kStateBothImagesDue);
    EXPECT_GT(redPixels(rig.slotPicture(0, 0, kKindOK), textBand), 50);

    // A state outside 4..8 draws nothing and stays.
    const QImage unchanged = rig.slotPicture(0, 0, kKindOK);
    state = 3;
    EXPECT_TRUE(updateFailPicture(0, 0, kKindOK, QSize(160, 200), &state));
    EXPECT_EQ(state, 3);
    EXPECT_EQ(rig.slotPicture(0, 0, kKindOK), unchanged);

    // Without a slot the state still moves on, so the picture hand-over is not stuck.
    state = kStateDontDetect;
    EXPECT_FALSE(updateFailPicture(3, 0, kKindNG, QSize(64, 48), &state));
    EXPECT_EQ(state, kStateNGImageDue);
    for (int entry : {120, 61, 143}) gaLanStr[entry * kLanguageCount + gLan].clear();
}
