// The output options of the result decision, one table per situation: each row sets options
// on plain parameters (every option off, standard mode, pulses of half a second) and names the
// outputs, pulses and flush the plan must hold.
#include <gtest/gtest.h>

#include <functional>

#include "cyclefakes.h"
#include "outputplan.h"
#include "steprules.h"

using namespace detection;
using cycletest::setOptions;

namespace {

// A plan as a short text: the final level of every output it touches ("0+" on, "1-" off),
// then the pulse timers it starts with their milliseconds, then "flush" when it publishes the
// word; "" for an empty plan.
std::string describe(const OutputPlan& plan) {
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : " ") + part; };
    for (int n = 0; n < 9; ++n)
        if (plan.levelOf(n) >= 0) add(std::to_string(n) + (plan.levelOf(n) ? "+" : "-"));
    const char* const timers[] = {"OutNG", "NotAllowClose", "NotAllowThimble", "SysFunc4Output",
                                  "ClearNGAlarm"};  // in PulseTimer order
    for (int t = 0; t < 5; ++t)
        if (plan.pulseMs(PulseTimer(t)) >= 0)
            add(std::string(timers[t]) + "=" + std::to_string(plan.pulseMs(PulseTimer(t))));
    if (plan.flushes()) add("flush");
    return text;
}

std::unique_ptr<WizardPara> plain(const std::string& options) {
    auto p = std::make_unique<WizardPara>();
    setOptions(*p,
               "clampPulse=5 ejectorPulse=5 output4Pulse=5 detectEnable[0]=1 detectEnable[1]=1");
    for (int& o : p->outputOwnerActive) o = -1;
    setOptions(*p, options);
    return p;
}

using PlanOf = std::function<OutputPlan(const WizardPara&)>;

// The plan of `f(parameters, args...)`.
template <typename F, typename... Args>
PlanOf call(F f, Args... args) {
    return [=](const WizardPara& p) { return f(p, args...); };
}

struct Row {
    const char* options;
    PlanOf plan;
    const char* expected;
};

void check(const std::vector<Row>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i << " \"" << rows[i].options << "\"");
        EXPECT_EQ(describe(rows[i].plan(*plain(rows[i].options))), rows[i].expected);
    }
}

}  // namespace

TEST(OutputOptions, OkReleasesTheInterlockOfTheKindAndItsTimedRelease) {
    check({
        {"", call(okOutputs, 1, false), "0- flush"},  // mould OK releases the clamp
        {"", call(okOutputs, 1, true), "flush"},      // ... not while retraining
        {"clampPulseOnMoldNG", call(okOutputs, 1, false), "flush"},
        {"", call(okOutputs, 0, false), "1- flush"},  // product OK releases the ejector
        {"noEjectorCtrlProd", call(okOutputs, 0, false), "flush"},
        {"ejectorPulseOnProdNG", call(okOutputs, 0, false), "flush"},
        {"okNgPulse", call(okOutputs, 1, false), "0- 1+ 2- NotAllowClose=500 flush"},
        {"okNgPulse clampPulse=0", call(okOutputs, 0, false), "0- 1+ 2- flush"},
        {"cutClampAfterMoldOK clampPulse=7", call(okPulseOutputs, 1), "NotAllowClose=700"},
        {"cutEjectorAfterProdOK ejectorPulse=3", call(okPulseOutputs, 0), "NotAllowThimble=300"},
        {"", call(okPulseOutputs, 1), ""},
        // The mould OK withholds the ejector again while clamping.
        {"cutEjectorWhenClamp", mouldOkEjectorOutputs, "1+ flush"},
        {"cutEjectorWhenClamp detectEnable[0]=0", mouldOkEjectorOutputs, ""},
        {"cutEjectorWhenClamp noEjectorCtrlProd", mouldOkEjectorOutputs, ""},
    });
}

TEST(OutputOptions, HowAnNgIsAnswered) {
    const struct {
        const char* options;
        int kind;
        NgAnswer expected;
    } rows[] = {
        {"", 0, NgAnswer::Alarm},
        {"", 1, NgAnswer::Alarm},
        {"okNgPulse ejectorPulseOnProdNG", 0, NgAnswer::OkNgPulse},
        {"ejectorPulseOnProdNG", 0, NgAnswer::ProductPulse},
        {"ejectorPulseOnProdNG", 1, NgAnswer::Alarm},
        {"clampPulseOnMoldNG", 1, NgAnswer::MouldPulse},
        {"clampPulseOnMoldNG detectMode=3", 1, NgAnswer::Alarm},
        {"ejectorPulseOnProdNG detectMode=3", 0, NgAnswer::ProductPulse},
    };
    for (const auto& row : rows)
        EXPECT_EQ(int(ngAnswer(*plain(row.options), row.kind)), int(row.expected))
            << row.options << " kind " << row.kind;
}

