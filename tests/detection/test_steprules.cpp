// Step layout, cycle start, mould arming, position triggers and delays of every detection
// mode, the multi-detection selection with its cut modes, and the delay countdown.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "delaycountdown.h"
#include "globals.h"
#include "paramlimits.h"
#include "steprules.h"
#include "wizardpara.h"
#include "wizardparalayout.h"

using namespace detection;

namespace {

std::unique_ptr<WizardPara> layoutFor(int mode,
                                      const std::function<void(WizardPara&)>& setup = {}) {
    auto held = std::make_unique<WizardPara>();
    WizardPara& p = *held;
    p.detectMode = mode;
    p.detectProdEnable = 1;
    p.semiAuto = 0;
    p.separateDetectSignal = 0;
    p.moldSide = 2;
    p.sequentialDetect = 0;
    for (int& d : p.trigInDelay) d = 0;
    if (setup) setup(p);
    gDNum = params::deriveLayout(p);
    return held;
}

// Multi-detection with steps owned by IO rows: owners {0, 1, 1, 2}, each row triggered by
// trigger slot `slots[row]` (TriginNo = {1, 3, 4, 5, ...}: slot 0 is input 0, slot 1 input 2,
// slot 2 input 3).
std::unique_ptr<WizardPara> multiLayout(int cut0, int cut1, int cut2, bool sequential) {
    return layoutFor(3, [&](WizardPara& p) {
        p.detectNum = 4;
        const int owners[4] = {0, 1, 1, 2};
        for (int j = 0; j < 8; ++j) p.outputOwner[j] = j < 4 ? owners[j] : -1;
        p.detectTrigIn[0] = 0;
        p.detectTrigIn[1] = 1;
        p.detectTrigIn[2] = 2;
        p.detectCutMode[0] = cut0;
        p.detectCutMode[1] = cut1;
        p.detectCutMode[2] = cut2;
        p.sequentialDetect = sequential ? 1 : 0;
    });
}

}  // namespace

TEST(StepLayout, PositionsStepsKindsAndOutputs) {
    EXPECT_EQ(stepOfPosition(1, 0, params::kSideLeft), 0);
    EXPECT_EQ(stepOfPosition(1, 1, params::kSideLeft), 1);
    EXPECT_EQ(stepOfPosition(1, 0, params::kSideRight), 2);
    EXPECT_EQ(stepOfPosition(2, 1, params::kSideRight), 3);
    EXPECT_EQ(stepOfPosition(2, 3, params::kSideRight), 3);  // a step number given as position
    EXPECT_EQ(stepOfPosition(0, 1, params::kSideRight), 1);
    EXPECT_EQ(stepOfPosition(3, 5, params::kSideRight), 5);

    EXPECT_EQ(kindOf(1, 3), 1);
    EXPECT_EQ(kindOf(2, 2), 0);
    EXPECT_EQ(kindOf(0, 1), 1);
    EXPECT_EQ(kindOf(3, 5), 5);
    EXPECT_EQ(lastPosition(0, 2), 1);
    EXPECT_EQ(lastPosition(2, 4), 1);
    EXPECT_EQ(lastPosition(3, 6), 5);

    // OutputNo = {2, 4, 5, 6, 7, 8, 9, 1}; the last position always uses OutputNo[7].
    EXPECT_EQ(stepOutput(0, 4), 1);
    EXPECT_EQ(stepOutput(2, 4), 4);
    EXPECT_EQ(stepOutput(3, 4), 0);
    EXPECT_EQ(stepOutput(6, 8), 8);
    EXPECT_EQ(stepOutput(7, 8), 0);
}

