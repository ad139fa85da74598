// The detection controller over scripted cameras, a virtual clock and the real IO board
// facade: cycles of every detection mode from the input edge to the outputs, retries, alarms,
// pulses, counting, fail pictures and the camera loss.
#include <gtest/gtest.h>

#include <functional>

#include "controlport.h"
#include "cyclefakes.h"
#include "globals.h"
#include "steprules.h"
#include "testsupport.h"

using namespace detection;
using cycletest::CycleRig;

namespace {

constexpr int kClamp = 0;
constexpr int kEjector = 1;
constexpr int kAlarm = 2;
constexpr int kDoor = 1;  // input terminal 2
constexpr int kSecondSignal = 2;

using Steps = std::vector<int>;

}  // namespace

// --- standard mode ---------------------------------------------------------------------

TEST(CycleStandard, OkCycleRunsEachStepAfterItsDelayAndPreCutsTheClamp) {
    // Product 1.0 s after the edge, mould 1.5 s after the product step, clamp cut 0.5 s early.
    CycleRig rig("trigInDelay[0]=10 trigInDelay[1]=15 preCutTime=5");
    auto& cam = rig.host.camAt(0);

    rig.edge(0);
    EXPECT_FALSE(rig.out(kClamp)) << "pre-cut leaves the clamp at the cycle start";
    EXPECT_TRUE(rig.out(kEjector)) << "a new cycle withholds ejecting";
    EXPECT_EQ(rig.state.cycleState, kCycleDetecting);

    rig.advance(999);
    EXPECT_TRUE(cam.inspected.empty());
    rig.advance(1);
    ASSERT_EQ(cam.inspected, Steps{0});
    EXPECT_FALSE(rig.out(kEjector)) << "product OK allows ejecting";

    rig.advance(1099);
    EXPECT_FALSE(rig.out(kClamp));
    rig.advance(1);
    EXPECT_TRUE(rig.out(kClamp)) << "half a second before the mould step";
    EXPECT_GE(cam.countdownRepaints, 20);
    rig.advance(399);
    EXPECT_EQ(cam.inspected.size(), 1u);
    rig.advance(1);
    ASSERT_EQ(cam.inspected, (Steps{0, 1}));
    EXPECT_FALSE(rig.out(kClamp)) << "mould OK allows closing";
    EXPECT_FALSE(rig.out(kAlarm));

    EXPECT_EQ(gAllNum[0], 2);
    EXPECT_EQ(gFailNum[0], 0);
    EXPECT_EQ(gAllCycleNum[0], 1);
    EXPECT_EQ(rig.host.counterWrites, 1);
    EXPECT_EQ(rig.host.statistics, 2);
    EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true, true}));
    EXPECT_EQ(rig.host.apiReports.size(), 2u);
    EXPECT_EQ(rig.state.resultState, kResultOkShown);
    EXPECT_EQ(rig.host.timerInterval(timers::Show), kOkShownMs);
    EXPECT_EQ(rig.host.leds[kLedResultOk], 1);

    // The OK display ends after two seconds and the next step comes up.
    rig.advance(kOkShownMs);
    EXPECT_EQ(rig.state.resultState, kResultWaiting);
    EXPECT_EQ(rig.state.cycleState, kCycleWaiting);
    EXPECT_EQ(rig.state.curDetect, 0);
}

TEST(CycleStandard, NgRaisesTheAlarmRecordsAndCountsOnce) {
    CycleRig rig("", 3);
    rig.host.camAt(0).results = {true, false};
    rig.host.camAt(2).results = {true, false};

    rig.edge(0);
    EXPECT_TRUE(rig.out(kAlarm));
    EXPECT_TRUE(rig.out(kClamp)) << "closing stays withheld";
    EXPECT_EQ(rig.state.resultState, kResultAlarm);
    EXPECT_EQ(rig.state.detectState, kDetectStopped);
    EXPECT_EQ(rig.host.alarmsStarted, Steps{1});
    EXPECT_EQ(rig.host.allCamerasShown, 1);
    EXPECT_EQ(rig.host.pagesHidden, 1);
    EXPECT_EQ(rig.host.leds[kLedResultNg], 1);
    ASSERT_FALSE(rig.host.records.isEmpty());
    EXPECT_EQ(rig.host.records.last(), QStringLiteral("Camera 1 Camera 3Alarm"));
    EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true, false}));

    EXPECT_EQ(gFailNum[0], 1);
    EXPECT_EQ(gFailNum[1], 0);
    EXPECT_EQ(gFailNum[2], 1);
    EXPECT_EQ(gSyncNGNum, 1);
    EXPECT_EQ(gFailCycleNum[2], 1);
    EXPECT_EQ(gSyncNGCycleNum, 1);
    EXPECT_EQ(rig.state.alarmClearState[0][1], 3);
    EXPECT_EQ(rig.host.camAt(0).failImageCalls.last(), QStringLiteral("save 1 0"));
    EXPECT_EQ(rig.host.camAt(1).failImageCalls.last(), QStringLiteral("save 1 1"));
    EXPECT_EQ(rig.host.camAt(0).recentNg[1], 1);

    // The operator clears it: every camera "doesn't detect" this mould.
    const int statistics = rig.host.statistics;
    rig.controller->clearNGAlarm();
    EXPECT_EQ(rig.state.resultState, kResultOkShown);
    EXPECT_EQ(rig.state.detectState, kDetectRunning);
    EXPECT_FALSE(rig.out(kAlarm));
    EXPECT_EQ(rig.host.alarmsLifted, 1);
    EXPECT_EQ(rig.host.records.last(), QStringLiteral("All cameras do not detect this mold"));
    EXPECT_EQ(gAllNum[0], 2) << "the cleared step is not counted again";
    EXPECT_EQ(rig.host.statistics, statistics) << "nor recorded again";
    EXPECT_EQ(rig.host.clearMethods.size(), 2u);
    // The handling was written on the NG pictures and every due picture handed over.
    EXPECT_TRUE(gisSaveFail[(0 * 8 + 1) * 2]);
    EXPECT_TRUE(gisSaveFail[(2 * 8 + 1) * 2]);
    EXPECT_TRUE(gisSaveFail[(1 * 8 + 1) * 2 + 1]);
    EXPECT_EQ(rig.state.alarmClearState[0][1], 0);
}

TEST(CycleStandard, DebounceNeedsTheLevelHeldAndEdgesDuringADelayAreDropped) {
    CycleRig rig("debounceTime=3 trigInDelay[0]=5");
    rig.pulseInput(0, 200);
    rig.advance(500);
    EXPECT_EQ(rig.state.cycleState, kCycleWaiting) << "a 200 ms pulse is not latched";
    rig.edge(0);
    rig.advance(300);
    EXPECT_EQ(rig.state.cycleState, kCycleWaiting);
    rig.advance(100);
    EXPECT_EQ(rig.state.cycleState, kCycleDetecting) << "held 300 ms";

    // An edge late in the 0.5 s delay would be latched after the delay: it is dropped.
    rig.setInput(0, false);
    rig.advance(300);
    rig.edge(0);
    rig.advance(1500);
    EXPECT_EQ(rig.host.camAt(0).inspected, (Steps{0, 1}));
}