TEST(OutputOptions, NgPulsesAndAlarmSwitches) {
    const quint8 groups02[4] = {1, 0, 1, 0};
    const PlanOf productPulse = [&](const WizardPara& p) {
        return productPulseOutputs(p, groups02);
    };
    check({
        {"", productPulse, "1+ 4+ 6+ OutNG=500 flush"},
        {"noEjectorCtrlProd", productPulse, "4+ 6+ OutNG=500 flush"},
        {"clampPulse=12", mouldPulseOutputs, "0+ 2+ NotAllowClose=1200 flush"},
        {"", okNgPulseNgOutputs, "0+ 1- 2+ NotAllowClose=500 flush"},
        // The alarm of a door-started cycle withholds the clamp, except in multi-detection.
        {"", call(alarmOutputs, 0, true), "0+ flush"},
        {"detectMode=3", call(alarmOutputs, 0, true), ""},
        {"moldNGTimedRelease output4Pulse=20", call(alarmOutputs, 1, false),
         "3+ ClearNGAlarm=2000 flush"},
        {"moldNGTimedRelease", call(alarmOutputs, 0, false), ""},
    });
}

TEST(OutputOptions, FailedCameraSwitchesAtOnce) {
    check({
        {"", call(failedCameraOutputs, 0, 0), "0+ 1+ 2+"},
        {"preCutTime=5", call(failedCameraOutputs, 0, 0), "1+ 2+"},
        {"separateDetectSignal", call(failedCameraOutputs, 0, 0), "1+ 2+"},
        {"ejectorPulseOnProdNG", call(failedCameraOutputs, 0, 0), ""},
        {"noEjectorCtrlProd", call(failedCameraOutputs, 0, 0), "2+"},
        {"", call(failedCameraOutputs, 0, 1), "0+ 1+"},  // a retry left raises no alarm
        {"", call(failedCameraOutputs, 1, 0), "0+ 2+"},
        {"", call(failedCameraOutputs, 1, 2), ""},
        {"clampPulseOnMoldNG", call(failedCameraOutputs, 1, 0), ""},
        {"okNgPulse", call(failedCameraOutputs, 1, 0), ""},
        {"detectMode=3", call(failedCameraOutputs, 2, 0), "2+"},
        {"detectMode=3 ejectorPulseOnProdNG", call(failedCameraOutputs, 0, 0), ""},
    });
}

TEST(OutputOptions, NewCycleAndMouldArming) {
    check({
        {"", call(cycleStartOutputs, 0, true), "0+ 1+ flush"},
        {"preCutTime=3", call(cycleStartOutputs, 0, true), "1+ flush"},
        {"cutClampOnMoldAlarm", call(cycleStartOutputs, 0, true), "1+ flush"},
        {"ejectorPulseOnProdNG", call(cycleStartOutputs, 0, true), "0+ 1- 4- 5- 6- 7- flush"},
        {"cutEjectorOnProdAlarm", call(cycleStartOutputs, 0, true), "0+ 1- 4- 5- 6- 7- flush"},
        {"noEjectorCtrlProd", call(cycleStartOutputs, 0, true), "0+ flush"},
        {"", call(cycleStartOutputs, 0, false), "0+ flush"},  // no product step in the cycle
        {"separateDetectSignal", call(cycleStartOutputs, 0, true), "1+ flush"},
        {"separateDetectSignal", call(cycleStartOutputs, 2, true), "0+ flush"},
        {"okNgPulse", call(cycleStartOutputs, 0, true), ""},
        {"detectMode=3", call(cycleStartOutputs, 0, true), ""},
        {"", mouldArmOutputs, "0+ flush"},
        {"clampPulseOnMoldNG", mouldArmOutputs, "flush"},
        {"okNgPulse", mouldArmOutputs, ""},
    });
}