TEST(StepScan, CycleStartByMode) {
    struct Row {
        const char* name;
        int mode;
        std::function<void(WizardPara&)> setup;
        int input;
        int resumeInput;
        bool lastPending;
        bool starts;
    };
    const Row rows[] = {
        {"standard: input 0", 0, {}, 0, -1, false, true},
        {"standard: input 2 is no start", 0, {}, 2, -1, false, false},
        {"standard: input 2 with a separate signal", 0,
         [](WizardPara& p) { p.separateDetectSignal = 1; }, 2, -1, false, true},
        {"two-colour: input 0", 1, {}, 0, -1, false, true},
        {"two-colour: input 3 is no start", 1, {}, 3, -1, false, false},
        {"turntable both: input 0", 2, {}, 0, -1, false, true},
        {"turntable both: input 3", 2, {}, 3, -1, false, true},
        {"turntable right only: input 0 is no start", 2, [](WizardPara& p) { p.moldSide = 1; }, 0,
         -1, false, false},
        {"turntable left only: input 3 is no start", 2, [](WizardPara& p) { p.moldSide = 0; }, 3,
         -1, false, false},
        {"multi, not sequential: any input", 3, [](WizardPara& p) { p.sequentialDetect = 0; }, 5,
         -1, true, true},
        {"multi sequential: input 0 after the last step", 3,
         [](WizardPara& p) { p.sequentialDetect = 1; }, 0, -1, false, true},
        {"multi sequential: not while the last step is pending", 3,
         [](WizardPara& p) { p.sequentialDetect = 1; }, 0, -1, true, false},
        {"multi sequential: not while resuming", 3, [](WizardPara& p) { p.sequentialDetect = 1; },
         0, 2, false, false},
    };
    for (const Row& row : rows) {
        auto pHeld = layoutFor(row.mode, row.setup);
        WizardPara& p = *pHeld;
        EXPECT_EQ(startsCycle(p, row.input, row.resumeInput, row.lastPending), row.starts)
            << row.name;
    }
}

TEST(StepScan, MouldArmingBySecondSignal) {
    struct Row {
        const char* name;
        int mode;
        std::function<void(WizardPara&)> setup;
        int input;
        bool arm;
        int side;
    };
    const Row rows[] = {
        {"standard automatic: no second signal", 0, {}, 2, false, -1},
        {"standard semi-automatic: input 2", 0, [](WizardPara& p) { p.semiAuto = 1; }, 2, true, -1},
        {"turntable: input 2", 2, {}, 2, true, -1},
        {"two-colour: input 2 selects the left side", 1, {}, 2, true, params::kSideLeft},
        {"two-colour: input 3 selects the right side", 1, {}, 3, true, params::kSideRight},
        {"two-colour right only: input 2 ignored", 1, [](WizardPara& p) { p.moldSide = 1; }, 2,
         false, -1},
        {"two-colour left only: input 3 ignored", 1, [](WizardPara& p) { p.moldSide = 0; }, 3,
         false, -1},
        {"multi: never", 3, {}, 2, false, -1},
    };
    for (const Row& row : rows) {
        auto pHeld = layoutFor(row.mode, row.setup);
        WizardPara& p = *pHeld;
        const MouldArming a = mouldArming(p, row.input);
        EXPECT_EQ(a.arm, row.arm) << row.name;
        EXPECT_EQ(a.side, row.side) << row.name;
    }
}

TEST(StepScan, PositionTriggersAndDelays) {
    {
        auto pHeld = layoutFor(0);  // trigger lines {0, 0}
        WizardPara& p = *pHeld;
        EXPECT_TRUE(positionTriggered(p, 0, 0, -1));
        EXPECT_TRUE(positionTriggered(p, 1, 0, -1));
        EXPECT_FALSE(positionTriggered(p, 1, 2, -1));
        EXPECT_TRUE(positionTriggered(p, 1, 1, 1)) << "the forced step starts on any line";
    }
    {
        auto pHeld = layoutFor(0, [](WizardPara& q) { q.semiAuto = 1; });  // {0, 2}
        WizardPara& p = *pHeld;
        EXPECT_FALSE(positionTriggered(p, 1, 0, -1));
        EXPECT_TRUE(positionTriggered(p, 1, 2, -1));
    }
    {
        auto pHeld = layoutFor(1);  // both moulds: {0, 255}
        WizardPara& p = *pHeld;
        EXPECT_TRUE(positionTriggered(p, 1, 2, -1));
        EXPECT_TRUE(positionTriggered(p, 1, 3, -1));
        EXPECT_FALSE(positionTriggered(p, 1, 0, -1));
    }
    {
        auto pHeld = layoutFor(2);  // both moulds: {255, 255}
        WizardPara& p = *pHeld;
        EXPECT_TRUE(positionTriggered(p, 0, 0, -1));
        EXPECT_TRUE(positionTriggered(p, 0, 3, -1));
        EXPECT_FALSE(positionTriggered(p, 0, 2, -1));
    }

    auto pHeld = layoutFor(0, [](WizardPara& q) {
        q.trigInDelay[0] = 10;
        q.trigInDelay[1] = 25;
    });
    WizardPara& p = *pHeld;
    EXPECT_EQ(positionDelay(p, 0, 0), 10);
    EXPECT_EQ(positionDelay(p, 1, 10), 35) << "the mould step counts from the product delay";
    p.semiAuto = 1;
    EXPECT_EQ(positionDelay(p, 1, 10), 25);
    p.semiAuto = 0;
    p.detectProdEnable = 0;
    EXPECT_EQ(positionDelay(p, 1, 10), 25);
    p.trigInDelay[0] = -4;
    EXPECT_EQ(positionDelay(p, 0, 0), 0);
}