TEST(CycleStandard, ShieldPinIgnoresTheFirstSecondSignals) {
    CycleRig rig("semiAuto shieldPin=2");  // the mould step on input 2
    auto& cam = rig.host.camAt(0);
    rig.pulseInput(0, 100);
    EXPECT_EQ(cam.inspected, Steps{0});
    rig.pulseInput(2, 100);
    rig.pulseInput(2, 100);
    EXPECT_EQ(cam.inspected, Steps{0});
    rig.pulseInput(2, 100);
    EXPECT_EQ(cam.inspected, (Steps{0, 1}));
    EXPECT_EQ(rig.state.shieldCount, 0) << "a mould OK starts the count again";
}

TEST(CycleStandard, SafetyDoorReRunsTheMouldStepAtOnce) {
    CycleRig rig("safeDoorTrigger");
    auto& cam = rig.host.camAt(0);
    rig.pulseInput(0, 100);
    EXPECT_EQ(cam.inspected, (Steps{0, 1}));
    cam.results = {false};
    rig.edge(1);  // the door closes
    EXPECT_EQ(cam.inspected, (Steps{0, 1, 1}));
    EXPECT_EQ(rig.state.safetyDoorTrig, 0);
    EXPECT_TRUE(rig.out(kClamp)) << "the door-started alarm withholds closing";
    EXPECT_EQ(rig.state.resultState, kResultAlarm);
    EXPECT_EQ(gAllNum[0], 2) << "the step is counted once per cycle";
    EXPECT_EQ(rig.host.statistics, 2) << "in the statistics too";
}

TEST(CycleStandard, ManualStepRunsAtOnceWithoutStatistics) {
    CycleRig rig;
    rig.state.manualStep = 1;
    rig.advance(100);
    EXPECT_EQ(rig.host.camAt(0).inspected, Steps{1});
    EXPECT_EQ(rig.host.statistics, 0);
    EXPECT_EQ(rig.state.trigKind, kTrigInput) << "back to input after the evaluation";
    EXPECT_EQ(rig.state.manualStep, gDNum);
}

TEST(CycleStandard, ExternalCameraTriggerStartsCyclesWithoutInputs) {
    CycleRig rig("sysUsage", 2);
    EXPECT_EQ(rig.host.camAt(0).inspected, (Steps{0, 1}));
    rig.host.camAt(1).newFrames = false;
    rig.advance(300);
    EXPECT_EQ(rig.host.camAt(0).inspected.size(), 2u) << "camera 1 delivered nothing new";
    rig.host.camAt(1).newFrames = true;
    rig.advance(100);
    EXPECT_EQ(rig.host.camAt(0).inspected.size(), 4u) << "both cameras delivered";
}

// Under the external trigger an opening is told twice, by the mould-open edge and by a picture
// of every camera (their trigger lines are wired to it), a pass apart in either order: it is one
// cycle, judged on its own pictures, whatever the delay and the debounce.
TEST(CycleStandard, AnOpeningsEdgeAndPicturesMakeOneCycle) {
    const struct {
        const char* name;
        const char* options;
        bool edgeFirst;
        size_t steps = 2;           // the steps the opening runs
        int cycles = 1;             // the cycles it ends
        bool secondSignal = false;  // the second signal follows the edge
    } rows[] = {
        {"edge first, no delay", "sysUsage", true},
        {"pictures first, no delay", "sysUsage", false},
        {"edge first, delay", "sysUsage trigInDelay[0]=5 trigInDelay[1]=5", true},
        {"pictures first, delay", "sysUsage trigInDelay[0]=5 trigInDelay[1]=5", false},
        {"edge first, debounce", "sysUsage debounceTime=3", true},
        {"pictures first, debounce", "sysUsage debounceTime=3", false},
        {"edge first, debounce longer than the delay", "sysUsage debounceTime=3 trigInDelay[0]=1",
         true},
        {"edge first, the mould step alone", "sysUsage detectProdEnable=0", true, 1},
        {"semi-automatic: the product step", "sysUsage semiAuto", true, 1, 0},
        {"two-colour", "sysUsage detectMode=1 moldSide=0", true, 1, 1, true},
        {"multi-step", "sysUsage detectMode=3 detectNum=3 outputOwner[1]=1", true, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CycleRig rig(row.options, 2);
        auto& first = rig.host.camAt(0);
        const auto pictures = [&rig] {
            for (auto& cam : rig.host.cams) cam->newFrames = true;
            rig.advance(kRunPeriodMs);
            for (auto& cam : rig.host.cams) cam->newFrames = false;
        };
        // The rig's first pass took the pictures of an opening; its edge follows.
        for (auto& cam : rig.host.cams) cam->newFrames = false;
        rig.pulseInput(0, 500);
        rig.advance(3000);
        const int cycles = gAllCycleNum[0];
        const size_t inspected = first.inspected.size();
        const quint64 before = first.stamp.moment;

        if (row.edgeFirst) {
            rig.edge(0);
            if (row.secondSignal) rig.edge(kSecondSignal);
            pictures();
        } else {
            pictures();
            rig.edge(0);
        }
        rig.advance(500);
        rig.setInput(0, false);
        rig.setInput(kSecondSignal, false);
        rig.advance(3000);

        EXPECT_EQ(gAllCycleNum[0], cycles + row.cycles) << "one counted cycle";
        for (auto& cam : rig.host.cams) {
            EXPECT_EQ(cam->inspected.size(), inspected + row.steps);
            EXPECT_NE(cam->stamp.moment, before);
            for (size_t k = inspected; k < cam->inspected.size(); ++k)
                EXPECT_EQ(cam->inspectedFrames[k], cam->stamp.moment) << "the new picture";
        }
    }
}

// A step its opening's edge started does not judge the picture of the opening before: a camera
// that sends none of this opening fails it for that, a second after the edge.
TEST(CycleStandard, AnOpeningWithoutACamerasPictureFailsForIt) {
    CycleRig rig("sysUsage detectProdEnable=0", 2);
    auto& second = rig.host.camAt(1);
    for (auto& cam : rig.host.cams) cam->newFrames = false;
    rig.pulseInput(0, kRunPeriodMs);  // the edge of the rig's first opening
    const size_t inspected = second.inspected.size();
    rig.edge(0);
    rig.host.camAt(0).newFrames = true;
    rig.advance(kReturnedFrameWaitMs - kRunPeriodMs);
    EXPECT_NE(rig.state.resultState, kResultAlarm) << "waits for the picture";
    rig.advance(2 * kRunPeriodMs);
    EXPECT_EQ(second.inspected.size(), inspected) << "its old picture not judged";
    EXPECT_EQ(second.missing, FrameMissing::NotDelivered);
    EXPECT_EQ(rig.controller->lastJudgement().notDelivered, 2u);
    EXPECT_EQ(rig.state.resultState, kResultAlarm);
}

// Pictures of an opening while detection is stopped start no cycle once it is started again.
TEST(CycleStandard, PicturesTakenWhileStoppedStartNoCycle) {
    CycleRig rig("sysUsage", 2);
    auto& first = rig.host.camAt(0);
    for (auto& cam : rig.host.cams) cam->newFrames = false;
    rig.pulseInput(0, 0);  // the edge of the rig's first opening
    const size_t inspected = first.inspected.size();
    rig.controller->stopDetect();
    for (auto& cam : rig.host.cams) cam->newFrames = true;
    rig.advance(kRunPeriodMs);
    for (auto& cam : rig.host.cams) cam->newFrames = false;
    rig.controller->startDetect();
    rig.advance(5 * kRunPeriodMs);
    EXPECT_EQ(first.inspected.size(), inspected);
}

// Under the external trigger a picture judged once starts no cycle: a snap's pictures serve
// its manual step only, also when it fails and its alarm is answered without a re-check.
TEST(CycleStandard, ASnapsPicturesStartNoCycle) {
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "failed snap" : "passing snap");
        CycleRig rig("sysUsage", 2);
        auto& first = rig.host.camAt(0);
        const size_t inspected = first.inspected.size();
        const int statistics = rig.host.statistics;
        first.results = {!fails};
        rig.state.manualStep = 1;  // the snap: both cameras take a picture
        rig.advance(kRunPeriodMs);
        for (auto& cam : rig.host.cams) cam->newFrames = false;
        ASSERT_EQ(rig.state.resultState == kResultAlarm, fails);
        if (fails) rig.controller->clearNGAlarm();
        rig.advance(5 * kRunPeriodMs);
        EXPECT_EQ(first.inspected.size(), inspected + 1) << "the manual step alone";
        EXPECT_EQ(rig.host.statistics, statistics) << "no cycle counted";
        EXPECT_NE(rig.state.resultState, kResultAlarm);
    }
}

