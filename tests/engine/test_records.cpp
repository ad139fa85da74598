// Result records and where they go, run errors and their operator records, the single-region
// test of the editing page, and bad input that must not throw or crash.
#include <gtest/gtest.h>

#include <QThread>
#include <climits>
#include <memory>
#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "globals.h"
#include "httpapiserver.h"
#include "mon_netmn.h"
#include "networksinks.h"
#include "roilimits.h"

using namespace enginetest;

namespace {

const cv::Size kFrame(320, 240);

class Records : public testing::Test {
protected:
    void SetUp() override {
        rig_.ctx.cameraNo = 3;
        board_ = flat(kFrame, 128, 1.0, 1);
        board_(cv::Rect(20, 20, 10, 10)).setTo(250);  // a bright pin
        board_(cv::Rect(150, 30, 12, 12)).setTo(10);  // a dark stain
    }
    Rig rig_{kFrame.width, kFrame.height};
    cv::Mat board_;
};

TEST_F(Records, EveryInspectedRegionGivesOneRecordWithItsLimits) {
    rig_.addRect(0, roi::kFuncBrightCount, {10, 10, 40, 40}, 200, (3 << 16) | 1, 1);
    rig_.addRect(0, roi::kFuncPosition, {0, 0, 100, 100}, 0, 0, 0);
    rig_.addRect(0, roi::kFuncDarkArea, {140, 20, 40, 40}, 60, 50, 9);
    rig_.addRect(0, roi::kFuncIgnore, {200, 200, 10, 10}, 0, 0, 0);
    rig_.addRect(0, roi::kFuncSpot, {60, 60, 40, 40}, 0, 10, (200 << 8) | 220);
    rig_.addRect(0, 9, {200, 100, 20, 20}, 7, 1000, 5);
    rig_.addRect(0, roi::kFuncRegistration, {0, 0, 10, 10}, 0, 0, 0);
    rig_.addRect(0, roi::kFuncSimilarity, {60, 120, 80, 80}, 80, 0, 0);
    rig_.train(board_);
    EXPECT_FALSE(rig_.inspect(board_));

    // camera, detection, roi_id, type, result, lower, upper, param, alarm; the spot passes on
    // an NG camera.
    const std::vector<std::vector<int>> expected = {
        {3, 0, 0, roi::kFuncBrightCount, 1, 1, 3, -1, 1},
        {3, 0, 2, roi::kFuncDarkArea, 121, 0, 50, -1, 0},
        {3, 0, 4, roi::kFuncSpot, 0, 0, 10, -1, 0},
        {3, 0, 5, 9, 19 * 19, 7, 1000, 5, 0},
        {3, 0, 7, roi::kFuncSimilarity, 100, 80, -1, -1, 0}};
    std::vector<std::vector<int>> records;
    for (const param_roi& r : rig_.apiList)
        records.push_back({r.camera, r.detect, r.roi_id, r.algorithm_type, r.algorithm_result,
                           r.algorithm_sensitivity, r.algorithm_areaMin, r.algorithm_param,
                           r.is_alarm});
    EXPECT_EQ(records, expected);
    EXPECT_EQ(rig_.monitorList.size(), 5);
    EXPECT_TRUE(rig_.records.isEmpty());
    const quint8 expectedOk[] = {1, 1, 0, 1, 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(rig_.ctx.roiOK[0][i], expectedOk[i]) << i;
    EXPECT_EQ(rig_.ctx.roiValue[0][1], 0);
    EXPECT_EQ(rig_.ctx.roiValue[0][3], 0);

    // The monitoring list is fed only while it may send.
    rig_.monitorAllowed = false;
    rig_.inspect(0);
    EXPECT_EQ(rig_.monitorList.size(), 5);
    EXPECT_EQ(rig_.apiList.size(), 10);
}

TEST_F(Records, NetworkSinksFollowTheMonitoringLinksPermission) {
    HttpApiServer api;
    engine::connectNetworkSinks(rig_.ctx.sinks, &api);
    MON_NETMN* monitor = MON_NETMN::getInstance();
    monitor->sndDetectOnceInfo(true);  // empties the link's list
    rig_.addRect(0, roi::kFuncDarkArea, {140, 20, 40, 40}, 60, 500, 0);
    rig_.train(board_);
    rig_.inspect(board_);
    ASSERT_EQ(api.roiResults()->size(), 1);
    EXPECT_EQ(api.roiResults()->at(0).algorithm_result, 11 * 11);
    EXPECT_EQ(monitor->pendingRoiResults(), monitor->isAllowSnd() > 0 ? 1 : 0);

    engine::connectNetworkSinks(rig_.ctx.sinks, nullptr);  // no API server
    rig_.inspect(0);
    EXPECT_EQ(api.roiResults()->size(), 1);

    // The API takes its list on its own thread while an engine inspects on another.
    engine::connectNetworkSinks(rig_.ctx.sinks, &api);
    constexpr int kRuns = 2000;
    int taken = 0;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        for (int i = 0; i < kRuns; ++i) rig_.inspect(0);
    }));
    worker->start();
    for (bool last = false; !last;) {
        last = worker->isFinished();
        QMutexLocker lock(api.roiResultsLock());
        taken += api.roiResults()->size();
        api.roiResults()->clear();
    }
    EXPECT_EQ(taken, kRuns + 1);
}