TEST(OutputOptions, PulseEnds) {
    check({
        {"", call(pulseEndOutputs, PulseTimer::OutNG, false), "1- 4- 5- 6- 7- flush"},
        {"noEjectorCtrlProd", call(pulseEndOutputs, PulseTimer::OutNG, false), "4- 5- 6- 7- flush"},
        {"", call(pulseEndOutputs, PulseTimer::NotAllowClose, false), "0+ flush"},
        {"", call(pulseEndOutputs, PulseTimer::NotAllowClose, true), "flush"},  // stopped
        {"okNgPulse", call(pulseEndOutputs, PulseTimer::NotAllowClose, false), "0- 1- 2- flush"},
        {"clampPulseOnMoldNG", call(pulseEndOutputs, PulseTimer::NotAllowClose, false),
         "0- 2- flush"},
        {"", call(pulseEndOutputs, PulseTimer::NotAllowThimble, false), "1+ flush"},
        {"", call(pulseEndOutputs, PulseTimer::NotAllowThimble, true), "flush"},
        {"okNgPulse", call(pulseEndOutputs, PulseTimer::NotAllowThimble, false), "0- 1- flush"},
    });
}

TEST(OutputOptions, StartStopRetryAndManual) {
    check({
        {"", startDetectOutputs, "0- 1- 2- 3- 4- 5- 6- 7- 8- flush"},
        {"cutEjectorWhenClamp", startDetectOutputs, "0- 1+ 2- 3- 4- 5- 6- 7- 8- flush"},
        {"", stopDetectOutputs, "0- 1- 2- 3- 4- 5- 6- 7- 8- flush"},
        {"stopClampOnStop", stopDetectOutputs, "0+ 1- 2- 3- 4- 5- 6- 7- 8- flush"},
        {"", call(reCheckOutputs, 0, false, 1), "1+ flush"},
        {"ejectorPulseOnProdNG", call(reCheckOutputs, 0, false, 1), "flush"},
        {"", call(reCheckOutputs, 1, true, 1), "0+ flush"},
        {"preCutTime=4", call(reCheckOutputs, 1, true, 1), "flush"},
        {"preCutTime=4", call(reCheckOutputs, 1, true, 0), "0+ flush"},
        {"", call(liftAlarmOutputs, 0), "1- 2- flush"},
        {"detectMode=3", call(liftAlarmOutputs, 4), "2- flush"},
        {"", call(manualDuringAlarmOutputs, 1), "0+ flush"},
        {"", call(manualDuringAlarmOutputs, 0), "1+ flush"},
        {"clampPulseOnMoldNG", call(manualDuringAlarmOutputs, 1), "flush"},
    });
}

TEST(OutputOptions, MultiDetectionStepOutputs) {
    // Four steps owned by IO rows {0, 0, 1, 1}; OutputNo = {2, 4, 5, 6, 7, 8, 9, 1}: step
    // outputs 1, 3, 4 and, for the last position, OutputNo[7] - 1 = 0.
    const std::string owners =
        "detectMode=3 outputOwnerActive[0]=0 outputOwnerActive[1]=0 "
        "outputOwnerActive[2]=1 outputOwnerActive[3]=1 ";
    const struct {
        int cut, seqStep;
        const char* expected;
        int delayed;
    } rows[] = {
        {kCutAll, 1, "3- flush", -1},
        {kSelfDelay, 1, "3- SysFunc4Output=500 flush", 3},  // withheld again after the pulse
        {kAllDelay, 3, "0- SysFunc4Output=500 flush", 0},   // the last position's own output
        {kNotCut, 0, "1- flush", -1},
    };
    auto cuts = [&owners](int cut) {
        const std::string c = std::to_string(cut);
        return plain(owners + "detectCutMode[0]=" + c + " detectCutMode[1]=" + c);
    };
    for (const auto& row : rows) {
        auto p = cuts(row.cut);
        const MultiOkOutputs r = multiOkOutputs(*p, 4, row.seqStep);
        EXPECT_EQ(describe(r.plan), row.expected) << row.cut;
        EXPECT_EQ(r.delayedOutput, row.delayed) << row.cut;
    }
    EXPECT_EQ(describe(multiNgOutputs(*cuts(kNgCutSelf), 4, 2)), "4+ flush");
    EXPECT_EQ(describe(multiNgOutputs(*cuts(kCutSelf), 4, 2)), "");
}

// The plan's own queries the tables above rely on.
TEST(OutputPlanText, LastLevelAndLastPulseCount) {
    OutputPlan plan;
    plan.on(0).on(2).off(0).flush().pulse(PulseTimer::OutNG, 300).pulse(PulseTimer::OutNG, 400);
    EXPECT_EQ(plan.levelOf(0), 0);
    EXPECT_EQ(plan.levelOf(1), -1);
    EXPECT_EQ(plan.pulseMs(PulseTimer::OutNG), 400);  // the last start counts
    EXPECT_EQ(plan.pulseMs(PulseTimer::NotAllowClose), -1);
}