TEST(CycleStandard, NoInputWarningAndItsEnd) {
    CycleRig rig("inputTimeout=2");
    rig.pulseInput(0, 100);
    rig.advance(1800);
    EXPECT_FALSE(rig.host.warningVisible);
    rig.advance(100);
    EXPECT_TRUE(rig.host.warningVisible) << "shown without blocking";
    EXPECT_EQ(rig.host.warnings.last(), QStringLiteral("Warnning: No Input Signal"));
    EXPECT_TRUE(rig.out(kClamp));
    EXPECT_TRUE(rig.state.noInputShown);
    rig.pulseInput(0, 100);
    EXPECT_FALSE(rig.host.warningVisible);
    EXPECT_FALSE(rig.state.noInputShown);
}

TEST(CycleStandard, TriggerTimesAreSixtyFourBit) {
    CycleRig rig;
    rig.pulseInput(0, 100);
    EXPECT_GT(rig.state.lastTrigTime, qint64(2147483647)) << "epoch tenths exceed 32 bits";
    rig.advance(2900);
    rig.pulseInput(0, 100);
    EXPECT_EQ(rig.state.cycleTime, 30);
}

// --- retries --------------------------------------------------------------------------------

TEST(CycleStandard, EveryJudgedStepLeavesOneResultLineInTheLog) {
    const struct {
        const char* name;
        const char* options;
        int cameras;
        std::vector<std::vector<bool>> results;  // per camera, one per inspection
        QStringList lines;
    } rows[] = {
        {"OK cycle",
         "",
         1,
         {{true, true}},
         {"Detection result: step 1 of 2 OK", "Detection result: step 2 of 2 OK"}},
        {"mould NG on two of three cameras",
         "",
         3,
         {{true, false}, {true, true}, {true, false}},
         {"Detection result: step 1 of 2 OK", "Detection result: step 2 of 2 NG (camera 1, 3)"}},
        {"a retried NG is said to be detected again",
         "reDetectNum=1",
         1,
         {{true, false, true}},
         {"Detection result: step 1 of 2 OK",
          "Detection result: step 2 of 2 NG (camera 1), detected again",
          "Detection result: step 2 of 2 OK"}},
        {"a timed release inspects nothing",
         "moldNGTimedRelease output4Pulse=1",
         1,
         {{true, false}},
         {"Detection result: step 1 of 2 OK", "Detection result: step 2 of 2 NG (camera 1)",
          "NG alarm released by its timer: step 2 of 2"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::MessageCatcher info(QtInfoMsg);
        CycleRig rig(row.options, row.cameras);
        for (int c = 0; c < row.cameras; ++c)
            rig.host.camAt(c).results.assign(row.results[c].begin(), row.results[c].end());
        rig.edge(0);
        rig.advance(100);
        QStringList lines;
        for (const QString& m : info.messages())
            if (m.startsWith("Detection result:") || m.startsWith("NG alarm released")) lines << m;
        EXPECT_EQ(lines, row.lines);
    }
}

TEST(CycleRetry, RetryThatPassesIsFinalAndRetriesUsedUpRaiseTheAlarm) {
    CycleRig rig("reDetectNum=2");
    auto& cam = rig.host.camAt(0);
    cam.results = {true, false, true, true, false, false, false};

    rig.edge(0);
    EXPECT_EQ(cam.inspected, (Steps{0, 1}));
    EXPECT_FALSE(rig.out(kAlarm));
    EXPECT_EQ(rig.state.reCheckPending, 1);
    EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true})) << "the failed try is not final";
    EXPECT_EQ(rig.host.statistics, 1) << "nor recorded";
    // The step's first result is the one counted, also when a retry then passes.
    EXPECT_EQ(gAllNum[0], 2);
    EXPECT_EQ(gFailNum[0], 1);
    EXPECT_EQ(gSyncNGNum, 1);
    EXPECT_EQ(gFailCycleNum[0], 1);
    EXPECT_EQ(gSyncNGCycleNum, 1);

    rig.advance(100);  // the next pass re-detects
    EXPECT_EQ(cam.inspected, (Steps{0, 1, 1}));
    EXPECT_EQ(rig.state.retryLeft[1], 1);
    EXPECT_FALSE(rig.out(kClamp));
    EXPECT_FALSE(rig.out(kAlarm));
    EXPECT_EQ(rig.state.resultState, kResultOkShown);
    EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true, true}));
    EXPECT_EQ(rig.host.apiReports.back(), std::make_pair(1, true));
    EXPECT_EQ(gAllNum[0], 2) << "the retry is not counted again";
    EXPECT_EQ(gFailNum[0], 1);
    EXPECT_EQ(gAllCycleNum[0], 1);
    EXPECT_EQ(rig.host.statistics, 2) << "the passing retry is the step's record";
    EXPECT_EQ(cam.recentNg[1], 0) << "a retried NG frame is not kept";

    // The next cycle has both retries again; when they fail too, the alarm is raised.
    rig.setInput(0, false);
    rig.advance(kOkShownMs);
    rig.edge(0);
    rig.advance(100);
    EXPECT_FALSE(rig.out(kAlarm));
    rig.advance(100);
    EXPECT_EQ(cam.inspected, (Steps{0, 1, 1, 0, 1, 1, 1}));
    EXPECT_TRUE(rig.out(kAlarm));
    EXPECT_EQ(rig.state.resultState, kResultAlarm);
    EXPECT_EQ(gFailNum[0], 2);
    EXPECT_EQ(gAllNum[0], 4);
    EXPECT_EQ(rig.host.statistics, 4);
    EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true, true, true, false}));
}

// The product step, waiting longer on the mould-open input, is judged while the mould step's
// retry is pending: the retry still runs for the mould step, and its last failure raises the
// alarm instead of every later pass waiting for a retry of the product step.
TEST(CycleRetry, AProductStepJudgedBetweenTheMouldStepsRetriesLeavesThemToEnd) {
    for (int productDelay : {6, 7}) {
        CycleRig rig(QStringLiteral("semiAuto reDetectNum=2 ejectorPulseOnProdNG "
                                    "trigInDelay[0]=%1 trigInDelay[1]=5")
                         .arg(productDelay)
                         .toLatin1()
                         .constData());
        auto& cam = rig.host.camAt(0);
        cam.results = {false, false, false, false, false, false};
        rig.setInput(0, true);
        rig.setInput(2, true);
        rig.controller->run();
        rig.advance(3000);
        EXPECT_EQ(std::count(cam.inspected.begin(), cam.inspected.end(), 1), 3) << productDelay;
        EXPECT_EQ(rig.state.resultState, kResultAlarm) << productDelay;
        EXPECT_EQ(rig.state.reCheckPending, 0) << productDelay;
    }
}