TEST_F(Records, RegionsThatCannotBeInspectedAreRunErrors) {
    const int noMask = rig_.addRect(0, roi::kFuncDarkArea, {10, 10, 20, 20}, 60, 500, 0);
    const int inverted = rig_.addRect(0, roi::kFuncDarkArea, {10, 10, 20, 20}, 60, 500, 0);
    const int outside = rig_.addRect(0, roi::kFuncDarkArea, {400, 300, 20, 20}, 60, 500, 0);
    const int stale = rig_.addRect(0, roi::kFuncDarkArea, {10, 10, 20, 20}, 60, 500, 0);
    const int good = rig_.addRect(0, roi::kFuncDarkArea, {140, 20, 40, 40}, 60, 500, 0);
    rig_.train(board_);

    rig_.ctx.roiMask[0][noMask].release();
    rig_.param->rects[0][inverted].showRect.setCoords(30, 30, 10, 10);
    rig_.ctx.roiMask[0][inverted] = rig_.param->finishRoi(0, inverted, 1.0f, 1.0f);
    ASSERT_TRUE(rig_.ctx.roiMask[0][inverted].empty());
    rig_.param->rects[0][stale].showRect.setCoords(10, 10, 49, 49);  // mask of the old size
    rig_.param->finishRoi(0, stale, 1.0f, 1.0f);

    // A region that was inspected before keeps no stale result once it errs.
    rig_.ctx.roiValue[0][noMask] = 1234;
    rig_.ctx.defectRects[0][size_t(noMask)].count = 5;
    EXPECT_NO_THROW(EXPECT_FALSE(rig_.inspect(board_)));
    EXPECT_EQ(rig_.records, QStringList({"REG RUN ERROR = 3, 0, -1", "REG RUN ERROR = 3, 0, -1",
                                         "REG RUN ERROR = 3, 0, -3", "REG RUN ERROR = 3, 0, -1"}));
    ASSERT_EQ(rig_.apiList.size(), 1);
    EXPECT_EQ(rig_.apiList[0].roi_id, good);
    EXPECT_EQ(rig_.apiList[0].is_alarm, 0);  // the camera was already NG
    for (int i : {noMask, inverted, outside, stale}) {
        EXPECT_EQ(rig_.ctx.roiOK[0][i], 0) << i;
        EXPECT_EQ(rig_.ctx.roiValue[0][i], 0) << i;
        EXPECT_EQ(rig_.ctx.defectRects[0][size_t(i)].count, 0) << i;
    }
    EXPECT_EQ(rig_.ctx.roiOK[0][good], 1);
}