TEST(MultiDetection, NotSequentialSelectsByLine) {
    auto pHeld = multiLayout(kCutAll, kCutAll, kCutAll, false);
    WizardPara& p = *pHeld;
    ASSERT_EQ(gDNum, 4);
    // Lines: step 0 input 0, steps 1 and 2 input 2, step 3 input 3.
    EXPECT_EQ(p.trigInLine[1], 2);
    EXPECT_EQ(p.trigInLine[3], 3);
    MultiSelection s = selectMultiPosition(p, 4, 2, 3, -1, true, true);
    EXPECT_EQ(s.position, 1);
    // Cut all from position 1: every owned position 1..3 (outputs 3, 4 and 0).
    EXPECT_EQ(s.outputsOn, (std::vector<int>{3, 4, 0}));
    // While resuming, the search starts after the current position.
    s = selectMultiPosition(p, 4, 2, 1, 2, true, true);
    EXPECT_EQ(s.position, 2);
    // Nothing selected when the last position is no longer pending.
    s = selectMultiPosition(p, 4, 2, 3, -1, false, true);
    EXPECT_EQ(s.position, -1);
    // No position listens to input 5.
    s = selectMultiPosition(p, 4, 5, 3, -1, true, true);
    EXPECT_EQ(s.position, -1);
    EXPECT_FALSE(s.endScan);
}

TEST(MultiDetection, SequentialOrderAndCutModes) {
    auto pHeld = multiLayout(kCutSelf, kCutSelf, kCutAll, true);
    WizardPara& p = *pHeld;
    // A new round: input 0 started the cycle; from the last position the next is position 0.
    MultiSelection s = selectMultiPosition(p, 4, 0, 3, -1, true, true);
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(s.outputsOn, (std::vector<int>{1})) << "cut self: only owner 0's positions";
    // The next position (1) listens to input 2: an edge on input 3 is refused and ends the scan.
    s = selectMultiPosition(p, 4, 3, 0, -1, true, false);
    EXPECT_TRUE(s.endScan);
    s = selectMultiPosition(p, 4, 2, 0, -1, true, false);
    EXPECT_EQ(s.position, 1);
    EXPECT_EQ(s.outputsOn, (std::vector<int>{3, 4})) << "owner 1 holds positions 1 and 2";
    // Position 2 has the same owner as position 1: outputs stay as they are.
    s = selectMultiPosition(p, 4, 2, 1, -1, true, false);
    EXPECT_EQ(s.position, 2);
    EXPECT_TRUE(s.outputsOn.empty());
    // Position 3 (owner 2, cut all) on input 3.
    s = selectMultiPosition(p, 4, 3, 2, -1, true, false);
    EXPECT_EQ(s.position, 3);
    EXPECT_EQ(s.outputsOn, (std::vector<int>{0}));
    // While resuming any edge is taken.
    s = selectMultiPosition(p, 4, 7, 0, 2, true, false);
    EXPECT_EQ(s.position, 1);
}