TEST(CycleRetry, RightSideRetriesAreKeptByStepKind) {
    // Step 3 is the right side's mould step: its retries are those of kind 1.
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode == 1 ? "two-colour" : "turntable");
        CycleRig rig("moldSide=2 reDetectNum=2 detectMode=" + std::to_string(mode));
        auto& cam = rig.host.camAt(0);
        cam.results = {true, false, false, true};
        if (mode == 1) {
            rig.state.curSide = kSideRight;
            rig.pulseInput(0, 100);  // the product step of the right side
            EXPECT_EQ(cam.inspected, Steps{2});
            rig.edge(3);  // the right mould's second signal
        } else {
            rig.edge(3);  // input 3 starts the right side's cycle
            EXPECT_EQ(rig.state.curSide, kSideRight);
        }
        EXPECT_EQ(cam.inspected, (Steps{2, 3}));
        EXPECT_EQ(rig.state.curDetect, 3);
        EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true})) << "step 3 has retries left";
        rig.advance(100);
        EXPECT_EQ(cam.inspected, (Steps{2, 3, 3}));
        EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true})) << "one retry left";
        EXPECT_FALSE(rig.out(kAlarm));
        rig.advance(100);
        EXPECT_EQ(cam.inspected, (Steps{2, 3, 3, 3}));
        EXPECT_EQ(rig.host.monitorReports, (std::vector<bool>{true, true}));
        EXPECT_EQ(gFailNum[0], 1);
        EXPECT_EQ(gAllCycleNum[0], 1) << "an odd step ends the cycle";
    }
}

// --- pulses and counts --------------------------------------------------------------------

TEST(CyclePulses, ProductNgAndMouldOkPulsesEndAfterTheirTime) {
    CycleRig rig("ejectorPulseOnProdNG ejectorPulse=5 cutClampAfterMoldOK clampPulse=7");
    auto& cam = rig.host.camAt(0);
    cam.results = {false, true};
    cam.failingGroups = {0, 2};
    rig.edge(0);
    EXPECT_TRUE(rig.out(4));
    EXPECT_FALSE(rig.out(5));
    EXPECT_TRUE(rig.out(6));
    EXPECT_TRUE(rig.out(kEjector));
    EXPECT_FALSE(rig.out(kAlarm));
    EXPECT_FALSE(rig.out(kClamp)) << "the mould OK releases the clamp for its pulse";
    EXPECT_TRUE(rig.host.alarmsStarted.empty());
    EXPECT_NE(rig.state.resultState, kResultAlarm);
    EXPECT_TRUE(gisSaveFail[0]) << "the NG picture is handed over at once";
    rig.advance(499);
    EXPECT_TRUE(rig.out(4));
    rig.advance(1);
    EXPECT_FALSE(rig.out(4));
    EXPECT_FALSE(rig.out(6));
    EXPECT_FALSE(rig.out(kEjector));
    rig.advance(199);
    EXPECT_FALSE(rig.out(kClamp));
    rig.advance(1);
    EXPECT_TRUE(rig.out(kClamp)) << "withheld again after the pulse";
}

TEST(CyclePulses, ThirdMouldOkRaisesTheProductionCountAlarm) {
    CycleRig rig("moldOKNum=3");
    for (int cycle = 0; cycle < 3; ++cycle) {
        rig.pulseInput(0, 100);
        rig.advance(100);
    }
    EXPECT_EQ(rig.state.productAlarm, 1);
    EXPECT_TRUE(rig.out(kClamp));
    EXPECT_TRUE(rig.out(kAlarm));
    EXPECT_TRUE(rig.host.productBoxVisible);
    rig.pulseInput(0, 100);
    EXPECT_EQ(rig.host.camAt(0).inspected.size(), 6u) << "edges are dropped";
    rig.controller->releaseProductAlarm();
    EXPECT_EQ(rig.state.okMoldCount, 0);
    EXPECT_FALSE(rig.out(kAlarm));
    rig.pulseInput(0, 100);
    EXPECT_EQ(rig.host.camAt(0).inspected.size(), 8u);
}

