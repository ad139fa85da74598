// Step layout, cycle start, mould arming, position triggers and delays of every detection
// mode, the multi-detection selection with its cut modes, and the delay countdown.
#include <gtest/gtest.h>

#include <memory>

#include "cyclefakes.h"
#include "delaycountdown.h"
#include "globals.h"
#include "paramlimits.h"
#include "steprules.h"
#include "wizardparalayout.h"

using namespace detection;

namespace {

// Product detection on, both moulds, no delays, then `options`; the layout derived.
std::unique_ptr<WizardPara> layoutFor(const std::string& options) {
    auto p = std::make_unique<WizardPara>();
    cycletest::setOptions(*p, "detectProdEnable moldSide=2 " + options);
    gDNum = params::deriveLayout(*p);
    return p;
}

// Multi-detection with steps owned by IO rows {0, 1, 1, 2}; rows 0..2 listen to trigger slots
// 0..2 (TriginNo = {1, 3, 4, ...}: inputs 0, 2 and 3).
std::unique_ptr<WizardPara> multiLayout(int cut0, int cut1, int cut2, bool sequential) {
    char options[256];
    std::snprintf(options, sizeof options,
                  "detectMode=3 detectNum=4 outputOwner[1]=1 outputOwner[2]=1 outputOwner[3]=2 "
                  "detectTrigIn[1]=1 detectTrigIn[2]=2 detectCutMode[0]=%d detectCutMode[1]=%d "
                  "detectCutMode[2]=%d sequentialDetect=%d",
                  cut0, cut1, cut2, sequential ? 1 : 0);
    return layoutFor(options);
}

}  // namespace

TEST(StepScan, CycleStartAndMouldArmingByMode) {
    const struct {
        const char* options;
        int input, resumeInput;
        bool lastPending, starts;
    } starts[] = {
        {"detectMode=0", 0, -1, false, true},
        {"detectMode=0", 2, -1, false, false},
        {"detectMode=0 separateDetectSignal", 2, -1, false, true},
        {"detectMode=1", 0, -1, false, true},
        {"detectMode=1", 3, -1, false, false},
        {"detectMode=2", 0, -1, false, true},
        {"detectMode=2", 3, -1, false, true},
        {"detectMode=2 moldSide=1", 0, -1, false, false},  // right only
        {"detectMode=2 moldSide=0", 3, -1, false, false},  // left only
        {"detectMode=3", 5, -1, true, true},               // not sequential: any input
        {"detectMode=3 sequentialDetect", 0, -1, false, true},
        {"detectMode=3 sequentialDetect", 0, -1, true, false},  // the last step pending
        {"detectMode=3 sequentialDetect", 0, 2, false, false},  // resuming
    };
    for (const auto& row : starts)
        EXPECT_EQ(startsCycle(*layoutFor(row.options), row.input, row.resumeInput, row.lastPending),
                  row.starts)
            << row.options << " input " << row.input;

    const struct {
        const char* options;
        int input;
        bool arm;
        int side;
    } arming[] = {
        {"detectMode=0", 2, false, -1},
        {"detectMode=0 semiAuto", 2, true, -1},
        {"detectMode=2", 2, true, -1},
        {"detectMode=1", 2, true, params::kSideLeft},
        {"detectMode=1", 3, true, params::kSideRight},
        {"detectMode=1 moldSide=1", 2, false, -1},
        {"detectMode=1 moldSide=0", 3, false, -1},
        {"detectMode=3", 2, false, -1},
    };
    for (const auto& row : arming) {
        const MouldArming a = mouldArming(*layoutFor(row.options), row.input);
        EXPECT_EQ(a.arm, row.arm) << row.options << " input " << row.input;
        EXPECT_EQ(a.side, row.side) << row.options << " input " << row.input;
    }
}