TEST(MultiDetection, CutModesWithoutProductDetectionAndResume) {
    auto pHeld = multiLayout(kAllDelay, kNotCut, kCutAll, false);
    WizardPara& p = *pHeld;
    EXPECT_EQ(cutModeOutputs(p, 4, 0), (std::vector<int>{1, 3, 4, 0}));
    EXPECT_TRUE(cutModeOutputs(p, 4, 1).empty()) << "not cut";
    p.detectProdEnable = 0;
    EXPECT_EQ(cutModeOutputs(p, 4, 0), (std::vector<int>{3, 4, 0})) << "position 0 skipped";

    // Positions 1 and 2 share input 2: after position 1 the next edge is taken from input 2.
    auto qHeld = multiLayout(kCutAll, kCutAll, kCutAll, true);
    WizardPara& q = *qHeld;
    ResumeChoice r = resumeAfterStep(q, 4, 1, 5);
    EXPECT_EQ(r.resumeInput, 2);
    EXPECT_EQ(r.forcedInput, -1);
    r = resumeAfterStep(q, 4, 2, 5);
    EXPECT_EQ(r.resumeInput, 5) << "otherwise the forced input moves over";
    EXPECT_EQ(r.forcedInput, -1);
    r = resumeAfterStep(q, 4, 3, -1);
    EXPECT_EQ(r.resumeInput, -1);
}

TEST(StepAdvance, NextStepAfterAnOkDisplay) {
    auto pHeld = multiLayout(0, 0, 0, false);
    WizardPara& p = *pHeld;
    for (int& e : p.detectEnable) e = 0;
    p.detectEnable[0] = p.detectEnable[2] = 1;
    EXPECT_EQ(nextStepAfterOk(p, 4, 2), 0);
    EXPECT_EQ(nextStepAfterOk(p, 4, 0), 2);
    for (int& e : p.detectEnable) e = 0;
    EXPECT_EQ(nextStepAfterOk(p, 4, 1), 1) << "no step enabled: the search ends";

    auto twoHeld = layoutFor(1, [](WizardPara& q) { q.moldSide = 1; });
    WizardPara& two = *twoHeld;
    EXPECT_EQ(nextStepAfterOk(two, 4, 3), 2);
    EXPECT_EQ(nextStepAfterOk(two, 4, 2), 3);
    two.moldSide = 0;
    EXPECT_EQ(nextStepAfterOk(two, 4, 1), 0);
    auto standardHeld = layoutFor(0, [](WizardPara& q) { q.detectProdEnable = 0; });
    WizardPara& standard = *standardHeld;
    EXPECT_EQ(nextStepAfterOk(standard, 2, 1), 1) << "product step skipped";
}

TEST(DelayCountdown, RunsOnTheTickOfItsDelay) {
    for (int tenths : {1, 2, 10, 25, 99, 600}) {
        float left = delaySeconds(tenths);
        int ticks = 0;
        DelayTick t;
        do {
            t = tickDelay(left, false, 0, false);
            ++ticks;
        } while (!t.run && ticks < 10000);
        EXPECT_EQ(ticks, tenths) << tenths << " tenths";
    }
}

TEST(DelayCountdown, PreCutOnlyOnTheLastPosition) {
    // Pre-cut 5 tenths on a delay of 25: the clamp is withheld from the tick that finds half
    // a second or less left.
    float left = delaySeconds(25);
    int firstCut = -1;
    for (int tick = 1; tick <= 25; ++tick) {
        const DelayTick t = tickDelay(left, true, 5, false);
        if (t.preCut && firstCut < 0) firstCut = tick;
        if (t.run) break;
    }
    EXPECT_EQ(firstCut, 21);

    left = delaySeconds(25);
    EXPECT_FALSE(tickDelay(left, false, 99, false).preCut) << "not the last position";
    left = 0.3f;
    EXPECT_FALSE(tickDelay(left, true, 5, true).preCut) << "okNgPulse";
    left = 0.3f;
    EXPECT_FALSE(tickDelay(left, true, 100, false).preCut) << "out of 1..99";
    left = 0.3f;
    EXPECT_TRUE(tickDelay(left, true, 3, false).preCut);
}