TEST(CyclePulses, ReleasingTheCountAlarmLeavesWhatAnotherHoldHolds) {
    // Whoever releases the count alarm clears the count and the alarm's own hold; an NG alarm
    // standing beside it, or a cycle withholding the clamp, keeps what it holds.
    struct Row {
        const char* name;
        const char* options;
        std::function<void(CycleRig&)> drive;
        bool clamp, alarm;
    } rows[] = {
        {"count alarm alone", "moldOKNum=1",
         [](CycleRig& rig) {
             rig.pulseInput(0, 100);
             rig.advance(100);
         },
         false, false},
        // Semi-automatic: the mould step on the second signal with the shorter delay passes
        // and raises the count alarm, then the product step fails and raises its alarm.
        {"count alarm under a product NG alarm",
         "semiAuto moldOKNum=1 trigInDelay[0]=15 trigInDelay[1]=5",
         [](CycleRig& rig) {
             rig.host.camAt(0).results = {true, false};
             rig.setInput(0, true);
             rig.setInput(2, true);
             rig.controller->run();
             rig.advance(2000);
             ASSERT_EQ(rig.host.camAt(0).inspected, (Steps{1, 0}));
             ASSERT_EQ(rig.state.resultState, kResultAlarm);
         },
         true, true},
        {"no count alarm, a cycle under way", "trigInDelay[0]=15",
         [](CycleRig& rig) {
             rig.edge(0);
             ASSERT_TRUE(rig.out(kClamp));
         },
         true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CycleRig rig(row.options);
        row.drive(rig);
        rig.controller->releaseProductAlarm();
        EXPECT_EQ(rig.state.okMoldCount, 0);
        EXPECT_EQ(rig.state.productAlarm, 0);
        EXPECT_EQ(rig.out(kClamp), row.clamp);
        EXPECT_EQ(rig.out(kAlarm), row.alarm);
    }
}

TEST(CycleSemiAuto, AProductFailureJudgedAfterTheMouldStepFailsItsCycle) {
    // The mould step on the second signal with the shorter delay is judged first and ends the
    // cycle for the counters; the product step fails after it. The next cycle passes whole.
    CycleRig rig("semiAuto trigInDelay[0]=15 trigInDelay[1]=5");
    auto& cam = rig.host.camAt(0);
    cam.results = {true, false, true, true};
    rig.setInput(0, true);
    rig.setInput(2, true);
    rig.controller->run();
    rig.advance(2000);
    ASSERT_EQ(cam.inspected, (Steps{1, 0}));
    ASSERT_EQ(rig.state.resultState, kResultAlarm);
    EXPECT_EQ(gAllCycleNum[0], 1);
    EXPECT_EQ(gFailCycleNum[0], 1) << "the picture's NG / Total";
    EXPECT_EQ(gSyncNGCycleNum, 1) << "Modbus register 3, the API's detect_ng";
    EXPECT_EQ(rig.host.counterWrites, 2) << "the failure is saved with the counters";

    rig.controller->clearNGAlarm();
    rig.setInput(0, false);
    rig.setInput(2, false);
    rig.advance(100);
    rig.setInput(0, true);
    rig.setInput(2, true);
    rig.controller->run();
    rig.advance(2000);
    ASSERT_EQ(cam.inspected, (Steps{1, 0, 1, 0}));
    EXPECT_EQ(gAllCycleNum[0], 2);
    EXPECT_EQ(gFailCycleNum[0], 1);
    EXPECT_EQ(gSyncNGCycleNum, 1);
    EXPECT_EQ(gAllNum[0], 4);
    EXPECT_EQ(gFailNum[0], 1);
}

TEST(CycleSemiAuto, AProductStepJudgedAfterTheMouldStepIsCountedInItsCycleAndSaved) {
    // The mould step (the shorter delay) ends the cycle for the counters; the product step is
    // judged after it. A master's reset between the two takes the cycle out of each camera's
    // cycles, not out of the cycles in which any camera failed.
    const struct {
        const char* name;
        const char* options;
        bool mouldOk, productOk, resetBetween;
        int cycles, failedCycles, failedCyclesAny;
    } rows[] = {
        {"the product step passes", "", true, true, false, 1, 0, 0},
        {"a reset, then the product step fails", "", true, false, true, 0, 0, 1},
        {"both fail, the mould step's answered by a pulse", "clampPulseOnMoldNG clampPulse=1",
         false, false, false, 1, 1, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CycleRig rig(std::string("semiAuto trigInDelay[0]=15 trigInDelay[1]=5 ") + row.options);
        auto& cam = rig.host.camAt(0);
        cam.results = {row.mouldOk, row.productOk};
        rig.setInput(0, true);
        rig.setInput(2, true);
        rig.controller->run();
        for (int ms = 0; ms < 2000 && cam.inspected.empty(); ms += 10) rig.advance(10);
        ASSERT_EQ(cam.inspected, Steps{1});
        const int writes = rig.host.counterWrites;
        if (row.resetBetween) resetCycleCounters();
        rig.advance(2000);
        ASSERT_EQ(cam.inspected, (Steps{1, 0}));
        EXPECT_EQ(gAllCycleNum[0], row.cycles);
        EXPECT_EQ(gFailCycleNum[0], row.failedCycles) << "the picture's NG / Total";
        EXPECT_EQ(gSyncNGCycleNum, row.failedCyclesAny) << "register 3, the API's detect_ng";
        EXPECT_EQ(gAllNum[0], 2);
        EXPECT_EQ(rig.host.counterWrites, writes + 1) << "the product step's count is saved";
    }
}

TEST(CyclePulses, TheCountAlarmHoldsTheClampAndTheAlarmOutputUntilItIsReleased) {
    // The count alarm and a product NG alarm raised in one pass, as above; then another road of
    // the cycle would let the outputs go while the count box is still up.
    struct Row {
        const char* name;
        std::function<void(CycleRig&)> road;
    } rows[] = {
        {"the NG alarm answered", [](CycleRig& rig) { rig.controller->clearNGAlarm(); }},
        {"detection stopped", [](CycleRig& rig) { rig.controller->stopDetect(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CycleRig rig("semiAuto moldOKNum=1 trigInDelay[0]=15 trigInDelay[1]=5");
        rig.host.camAt(0).results = {true, false};
        rig.setInput(0, true);
        rig.setInput(2, true);
        rig.controller->run();
        rig.advance(2000);
        ASSERT_EQ(rig.state.resultState, kResultAlarm);
        ASSERT_EQ(rig.state.productAlarm, 1);
        row.road(rig);
        EXPECT_EQ(rig.state.productAlarm, 1);
        EXPECT_TRUE(rig.out(kClamp));
        EXPECT_TRUE(rig.out(kAlarm));
    }
}

// --- other modes ------------------------------------------------------------------------

TEST(CycleTwoMoulds, SideFollowsInputsWhileStopped) {
    CycleRig rig("detectMode=1 moldSide=2");
    rig.controller->stopDetect();
    rig.pulseInput(2, 100);
    EXPECT_EQ(rig.state.curSide, kSideLeft);
    rig.pulseInput(3, 100);
    EXPECT_EQ(rig.state.curSide, kSideRight);
    EXPECT_TRUE(rig.host.camAt(0).inspected.empty());
}

TEST(CycleMulti, SequentialStepsInOrderWithTheirOutputs) {
    // Owners {0, 1, 1, 2} listening to inputs 0, 2 and 3; every owner cuts itself.
    CycleRig rig(
        "detectMode=3 detectNum=4 outputOwner[1]=1 outputOwner[2]=1 outputOwner[3]=2 "
        "detectTrigIn[1]=1 detectTrigIn[2]=2 sequentialDetect detectCutMode[0]=1 "
        "detectCutMode[1]=1 detectCutMode[2]=1");
    auto& cam = rig.host.camAt(0);

    rig.edge(0);
    EXPECT_EQ(cam.inspected, Steps{0});
    EXPECT_FALSE(rig.out(1)) << "step 0's output released by its OK";
    rig.setInput(0, false);
    rig.advance(100);

    rig.edge(3);  // position 1 listens to input 2: refused
    EXPECT_EQ(cam.inspected.size(), 1u);
    rig.setInput(3, false);
    rig.advance(100);

    rig.edge(2);
    EXPECT_EQ(cam.inspected, (Steps{0, 1}));
    EXPECT_FALSE(rig.out(3));
    EXPECT_TRUE(rig.out(4)) << "owner 1 withholds position 2 too";
    rig.advance(100);  // position 2 shares input 2 and follows without a new edge
    EXPECT_EQ(cam.inspected, (Steps{0, 1, 2}));
    EXPECT_FALSE(rig.out(4));
    rig.setInput(2, false);
    rig.advance(100);

    rig.edge(3);
    EXPECT_EQ(cam.inspected, (Steps{0, 1, 2, 3}));
    EXPECT_EQ(gAllNum[0], 4);
    EXPECT_EQ(gAllCycleNum[0], 1);
}

TEST(CycleMulti, AlarmOfALaterStepIsLiftedByClearing) {
    CycleRig rig("detectMode=3 detectNum=3 outputOwner[1]=1 outputOwner[2]=2");  // all on input 0
    rig.host.camAt(0).results = {true, true, false};
    for (int step = 0; step < 3; ++step) rig.pulseInput(0, 100);
    ASSERT_EQ(rig.state.resultState, kResultAlarm);
    EXPECT_EQ(rig.state.curDetect, 2);
    rig.controller->clearNGAlarm();
    EXPECT_NE(rig.state.resultState, kResultAlarm);
    EXPECT_EQ(rig.state.detectState, kDetectRunning);
    EXPECT_FALSE(rig.out(kAlarm));
}

// --- cameras, start and stop ---------------------------------------------------------------

TEST(CycleCameras, LostCameraBlocksTheCycleAndItsEdgeRunsOnceTheCameraIsBack) {
    CycleRig rig("", 2);
    rig.host.camAt(1).connected = false;
    rig.advance(100);
    EXPECT_TRUE(rig.out(kClamp));
    EXPECT_TRUE(rig.host.warningVisible);
    EXPECT_EQ(
        rig.host.warnings.last(),
        QStringLiteral("Warning: The camera is unavailable, \r\n please check the connection!"));
    EXPECT_EQ(rig.host.timerInterval(timers::Run), kCameraLostRetryMs);
    EXPECT_FALSE(rig.state.camerasOkShown);
    rig.pulseInput(0, 100);  // the mould opens and the signal drops again during the loss
    rig.advance(3000);
    EXPECT_TRUE(rig.host.camAt(0).inspected.empty()) << "no cycle while a camera is lost";
    EXPECT_TRUE(rig.out(kClamp));

    rig.host.camAt(1).connected = true;
    rig.advance(1000);
    EXPECT_TRUE(rig.state.camerasOkShown);
    EXPECT_EQ(rig.host.camAt(0).inspected, (Steps{0, 1})) << "the edge kept meanwhile runs";
    EXPECT_FALSE(rig.out(kClamp)) << "the mould OK releases the clamp";
    EXPECT_TRUE(rig.host.records.contains(
        QStringLiteral("Camera communication failed, \n now reconnected")));
    EXPECT_EQ(rig.host.timerInterval(timers::Run), kRunPeriodMs);
}

// Detection started again while a camera is away (after a stop, or as the panel stays up after
// a refused restart or shutdown) keeps the clamp withheld.
TEST(CycleCameras, DetectionStartedWhileACameraIsLostKeepsTheClamp) {
    CycleRig rig("", 2);
    rig.host.camAt(1).connected = false;
    rig.advance(100);
    ASSERT_TRUE(rig.out(kClamp));
    rig.controller->stopDetect();
    rig.controller->startDetect();
    EXPECT_TRUE(rig.out(kClamp));
}

// A step due while camera 2 is lost, or back without a new frame, waits for a frame of the
// returned link with the clamp withheld, on every road to a judgement; then the judged frame
// of camera 2 came after its loss.
TEST(CycleCameras, StepDueWhileACameraIsLostJudgesNoFrameFromBeforeTheLoss) {
    struct Road {
        const char* name;
        const char* options;
        std::function<void(CycleRig&)> before;   // up to the loss
        std::function<void(CycleRig&)> trigger;  // the road to the step
        Steps judged;                            // camera 1's steps once camera 2 is back
        bool lostDuringDelay = false;
    };
    const std::vector<Road> roads = {
        {"delay at zero", "trigInDelay[1]=20", [](CycleRig& r) { r.edge(0); },
         [](CycleRig& r) { r.advance(3000); }, Steps{0, 1}, true},
        {"immediate step", "", [](CycleRig&) {}, [](CycleRig& r) { r.edge(0); }, Steps{0, 1}},
        {"manual step", "", [](CycleRig&) {},
         [](CycleRig& r) {
             r.state.manualStep = 1;
             r.controller->run();
         },
         Steps{1}},
        {"safety door", "safeDoorTrigger", [](CycleRig& r) { r.pulseInput(0, 100); },
         [](CycleRig& r) { r.edge(kDoor); }, Steps{0, 1, 1}},
        {"multi-step", "detectMode=3 detectNum=3 outputOwner[1]=1 outputOwner[2]=2",
         [](CycleRig&) {}, [](CycleRig& r) { r.edge(0); }, Steps{0, 1, 2}},
        {"retry", "reDetectNum=2",
         [](CycleRig& r) {
             r.host.camAt(0).results = {true, false, true};
             r.edge(0);
         },
         [](CycleRig& r) { r.advance(100); }, Steps{0, 1, 1}},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        CycleRig rig(road.options, 2);
        auto& first = rig.host.camAt(0);
        auto& second = rig.host.camAt(1);
        road.before(rig);
        const Steps before = first.inspected;
        const size_t reports = rig.host.monitorReports.size();

        const quint64 lostAt = nextMoment();
        second.lose();
        rig.controller->lostCamera();  // what the view's loss slot does
        if (!road.lostDuringDelay) {
            // Back before the road, without a new frame yet.
            second.comeBack();
            second.newFrames = false;
        }
        road.trigger(rig);
        EXPECT_EQ(first.inspected, before) << "the step waits for camera 2";
        EXPECT_EQ(second.inspected.size(), before.size());
        EXPECT_EQ(rig.host.monitorReports.size(), reports) << "nothing judged";
        EXPECT_TRUE(rig.out(kClamp)) << "closing withheld meanwhile";
        EXPECT_TRUE(rig.host.warningVisible) << "the loss told";

        second.comeBack();
        second.newFrames = true;
        rig.advance(1500);
        EXPECT_EQ(first.inspected, road.judged) << "the step runs on the returned link";
        const DetectionController::Judgement& j = rig.controller->lastJudgement();
        EXPECT_EQ(j.cameras, 3u);
        EXPECT_EQ(j.frames[1].link, 1);
        EXPECT_GT(j.frames[1].moment, lostAt) << "camera 2's frame came after its loss";
        EXPECT_GT(rig.host.monitorReports.size(), reports);
    }
}

namespace {

// An alarm on camera 1, then camera 2 lost and back without a new frame.
void alarmThenCameraBackWithoutFrame(CycleRig& rig) {
    rig.host.camAt(0).results = {true, false};
    rig.edge(0);
    ASSERT_EQ(rig.state.resultState, kResultAlarm);
    auto& second = rig.host.camAt(1);
    second.lose();
    second.comeBack();
    second.newFrames = false;
    rig.advance(100);
}

// The editing page's re-check: the results reset, every camera inspected, then the decision.
void reCheckEveryCamera(CycleRig& rig) {
    rig.controller->resetRun();
    for (int c = 0; c < 2; ++c) rig.controller->runAlgorithm(c, 1);
    rig.state.alarmCleared = 1;
    rig.controller->checkNG(true);
}

// The mould opens: under the external trigger its edge and, a pass later, a picture of every
// camera.
void openMould(CycleRig& rig) {
    rig.edge(0);
    if (!rig.para.sysUsage) return;
    for (auto& cam : rig.host.cams) cam->newFrames = true;
    rig.advance(kRunPeriodMs);
    for (auto& cam : rig.host.cams) cam->newFrames = false;
}

}  // namespace

// A step whose camera is lost, or back without a frame of its returned link, waits for it, and
// the box tells so until the wait ends. Camera 2 fails the step where no frame is to come: with
// the external trigger, back after the step's trigger, at once (the frame of this opening went
// with the old link, the next comes with the next opening, which the withheld clamp keeps
// away); else when none came within a few frame periods, for the frame lost with its link when
// it was lost after the trigger, else for delivering none. The alarm stands for camera 2, told
// in its record and on its view, and is answered as any: a re-check without a new frame is
// held, says so and leaves the reason on the view; the next re-check judges the new frame.
TEST(CycleCameras, AStepWhoseFrameWentWithTheLinkFailsWhereNoneIsToCome) {
    constexpr int kBackMs = kCameraLostRetryMs + kRunPeriodMs;  // a pass sees the return
    struct Road {
        const char* name;
        const char* options;
        std::function<void(CycleRig&)> before;   // up to the loss
        std::function<void(CycleRig&)> trigger;  // the road to the step
        bool waitsLost;  // the step falls due during the loss (else the camera is back before)
        int waitMs;      // back without a frame this long
        bool fails;
    };
    const auto opening = [](CycleRig& r) { openMould(r); };
    const auto delay = [](CycleRig& r) { r.advance(3000); };
    const auto manual = [](CycleRig& r) {
        r.state.manualStep = 1;
        r.controller->run();
    };
    const auto retry = [](CycleRig& r) {
        r.host.camAt(0).results = {true, false};
        openMould(r);
    };
    const auto door = [](CycleRig& r) { r.edge(kDoor); };
    const auto twoColour = [](CycleRig& r) {
        openMould(r);
        r.edge(kSecondSignal);
    };
    const int bound = kBackMs + kReturnedFrameWaitMs;
    const std::vector<Road> roads = {
        {"free run: the wait told, then judged", "trigInDelay[1]=20", opening, delay, true,
         kReturnedFrameWaitMs - 2 * kRunPeriodMs, false},
        {"free run: past the bound", "trigInDelay[1]=20", opening, delay, true, bound, true},
        {"free run: manual step", "", [](CycleRig&) {}, manual, false, bound, true},
        {"free run: retry", "reDetectNum=2", retry, [](CycleRig& r) { r.advance(kRunPeriodMs); },
         true, bound, true},
        {"external trigger: delay", "sysUsage trigInDelay[1]=20", opening, delay, true, kBackMs,
         true},
        {"external trigger: retry", "sysUsage reDetectNum=2", retry,
         [](CycleRig& r) { r.advance(kRunPeriodMs); }, true, kBackMs, true},
        {"external trigger: door", "sysUsage safeDoorTrigger", opening, door, false, bound, true},
        {"external trigger: manual step", "sysUsage", [](CycleRig&) {}, manual, false, bound, true},
        {"external trigger: multi-step", "sysUsage detectMode=3 detectNum=3 outputOwner[1]=1",
         [](CycleRig&) {}, [](CycleRig& r) { r.edge(0); }, false, bound, true},
        {"external trigger: two-colour", "sysUsage detectMode=1 moldSide=0 trigInDelay[1]=20",
         twoColour, delay, true, kBackMs, true},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        CycleRig rig(road.options, 2);
        auto& first = rig.host.camAt(0);
        auto& second = rig.host.camAt(1);
        // The rig's first pass took a frame of every camera, a triggered opening (in multi-step
        // it judged the first step); triggered cameras send none until the next opening.
        if (rig.para.sysUsage) first.newFrames = second.newFrames = false;
        road.before(rig);
        const size_t inspected = second.inspected.size();
        const int records = rig.host.records.size();
        const int pictureCalls = second.failImageCalls.size();
        const int step = stepOfPosition(rig.para.detectMode, 1, rig.state.curSide);

        second.lose();
        second.newFrames = false;
        rig.controller->lostCamera();
        if (!road.waitsLost) second.comeBack();
        road.trigger(rig);
        const QString notice = lan(kEntryStepWaitsForCamera).arg(step + 1).arg(2);
        EXPECT_TRUE(rig.host.warnings.contains(notice)) << "the wait told on the box";

        second.comeBack();
        rig.advance(road.waitMs);
        EXPECT_EQ(rig.host.withdrawn.contains(notice), road.fails) << "the wait ended";
        if (!rig.para.sysUsage) {
            EXPECT_TRUE(rig.host.withdrawn.contains(lan(kEntryCameraReconnected)))
                << "the return's notice gives way to the wait's";
        }
        EXPECT_EQ(second.inspected.size(), inspected) << "nothing of camera 2 judged";
        EXPECT_TRUE(rig.out(kClamp)) << "closing withheld";
        if (!road.fails) {
            second.newFrames = true;
            rig.advance(2 * kRunPeriodMs);
            EXPECT_TRUE(rig.host.withdrawn.contains(notice)) << "the wait ended";
            EXPECT_EQ(second.inspected.size(), inspected + 1) << "the first new frame judged";
            EXPECT_NE(rig.state.resultState, kResultAlarm);
            continue;
        }
        // Lost after the trigger, or back before it and silent since.
        const bool lost = road.waitsLost;
        const DetectionController::Judgement& j = rig.controller->lastJudgement();
        EXPECT_EQ(j.step, step);
        EXPECT_EQ(j.lost, lost ? 2u : 0u);
        EXPECT_EQ(j.notDelivered, lost ? 0u : 2u);
        EXPECT_EQ(rig.state.resultState, kResultAlarm) << "the alarm stands";
        EXPECT_TRUE(rig.out(kAlarm));
        const FrameMissing why = lost ? FrameMissing::LostWithLink : FrameMissing::NotDelivered;
        EXPECT_EQ(second.missing, why) << "its view tells why";
        const QString record =
            rig.host.records.size() > records ? rig.host.records.last() : QString();
        EXPECT_TRUE(
            record.contains(lan(lost ? kEntryFrameLostWithLink : kEntryFrameNotDelivered).arg(2)))
            << record.toStdString();
        EXPECT_EQ(second.failImageCalls.size(), pictureCalls) << "no picture of a frame not seen";

        // The re-check of the alarm judges only a frame that came after the return.
        const quint32 serial = rig.controller->judgementSerial();
        reCheckEveryCamera(rig);
        EXPECT_EQ(rig.controller->judgementSerial(), serial) << "no frame yet: held";
        EXPECT_EQ(second.missing, why) << "the reason stays while its alarm does";
        const QString held = lan(kEntryReCheckWaitsForCamera).arg(2);
        EXPECT_TRUE(rig.host.warnings.contains(held)) << "what holds the re-check told";
        second.newFrames = true;
        rig.advance(kRunPeriodMs);
        second.newFrames = !rig.para.sysUsage;
        reCheckEveryCamera(rig);
        EXPECT_EQ(second.inspected.size(), inspected + 1);
        EXPECT_EQ(second.missing, FrameMissing::None);
        EXPECT_TRUE(rig.host.withdrawn.contains(held)) << "camera 2 judged again";
        EXPECT_NE(rig.state.resultState, kResultAlarm) << "its OK lifts the alarm";
    }
}

// A stop ends a retry that waits for its lost camera, in both trigger modes: the wait is no
// longer told, and at the return nothing is judged and no alarm raised on the stopped machine.
TEST(CycleCameras, AStopEndsARetryWaitingForItsCamera) {
    for (const char* options : {"reDetectNum=2", "sysUsage reDetectNum=2"}) {
        SCOPED_TRACE(options);
        CycleRig rig(options, 2);
        auto& second = rig.host.camAt(1);
        if (rig.para.sysUsage) rig.host.camAt(0).newFrames = second.newFrames = false;
        rig.host.camAt(0).results = {true, false, false, false};
        openMould(rig);
        ASSERT_EQ(rig.state.reCheckPending, 1);
        second.lose();
        rig.controller->lostCamera();
        rig.advance(kRunPeriodMs);
        const QString notice = lan(kEntryStepWaitsForCamera).arg(2).arg(2);
        ASSERT_TRUE(rig.host.warnings.contains(notice));

        const quint32 serial = rig.controller->judgementSerial();
        rig.controller->stopDetect();
        EXPECT_TRUE(rig.host.withdrawn.contains(notice));
        second.comeBack();
        rig.advance(3 * kCameraLostRetryMs);
        EXPECT_EQ(rig.controller->judgementSerial(), serial) << "nothing judged";
        EXPECT_NE(rig.state.resultState, kResultAlarm);
        EXPECT_FALSE(rig.out(kAlarm));
    }
}

// The wait for a returned camera's frame is time: the passes that input or output changes run
// meanwhile do not shorten it.
TEST(CycleCameras, PassesOfInputChangesDoNotShortenTheWaitForAReturnedCamera) {
    CycleRig rig("trigInDelay[1]=20", 2);
    auto& second = rig.host.camAt(1);
    rig.edge(0);
    second.lose();
    second.newFrames = false;
    rig.controller->lostCamera();
    rig.advance(3000);  // the step falls due and waits
    second.comeBack();
    // A pass sees the return, and as many more as the bound has periods run at once.
    for (int i = 0; i <= kReturnedFrameWaitMs / kRunPeriodMs; ++i) rig.controller->run();
    rig.advance(kRunPeriodMs);
    EXPECT_EQ(rig.controller->lastJudgement().lost, 0u) << "still waiting";
    second.newFrames = true;
    rig.advance(2 * kRunPeriodMs);
    EXPECT_EQ(second.inspected, (Steps{0, 1})) << "the frame of the return judged";
    EXPECT_NE(rig.state.resultState, kResultAlarm);
}

// The editing page's re-check inspects camera by camera and then decides: a camera back
// without a new frame holds the decision (the alarm stays, the box says what for) until it has
// one; the notice goes once the next cycle judges that camera.
TEST(CycleCameras, ReCheckOfTheEditingPageHoldsItsDecisionForAnOldFrame) {
    CycleRig rig("", 2);
    auto& second = rig.host.camAt(1);
    ASSERT_NO_FATAL_FAILURE(alarmThenCameraBackWithoutFrame(rig));
    const auto reCheck = [&rig] { reCheckEveryCamera(rig); };
    const quint32 serial = rig.controller->judgementSerial();
    const size_t inspected = second.inspected.size();
    rig.host.warningVisible = false;
    reCheck();
    EXPECT_EQ(second.inspected.size(), inspected) << "the old frame is not inspected";
    EXPECT_EQ(rig.controller->judgementSerial(), serial) << "nothing decided";
    EXPECT_EQ(rig.state.resultState, kResultAlarm);
    EXPECT_TRUE(rig.out(kClamp));
    const QString held = lan(kEntryReCheckWaitsForCamera).arg(2);
    EXPECT_EQ(rig.host.warnings.last(), held) << "camera 2 is connected, not unavailable";
    EXPECT_TRUE(rig.host.warningVisible);

    // The alarm answered without a re-check; the next cycle judges camera 2 again.
    rig.controller->clearNGAlarm();
    second.newFrames = true;
    rig.setInput(0, false);
    rig.advance(100);
    rig.edge(0);
    EXPECT_EQ(second.inspected.size(), inspected + 2);
    EXPECT_TRUE(rig.host.withdrawn.contains(held));
    EXPECT_FALSE(rig.host.warningVisible);
}

// A re-check held for a camera without a new frame inspected the other cameras; the timed
// release that ends the alarm meanwhile judged nothing and writes no result line.
TEST(CycleCameras, TimedReleaseAfterAHeldReCheckWritesNoResultLine) {
    CycleRig rig("moldNGTimedRelease", 2);
    ASSERT_NO_FATAL_FAILURE(alarmThenCameraBackWithoutFrame(rig));
    reCheckEveryCamera(rig);
    ASSERT_EQ(rig.state.resultState, kResultAlarm) << "the decision is held";

    testsupport::MessageCatcher lines(QtInfoMsg);
    rig.controller->clearNGAlarm();
    EXPECT_NE(rig.state.resultState, kResultAlarm) << "released";
    EXPECT_EQ(lines.count(QStringLiteral("Detection result:")), 0)
        << lines.messages().join('\n').toStdString();
}

TEST(CycleCameras, RetrainRequestTakesTheFrameAsTemplate) {
    CycleRig rig("", 2);
    for (auto& cam : rig.host.cams) cam->reTrain[0] = cam->reTrain[1] = true;
    rig.pulseInput(0, 100);
    EXPECT_EQ(rig.host.camAt(0).reTrainImages, (Steps{0, 1}));
    EXPECT_EQ(rig.host.camAt(1).reTrainImages, (Steps{0, 1}));
    EXPECT_TRUE(rig.host.camAt(0).inspected.empty());
    EXPECT_EQ(rig.host.templateSyncs, 4);
    EXPECT_EQ(rig.host.areaChecks, 1) << "the area editor opens once every request is served";
}

// The return from the area check after a re-sampling decides the moulds judged meanwhile: one
// that failed raises its alarm with the clamp withheld and the alarm output on, also when the
// safety door was opened meanwhile; a clean one lets the machine close.
TEST(CycleCameras, ReturnFromTheAreaCheckRaisesTheAlarmOfAMouldThatFailedMeanwhile) {
    for (const bool failed : {false, true}) {
        SCOPED_TRACE(failed);
        CycleRig rig;
        auto& cam = rig.host.camAt(0);
        cam.reTrain[0] = cam.reTrain[1] = true;
        rig.pulseInput(0, 100);
        ASSERT_EQ(rig.host.areaChecks, 1);
        gFromTrain = 1;  // the window's area check holds the decisions
        cam.results = {true, !failed};
        rig.pulseInput(0, 100);
        rig.pulseInput(kDoor, 100);  // closed, then opened
        gFromTrain = 0;
        // Every word the IO thread could send on the way, not only the last one.
        QString clamp;
        QObject::connect(gpControlIO, &ControlPort::sigIOChange,
                         [&] { clamp += rig.out(kClamp) ? '+' : '-'; });
        rig.controller->backTrain();
        EXPECT_EQ(rig.state.resultState == kResultAlarm, failed);
        EXPECT_EQ(clamp.contains('-'), !failed) << clamp.toStdString();
        EXPECT_EQ(rig.out(kClamp), failed);
        EXPECT_EQ(rig.out(kAlarm), failed);
    }
}

TEST(CycleCameras, EveryInspectedFrameSavedWhenAsked) {
    CycleRig rig("", 2);
    rig.state.saveAllImages = 1;
    rig.edge(0);
    const QStringList saved = rig.host.camAt(1).savedFrames;
    ASSERT_EQ(saved.size(), 2);
    EXPECT_TRUE(
        saved[0].startsWith(QStringLiteral("./originalimage/cammer21/template20260131-0815")))
        << saved[0].toStdString();
    EXPECT_TRUE(saved[1].startsWith(QStringLiteral("./originalimage/cammer22/")))
        << saved[1].toStdString();
    EXPECT_TRUE(saved[1].endsWith(QStringLiteral(".bmp")));
}

TEST(CycleStartStop, PasswordBeforeConfirmationAndStopEndsDelays) {
    CycleRig rig("pswStopDetect trigInDelay[0]=20");
    rig.edge(0);
    rig.advance(500);
    rig.controller->startStop();
    EXPECT_EQ(rig.host.questions, (QStringList{QStringLiteral("password"),
                                               QStringLiteral("Be sure to stop the detection?")}));
    EXPECT_EQ(rig.state.detectState, kDetectStopped);
    EXPECT_FALSE(rig.host.detectingButton);
    EXPECT_EQ(rig.host.records.last(), QStringLiteral("Stop the detection manually "));
    rig.advance(3000);
    EXPECT_TRUE(rig.host.camAt(0).inspected.empty()) << "the running delay was stopped";

    rig.host.passwordAnswer = 0;
    rig.controller->startStop();  // starting needs no password
    EXPECT_EQ(rig.state.detectState, kDetectRunning);
    rig.controller->startStop();
    EXPECT_EQ(rig.state.detectState, kDetectRunning) << "a refused password keeps it running";
}