TEST_F(Records, RegionReachingPastTheFrameIsInspectedWhereItLies) {
    // Rings over the lower-right and the upper-left corner, each with a stain in the corner.
    cv::Mat frame = board_.clone();
    const cv::Rect stains[] = {{300, 220, 20, 20}, {0, 0, 20, 20}};
    for (const cv::Rect& r : stains) {
        frame(r).setTo(0);
        rig_.addRing(0, roi::kFuncDarkArea, (r.tl() + r.br()) / 2, 30, 0, 60, 1000, 0);
    }
    rig_.train(board_);
    EXPECT_TRUE(rig_.inspect(frame));
    EXPECT_TRUE(rig_.records.isEmpty());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(rig_.ctx.roiValue[0][i], 19 * 19) << i;
        const engine::DefectRect r = rig_.ctx.defectRects[0][size_t(i)].rects[0];
        EXPECT_EQ(cv::Rect(r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1), stains[i]);
    }
}

// ---- the single-region test of the editing page ----

TEST_F(Records, RunTestMeasuresTheShownTemplateWithoutADecision) {
    cv::Mat templ = board_.clone();
    templ(cv::Rect(60, 60, 30, 30)).setTo(120);
    for (int k = 0; k < 3; ++k) templ(cv::Rect(210 + k * 15, 150, 8, 8)).setTo(250);
    templ(cv::Rect(20, 150, 12, 12)).setTo(250);
    const int spot = rig_.addRect(0, roi::kFuncSpot, {50, 50, 60, 60}, 0, 10, (110 << 8) | 122);
    const int count = rig_.addRect(0, roi::kFuncBrightCount, {200, 140, 60, 30}, 200, 1, 0);
    const int defect = rig_.addRect(0, roi::kFuncDefect, {50, 50, 60, 60}, 20, 10, 1);
    // A 12 x 12 count region that is bright all over, kernel 9.
    const int small = rig_.addRect(0, roi::kFuncBrightCount, {20, 150, 12, 12}, 200, 5 << 16, 4);
    rig_.setTemplate(0, 2, templ);
    rig_.train(board_);
    rig_.ctx.curTemplate = 2;

    rig_.engine->RunTest(0, spot);
    EXPECT_EQ(rig_.ctx.roiValue[0][spot], 29 * 29);
    EXPECT_TRUE(rig_.ctx.testShown);
    EXPECT_EQ(rig_.repaints, 1);
    EXPECT_EQ(cv::countNonZero(rig_.resultMask()), 30 * 30);
    rig_.engine->RunTest(0, count);
    EXPECT_EQ(rig_.ctx.roiValue[0][count], 3);
    EXPECT_EQ(cv::countNonZero(rig_.resultMask()), 3 * 64);  // cleared before each test
    rig_.engine->RunTest(0, defect);                         // only repainted
    EXPECT_EQ(rig_.repaints, 3);
    EXPECT_EQ(rig_.ctx.roiValue[0][defect], 0);
    // The test clears a count region too small for its kernel one size earlier (9 >= 9) than
    // the inspection (10 > 9).
    rig_.engine->RunTest(0, small);
    EXPECT_EQ(rig_.ctx.roiValue[0][small], 0);
    EXPECT_EQ(cv::countNonZero(rig_.resultMask()), 0);
    EXPECT_TRUE(rig_.apiList.isEmpty());
    EXPECT_TRUE(rig_.records.isEmpty());
    EXPECT_EQ(rig_.ctx.roiOK[0][spot], 1);

    rig_.inspect(templ);
    EXPECT_EQ(rig_.ctx.roiValue[0][small], 1);
    rig_.param->roiParam3[0][small] = 5;  // kernel 11: the inspection clears it too (10 <= 11)
    rig_.inspect(templ);
    EXPECT_EQ(rig_.ctx.roiValue[0][small], 0);
}

// ---- bad input ----

