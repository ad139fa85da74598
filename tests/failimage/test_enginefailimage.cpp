// The view operations over a camera's engine context: the inspected frame with the live areas
// and results lands in the slot, retraining takes the grabbed frame everywhere it belongs, and
// ignore points reach their file.
#include <gtest/gtest.h>

#include <QDir>
#include <memory>

#include "cammersingleton.h"
#include "enginecontext.h"
#include "enginefailimage.h"
#include "failimagelimits.h"
#include "failslots.h"
#include "globals.h"
#include "privatemount.h"
#include "slotrig.h"
#include "templatefiles.h"
#include "testsupport.h"

using namespace failimage;
using testrig::isGreen;
using testrig::isRed;

namespace {

constexpr int kW = 200;
constexpr int kH = 150;

class EngineFailImageTest : public ::testing::Test {
protected:
    EngineFailImageTest() {
        context.setFrameGeometry(kW, kH, false, false);
        context.cameraNo = 1;
        context.prepareDetection(1, 2);
        param->roiCount[1] = 2;
        param->roiShapeType[1][0] = 1;
        param->rects[1][0].imageRect = QRect(QPoint(20, 30), QPoint(89, 99));
        param->roiShapeType[1][1] = 1;
        param->rects[1][1].imageRect = QRect(QPoint(110, 30), QPoint(179, 99));
        context.liveParam = param.get();
        context.roiOK[1][0] = 0;
        context.roiOK[1][1] = 1;
        context.roiValue[1][0] = 12;
        context.roiValue[1][1] = 3;
        context.defectRects[1][0].count = 1;
        context.defectRects[1][0].rects[0] = {40, 50, 60, 70};
        std::fill(context.alignedBuf.begin(), context.alignedBuf.end(), uchar(90));
    }

    testsupport::WorkDir work;
    testrig::SlotRig rig{{QSize(64, 48), QSize(kW, kH)}, 2};
    engine::EngineContext context;
    std::unique_ptr<CammerSingleton> param = std::make_unique<CammerSingleton>(1);
};

}  // namespace

TEST_F(EngineFailImageTest, InspectedFrameIsRenderedWithLiveAreasIntoTheCamerasSlot) {
    ASSERT_TRUE(saveFailImage(context, 1, 0, false, 1.0f, 1.0f));
    const QImage picture = rig.slotPicture(1, 1, kKindNG);
    EXPECT_EQ(picture.pixel(150, 130), qRgb(90, 90, 90));
    EXPECT_TRUE(isRed(picture.pixel(20, 30)));
    EXPECT_TRUE(isRed(picture.pixel(89, 99)));
    EXPECT_TRUE(isGreen(picture.pixel(110, 30)));
    EXPECT_TRUE(isRed(picture.pixel(59, 69)));  // the defect box, exclusive corner at (60, 70)
    EXPECT_EQ(picture.pixel(60, 69), qRgb(90, 90, 90));
    EXPECT_EQ(rig.failNumber(1, 1), 1);
    // Other slots are untouched (still zero) and nothing is marked for saving.
    EXPECT_EQ(rig.slotPicture(0, 1, kKindNG).pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(rig.slotPicture(1, 1, kKindOK).pixel(150, 130), qRgb(0, 0, 0));
    EXPECT_FALSE(rig.isMarked(1, 1, kKindNG));

    int state = kStateRedetected;
    EXPECT_TRUE(updateFailImage(context, 1, 0, &state));
    EXPECT_EQ(state, kStateRedetectedOK);

    EXPECT_FALSE(saveFailImage(context, 8, 0, false, 1.0f, 1.0f));
    context.alignedBuf.clear();
    EXPECT_FALSE(saveFailImage(context, 1, 0, false, 1.0f, 1.0f));
}

TEST_F(EngineFailImageTest, RetrainingAndIgnorePointsReachTheDetectionsFiles) {
    ASSERT_TRUE(QDir().mkpath("cammer22"));
    for (size_t i = 0; i < context.grabBuf.size(); ++i) context.grabBuf[i] = uchar(i * 7);
    std::vector<uchar> shown(context.grabBuf.size(), 0);
    ASSERT_TRUE(saveReTrainImage(context, 1, &shown));
    EXPECT_EQ(context.alignedBuf, context.grabBuf);
    EXPECT_EQ(shown, context.grabBuf);
    EXPECT_EQ(context.templateBuf[1][0], context.grabBuf);
    EXPECT_NE(context.templateBuf[1][1], context.grabBuf);

    EXPECT_EQ(QImage(templatePath(1, 1, 0)).format(), QImage::Format_Indexed8);
    std::vector<uchar> stored(context.grabBuf.size(), 0);
    ASSERT_TRUE(loadFrameBmp(templatePath(1, 1, 0), kW, kH, false, stored.data()));
    EXPECT_EQ(stored, context.grabBuf);

    context.grabBuf.clear();
    EXPECT_FALSE(saveReTrainImage(context, 1, &shown));

    // Ignore points reach the detection's file.
    auto& mask = context.ignoreMask[1];
    ASSERT_EQ(mask.size(), size_t(kW * kH));
    mask[kW * 10 + 17] = 255;
    ASSERT_TRUE(saveIgnorePoint(context, 1));
    EXPECT_EQ(loadIgnoreMask(1, 1, kW, kH), mask);
    EXPECT_FALSE(saveIgnorePoint(context, 3));  // not prepared: no mask
}

// Both roads that take a template from a frame (the resample and the automatic update), and the
// ignore points a resample clears: what the disk refuses is not put in force.
TEST_F(EngineFailImageTest, WhatTheDiskRefusesStaysAsItWasInForce) {
    if (!testsupport::inPrivateMountNamespace()) return;
    testsupport::TmpfsMount disk("cammer22", 1 << 20);
    ASSERT_TRUE(disk.isMounted());
    std::fill(context.grabBuf.begin(), context.grabBuf.end(), uchar(7));
    const std::vector<uchar> before = context.templateBuf[1][0];
    std::vector<uchar>& mask = context.ignoreMask[1];
    const std::vector<uchar> noPoints(mask.size(), 0);
    disk.fill();
    EXPECT_TRUE(clearIgnorePoints(context, 1)) << "no points: nothing is kept in force";
    mask[kW * 10 + 17] = 255;
    const std::vector<uchar> points = mask;
    EXPECT_FALSE(saveReTrainImage(context, 1, nullptr));
    EXPECT_FALSE(clearIgnorePoints(context, 1));
    EXPECT_TRUE(context.templateBuf[1][0] == before);
    EXPECT_TRUE(mask == points);

    disk.unfill();
    EXPECT_TRUE(saveReTrainImage(context, 1, nullptr));
    EXPECT_TRUE(clearIgnorePoints(context, 1));
    EXPECT_TRUE(context.templateBuf[1][0] == context.grabBuf);
    EXPECT_TRUE(mask == noPoints);
    EXPECT_TRUE(loadIgnoreMask(1, 1, kW, kH) == noPoints);
}