TEST(StepScan, PositionTriggersAndDelays) {
    const struct {
        const char* options;  // trigger lines in the comment
        int position, input, forcedStep;
        bool triggered;
    } rows[] = {
        {"detectMode=0", 1, 0, -1, true},  // {0, 0}
        {"detectMode=0", 1, 2, -1, false},
        {"detectMode=0", 1, 1, 1, true},   // the forced step starts on any line
        {"detectMode=1", 1, 2, -1, true},  // both moulds: {0, 255}
        {"detectMode=1", 1, 3, -1, true},
        {"detectMode=1", 1, 0, -1, false},
        {"detectMode=2", 0, 0, -1, true},  // both moulds: {255, 255}
        {"detectMode=2", 0, 3, -1, true},
        {"detectMode=2", 0, 2, -1, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(
            positionTriggered(*layoutFor(row.options), row.position, row.input, row.forcedStep),
            row.triggered)
            << row.options << " position " << row.position << " input " << row.input;

    auto pHeld = layoutFor("trigInDelay[0]=10 trigInDelay[1]=25");
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

TEST(MultiDetection, SelectionByLineOrSequenceWithCutModes) {
    // Not sequential: every owner cuts all. Sequential: owners 0 and 1 cut themselves, owner 2
    // cuts all. Lines: step 0 on input 0, steps 1 and 2 on input 2, step 3 on input 3; step
    // outputs 1, 3, 4 and 0.
    auto byLine = multiLayout(kCutAll, kCutAll, kCutAll, false);
    auto sequential = multiLayout(kCutSelf, kCutSelf, kCutAll, true);
    ASSERT_EQ(gDNum, 4);
    ASSERT_EQ(sequential->trigInLine[3], 3);
    const struct {
        bool sequential;
        int input, seqStep, resumeInput;
        bool lastPending, cycleStarted;
        int position;
        bool endScan;
        std::vector<int> outputsOn;
    } rows[] = {
        {false, 2, 3, -1, true, true, 1, false, {3, 4, 0}},  // cut all from position 1
        {false, 2, 1, 2, true, true, 2, false, {4, 0}},      // resuming: after the current one
        {false, 2, 3, -1, false, true, -1, false, {}},       // the last position not pending
        {false, 5, 3, -1, true, true, -1, false, {}},        // nobody listens to input 5
        {true, 0, 3, -1, true, true, 0, false, {1}},         // a new round; cut self
        {true, 3, 0, -1, true, false, -1, true, {}},         // position 1 listens to input 2
        {true, 2, 0, -1, true, false, 1, false, {3, 4}},     // owner 1 holds positions 1, 2
        {true, 2, 1, -1, true, false, 2, false, {}},         // same owner: outputs stay
        {true, 3, 2, -1, true, false, 3, false, {0}},        // owner 2 cuts all
        {true, 7, 0, 2, true, false, 1, false, {3, 4}},      // resuming: any edge is taken
    };
    for (const auto& row : rows) {
        const MultiSelection s =
            selectMultiPosition(row.sequential ? *sequential : *byLine, 4, row.input, row.seqStep,
                                row.resumeInput, row.lastPending, row.cycleStarted);
        SCOPED_TRACE(testing::Message() << "sequential " << row.sequential << " input " << row.input
                                        << " after " << row.seqStep);
        EXPECT_EQ(s.position, row.position);
        EXPECT_EQ(s.endScan, row.endScan);
        EXPECT_EQ(s.outputsOn, row.outputsOn);
    }
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
    EXPECT_EQ(resumeAfterStep(q, 4, 3, -1).resumeInput, -1);
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

    auto twoHeld = layoutFor("detectMode=1 moldSide=1");
    WizardPara& two = *twoHeld;
    EXPECT_EQ(nextStepAfterOk(two, 4, 3), 2);
    EXPECT_EQ(nextStepAfterOk(two, 4, 2), 3);
    two.moldSide = 0;
    EXPECT_EQ(nextStepAfterOk(two, 4, 1), 0);
    EXPECT_EQ(nextStepAfterOk(*layoutFor("detectProdEnable=0"), 2, 1), 1) << "product skipped";
}

TEST(DelayCountdown, RunsOnTheTickOfItsDelayAndPreCutsOnlyTheLastPosition) {
    for (int tenths : {1, 2, 10, 25, 99, 600}) {
        float left = delaySeconds(tenths);
        int ticks = 1;
        while (!tickDelay(left, false, 0, false).run && ticks < 10000) ++ticks;
        EXPECT_EQ(ticks, tenths) << tenths << " tenths";
    }

    // The pre-cut only on the last position, not with OK/NG pulses, only for 1..99 tenths.
    float left = delaySeconds(25);
    EXPECT_FALSE(tickDelay(left, false, 99, false).preCut) << "not the last position";
    left = 0.3f;
    EXPECT_FALSE(tickDelay(left, true, 5, true).preCut) << "okNgPulse";
    left = 0.3f;
    EXPECT_FALSE(tickDelay(left, true, 100, false).preCut) << "out of 1..99";
    left = 0.3f;
    EXPECT_TRUE(tickDelay(left, true, 3, false).preCut);
}