TEST(BadInput, NothingThrowsAndNothingPasses) {
    Rig rig(kFrame.width, kFrame.height);
    rig.addRect(0, roi::kFuncBrightCount, {10, 10, 40, 40}, 200, -1, INT_MAX);
    rig.addRect(0, roi::kFuncDefect, {60, 10, 40, 40}, INT_MIN, INT_MAX, INT_MIN);
    rig.addRect(0, roi::kFuncSpot, {110, 10, 40, 40}, INT_MAX, INT_MIN, -1);
    rig.addRect(0, -7, {160, 10, 40, 40}, 0, 0, 0);
    rig.addRect(0, 1000, {210, 10, 40, 40}, 0, 0, 0);
    rig.para->filterSize = INT_MAX;
    rig.para->minSpot = INT_MIN;
    rig.para->showAllParam = 0;
    EXPECT_NO_THROW(rig.train(flat(kFrame, 128, 2.0, 1)));
    EXPECT_NO_THROW(rig.inspect(flat(kFrame, 128, 2.0, 2)));

    rig.param->roiCount[0] = 1000;  // clamped to the 100 slots
    EXPECT_NO_THROW(rig.inspect(0));
    EXPECT_FALSE(rig.ctx.isOK);  // the slots without masks are errors
    rig.param->roiCount[0] = -5;
    EXPECT_NO_THROW(rig.inspect(0));
    EXPECT_TRUE(rig.ctx.isOK);

    for (const int g : {-1, 8}) {
        EXPECT_NO_THROW(rig.engine->Run(g));
        EXPECT_FALSE(rig.ctx.isOK);
    }
    rig.ctx.curTemplate = 99;
    EXPECT_NO_THROW({
        rig.engine->RunTest(9, 0);
        rig.engine->RunTest(0, 500);
        rig.engine->RunTest(0, -1);
        rig.engine->RunTest(0, 0);
        EXPECT_EQ(rig.engine->HomoTransShape(-3), 1);
        rig.engine->ShapeMatch(42);
        rig.engine->VarTrain(8);
        rig.engine->CreateShape(-1);
        rig.engine->CreateHomoShape(99);
        rig.ctx.currentDetect = []() -> int { throw std::runtime_error("controller gone"); };
        rig.engine->ShapeMatch();
    });
}

TEST(BadInput, ContextWithoutSettingsFramesOrParametersAndUnpreparedBuffers) {
    engine::EngineContext ctx;
    ASSERT_EQ(gpWPara, nullptr);
    EXPECT_EQ(ctx.para().alarmArea, 100) << "the factory value, not the constructor's 0";
    EXPECT_EQ(ctx.para().filterSize, 3);
    EXPECT_NO_THROW({
        CammerRecong engine(&ctx);
        engine.HomoTransShape(0);
        engine.ShapeMatch();
        engine.Run(0);
        engine.RunTest(0, 0);
        engine.VarTrain(0);
        CammerRecong none(nullptr);
        none.Run(0);
        none.HomoTransShape(0);
    });
    EXPECT_FALSE(ctx.setFrameGeometry(0, 10, false, true));
    EXPECT_FALSE(ctx.setFrameGeometry(70000, 70000, true, true));
    EXPECT_TRUE(ctx.grabBuf.empty());

    Rig rig(kFrame.width, kFrame.height);
    rig.addRect(0, roi::kFuncDarkArea, {10, 10, 40, 40}, 60, 10, 0);
    rig.train(flat(kFrame, 128, 2.0, 1));
    rig.ctx.alignedBuf.clear();  // a view that lost its buffer
    rig.ctx.grabBuf.resize(10);
    EXPECT_NO_THROW(EXPECT_FALSE(rig.inspect(0)));
    rig.ctx.templateBuf[0][0].resize(3);
    EXPECT_NO_THROW(rig.engine->VarTrain(0));
    EXPECT_TRUE(rig.engine->detMask[0].empty());
}

}  // namespace
