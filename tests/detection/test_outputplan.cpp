// The output options of the result decision, one table per situation: each row sets options
// on plain parameters and names the outputs, pulses and flush the plan must hold.
#include <gtest/gtest.h>

#include <functional>

#include "outputplan.h"
#include "plandescribe.h"
#include "steprules.h"
#include "wizardpara.h"

using namespace detection;
using cycletest::describe;

namespace {

using Options = std::function<void(WizardPara&)>;

// Parameters with every output option off, standard mode, pulses of half a second.
void plain(WizardPara& p) {
    p.detectMode = 0;
    p.okNgPulse = 0;
    p.noEjectorCtrlProd = p.ejectorPulseOnProdNG = p.clampPulseOnMoldNG = 0;
    p.cutClampAfterMoldOK = p.cutEjectorAfterProdOK = 0;
    p.cutEjectorOnProdAlarm = p.cutClampOnMoldAlarm = p.cutEjectorWhenClamp = 0;
    p.separateDetectSignal = p.preCutTime = p.moldNGTimedRelease = p.stopClampOnStop = 0;
    p.clampPulse = p.ejectorPulse = p.output4Pulse = 5;
    for (int& e : p.detectEnable) e = 0;
    p.detectEnable[0] = p.detectEnable[1] = 1;
    for (int& o : p.outputOwnerActive) o = -1;
    for (int& c : p.detectCutMode) c = 0;
}

struct Row {
    const char* name;
    Options setup;
    std::function<OutputPlan(const WizardPara&)> plan;
    const char* expected;
};

void check(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        WizardPara p;
        plain(p);
        if (row.setup) row.setup(p);
        EXPECT_EQ(describe(row.plan(p)), row.expected) << row.name;
    }
}

const Options none;

}  // namespace

TEST(OutputOptions, OkReleasesTheInterlockOfTheKind) {
    auto ok = [](int kind, bool reTrain = false) {
        return [=](const WizardPara& p) { return okOutputs(p, kind, reTrain); };
    };
    check({
        {"mould OK releases the clamp", none, ok(1), "0- flush"},
        {"mould OK while retraining keeps the clamp", none, ok(1, true), "flush"},
        {"mould OK with clamp pulse on NG keeps the clamp",
         [](WizardPara& p) { p.clampPulseOnMoldNG = 1; }, ok(1), "flush"},
        {"product OK releases the ejector", none, ok(0), "1- flush"},
        {"product OK without ejector control", [](WizardPara& p) { p.noEjectorCtrlProd = 1; },
         ok(0), "flush"},
        {"product OK with ejector pulse on NG", [](WizardPara& p) { p.ejectorPulseOnProdNG = 1; },
         ok(0), "flush"},
        {"OK pulse of okNgPulse", [](WizardPara& p) { p.okNgPulse = 1; }, ok(1),
         "0- 1+ 2- NotAllowClose=500 flush"},
        {"OK pulse of okNgPulse without pulse length",
         [](WizardPara& p) {
             p.okNgPulse = 1;
             p.clampPulse = 0;
         },
         ok(0), "0- 1+ 2- flush"},
    });
}

TEST(OutputOptions, TimedReleasesAfterOk) {
    check({
        {"mould OK, clamp cut after OK",
         [](WizardPara& p) {
             p.cutClampAfterMoldOK = 1;
             p.clampPulse = 7;
         },
         [](const WizardPara& p) { return okPulseOutputs(p, 1); }, "NotAllowClose=700"},
        {"product OK, ejector cut after OK",
         [](WizardPara& p) {
             p.cutEjectorAfterProdOK = 1;
             p.ejectorPulse = 3;
         },
         [](const WizardPara& p) { return okPulseOutputs(p, 0); }, "NotAllowThimble=300"},
        {"no timed release by default", none,
         [](const WizardPara& p) { return okPulseOutputs(p, 1); }, ""},
        {"mould OK withholds the ejector again while clamping",
         [](WizardPara& p) { p.cutEjectorWhenClamp = 1; }, mouldOkEjectorOutputs, "1+ flush"},
        {"... not without product detection",
         [](WizardPara& p) {
             p.cutEjectorWhenClamp = 1;
             p.detectEnable[0] = 0;
         },
         mouldOkEjectorOutputs, ""},
        {"... not without ejector control",
         [](WizardPara& p) {
             p.cutEjectorWhenClamp = 1;
             p.noEjectorCtrlProd = 1;
         },
         mouldOkEjectorOutputs, ""},
    });
}

TEST(OutputOptions, HowAnNgIsAnswered) {
    struct AnswerRow {
        const char* name;
        Options setup;
        int kind;
        NgAnswer expected;
    };
    const AnswerRow rows[] = {
        {"plain product NG", none, 0, NgAnswer::Alarm},
        {"plain mould NG", none, 1, NgAnswer::Alarm},
        {"okNgPulse wins", [](WizardPara& p) { p.okNgPulse = p.ejectorPulseOnProdNG = 1; }, 0,
         NgAnswer::OkNgPulse},
        {"product pulse", [](WizardPara& p) { p.ejectorPulseOnProdNG = 1; }, 0,
         NgAnswer::ProductPulse},
        {"product pulse does not touch the mould",
         [](WizardPara& p) { p.ejectorPulseOnProdNG = 1; }, 1, NgAnswer::Alarm},
        {"mould pulse", [](WizardPara& p) { p.clampPulseOnMoldNG = 1; }, 1, NgAnswer::MouldPulse},
        {"mould pulse is not used in multi-detection",
         [](WizardPara& p) {
             p.clampPulseOnMoldNG = 1;
             p.detectMode = 3;
         },
         1, NgAnswer::Alarm},
        {"product pulse in multi-detection",
         [](WizardPara& p) {
             p.ejectorPulseOnProdNG = 1;
             p.detectMode = 3;
         },
         0, NgAnswer::ProductPulse},
    };
    for (const AnswerRow& row : rows) {
        WizardPara p;
        plain(p);
        if (row.setup) row.setup(p);
        EXPECT_EQ(int(ngAnswer(p, row.kind)), int(row.expected)) << row.name;
    }
}

TEST(OutputOptions, NgPulsesAndAlarmSwitches) {
    const quint8 groups02[4] = {1, 0, 1, 0};
    const quint8 noGroups[4] = {};
    check({
        {"product pulse: NG groups 0 and 2 and the ejector", none,
         [&](const WizardPara& p) { return productPulseOutputs(p, groups02); },
         "1+ 4+ 6+ OutNG=500 flush"},
        {"product pulse without ejector control", [](WizardPara& p) { p.noEjectorCtrlProd = 1; },
         [&](const WizardPara& p) { return productPulseOutputs(p, groups02); },
         "4+ 6+ OutNG=500 flush"},
        {"product pulse with no group hit", none,
         [&](const WizardPara& p) { return productPulseOutputs(p, noGroups); },
         "1+ OutNG=500 flush"},
        {"mould pulse: clamp and alarm", [](WizardPara& p) { p.clampPulse = 12; },
         mouldPulseOutputs, "0+ 2+ NotAllowClose=1200 flush"},
        {"okNgPulse NG pulse", none, okNgPulseNgOutputs, "0+ 1- 2+ NotAllowClose=500 flush"},
        {"alarm of a door-started cycle withholds the clamp", none,
         [](const WizardPara& p) { return alarmOutputs(p, 0, true); }, "0+ flush"},
        {"... not in multi-detection", [](WizardPara& p) { p.detectMode = 3; },
         [](const WizardPara& p) { return alarmOutputs(p, 0, true); }, ""},
        {"timed release of a mould alarm",
         [](WizardPara& p) {
             p.moldNGTimedRelease = 1;
             p.output4Pulse = 20;
         },
         [](const WizardPara& p) { return alarmOutputs(p, 1, false); },
         "3+ ClearNGAlarm=2000 flush"},
        {"no timed release for the product step", [](WizardPara& p) { p.moldNGTimedRelease = 1; },
         [](const WizardPara& p) { return alarmOutputs(p, 0, false); }, ""},
    });
}

TEST(OutputOptions, FailedCameraSwitchesAtOnce) {
    auto failed = [](int kind, int retries) {
        return [=](const WizardPara& p) { return failedCameraOutputs(p, kind, retries); };
    };
    check({
        {"product NG: ejector, clamp and alarm", none, failed(0, 0), "0+ 1+ 2+"},
        {"product NG with pre-cut keeps the clamp", [](WizardPara& p) { p.preCutTime = 5; },
         failed(0, 0), "1+ 2+"},
        {"product NG with a separate signal keeps the clamp",
         [](WizardPara& p) { p.separateDetectSignal = 1; }, failed(0, 0), "1+ 2+"},
        {"product NG answered by a pulse", [](WizardPara& p) { p.ejectorPulseOnProdNG = 1; },
         failed(0, 0), ""},
        {"product NG without ejector control", [](WizardPara& p) { p.noEjectorCtrlProd = 1; },
         failed(0, 0), "2+"},
        {"product NG with a retry left raises no alarm", none, failed(0, 1), "0+ 1+"},
        {"mould NG: clamp and alarm", none, failed(1, 0), "0+ 2+"},
        {"mould NG with a retry left: nothing yet", none, failed(1, 2), ""},
        {"mould NG answered by a pulse", [](WizardPara& p) { p.clampPulseOnMoldNG = 1; },
         failed(1, 0), ""},
        {"okNgPulse switches nothing here", [](WizardPara& p) { p.okNgPulse = 1; }, failed(1, 0),
         ""},
        {"multi-detection: the alarm", [](WizardPara& p) { p.detectMode = 3; }, failed(2, 0), "2+"},
        {"multi-detection product pulse",
         [](WizardPara& p) {
             p.detectMode = 3;
             p.ejectorPulseOnProdNG = 1;
         },
         failed(0, 0), ""},
    });
}

TEST(OutputOptions, NewCycleAndMouldArming) {
    auto start = [](int input, bool product) {
        return [=](const WizardPara& p) { return cycleStartOutputs(p, input, product); };
    };
    check({
        {"clamp and ejector withheld", none, start(0, true), "0+ 1+ flush"},
        {"pre-cut leaves the clamp", [](WizardPara& p) { p.preCutTime = 3; }, start(0, true),
         "1+ flush"},
        {"clamp cut on mould alarm leaves the clamp",
         [](WizardPara& p) { p.cutClampOnMoldAlarm = 1; }, start(0, true), "1+ flush"},
        {"ejector pulse: ejector and NG groups released",
         [](WizardPara& p) { p.ejectorPulseOnProdNG = 1; }, start(0, true),
         "0+ 1- 4- 5- 6- 7- flush"},
        {"ejector cut on product alarm: the same",
         [](WizardPara& p) { p.cutEjectorOnProdAlarm = 1; }, start(0, true),
         "0+ 1- 4- 5- 6- 7- flush"},
        {"no ejector control", [](WizardPara& p) { p.noEjectorCtrlProd = 1; }, start(0, true),
         "0+ flush"},
        {"no product step in the cycle", none, start(0, false), "0+ flush"},
        {"separate signal, input 0: ejector only",
         [](WizardPara& p) { p.separateDetectSignal = 1; }, start(0, true), "1+ flush"},
        {"separate signal, input 2: clamp only", [](WizardPara& p) { p.separateDetectSignal = 1; },
         start(2, true), "0+ flush"},
        {"okNgPulse: nothing", [](WizardPara& p) { p.okNgPulse = 1; }, start(0, true), ""},
        {"multi-detection: nothing", [](WizardPara& p) { p.detectMode = 3; }, start(0, true), ""},
        {"mould armed: clamp withheld", none, mouldArmOutputs, "0+ flush"},
        {"mould armed with clamp pulse on NG", [](WizardPara& p) { p.clampPulseOnMoldNG = 1; },
         mouldArmOutputs, "flush"},
        {"mould armed with okNgPulse", [](WizardPara& p) { p.okNgPulse = 1; }, mouldArmOutputs, ""},
    });
}

TEST(OutputOptions, PulseEnds) {
    auto end = [](PulseTimer t, bool stopped) {
        return [=](const WizardPara& p) { return pulseEndOutputs(p, t, stopped); };
    };
    check({
        {"NG groups and ejector end", none, end(PulseTimer::OutNG, false), "1- 4- 5- 6- 7- flush"},
        {"NG groups end without ejector control", [](WizardPara& p) { p.noEjectorCtrlProd = 1; },
         end(PulseTimer::OutNG, false), "4- 5- 6- 7- flush"},
        {"clamp release ends: withheld again", none, end(PulseTimer::NotAllowClose, false),
         "0+ flush"},
        {"... not while stopped", none, end(PulseTimer::NotAllowClose, true), "flush"},
        {"okNgPulse pulse ends", [](WizardPara& p) { p.okNgPulse = 1; },
         end(PulseTimer::NotAllowClose, false), "0- 1- 2- flush"},
        {"mould NG pulse ends", [](WizardPara& p) { p.clampPulseOnMoldNG = 1; },
         end(PulseTimer::NotAllowClose, false), "0- 2- flush"},
        {"ejector release ends: withheld again", none, end(PulseTimer::NotAllowThimble, false),
         "1+ flush"},
        {"... not while stopped", none, end(PulseTimer::NotAllowThimble, true), "flush"},
        {"okNgPulse ejector end", [](WizardPara& p) { p.okNgPulse = 1; },
         end(PulseTimer::NotAllowThimble, false), "0- 1- flush"},
    });
}

TEST(OutputOptions, StartStopRetryAndManual) {
    check({
        {"start: all off", none, startDetectOutputs, "0- 1- 2- 3- 4- 5- 6- 7- 8- flush"},
        {"start: ejector withheld while clamping", [](WizardPara& p) { p.cutEjectorWhenClamp = 1; },
         startDetectOutputs, "0- 1+ 2- 3- 4- 5- 6- 7- 8- flush"},
        {"stop: all off", none, stopDetectOutputs, "0- 1- 2- 3- 4- 5- 6- 7- 8- flush"},
        {"stop: clamp withheld on stop", [](WizardPara& p) { p.stopClampOnStop = 1; },
         stopDetectOutputs, "0+ 1- 2- 3- 4- 5- 6- 7- 8- flush"},
        {"product retry withholds the ejector", none,
         [](const WizardPara& p) { return reCheckOutputs(p, 0, false, 1); }, "1+ flush"},
        {"product retry, ejector pulse", [](WizardPara& p) { p.ejectorPulseOnProdNG = 1; },
         [](const WizardPara& p) { return reCheckOutputs(p, 0, false, 1); }, "flush"},
        {"mould retry withholds the clamp", none,
         [](const WizardPara& p) { return reCheckOutputs(p, 1, true, 1); }, "0+ flush"},
        {"mould retry with pre-cut and retries left", [](WizardPara& p) { p.preCutTime = 4; },
         [](const WizardPara& p) { return reCheckOutputs(p, 1, true, 1); }, "flush"},
        {"mould retry with pre-cut, last retry", [](WizardPara& p) { p.preCutTime = 4; },
         [](const WizardPara& p) { return reCheckOutputs(p, 1, true, 0); }, "0+ flush"},
        {"product alarm lifted: ejector and alarm off", none,
         [](const WizardPara& p) { return liftAlarmOutputs(p, 0); }, "1- 2- flush"},
        {"multi-detection alarm lifted", [](WizardPara& p) { p.detectMode = 3; },
         [](const WizardPara& p) { return liftAlarmOutputs(p, 4); }, "2- flush"},
        {"manual mould step during an alarm", none,
         [](const WizardPara& p) { return manualDuringAlarmOutputs(p, 1); }, "0+ flush"},
        {"manual product step during an alarm", none,
         [](const WizardPara& p) { return manualDuringAlarmOutputs(p, 0); }, "1+ flush"},
        {"manual mould step, mould pulse", [](WizardPara& p) { p.clampPulseOnMoldNG = 1; },
         [](const WizardPara& p) { return manualDuringAlarmOutputs(p, 1); }, "flush"},
    });
}

TEST(OutputOptions, MultiDetectionStepOutputs) {
    // Four steps owned by two IO rows; OutputNo = {2, 4, 5, 6, 7, 8, 9, 1}: step outputs 1, 3, 4
    // and, for the last position, OutputNo[7] - 1 = 0.
    auto layout = [](int cut) {
        return [cut](WizardPara& p) {
            p.detectMode = 3;
            const int owners[4] = {0, 0, 1, 1};
            for (int j = 0; j < 4; ++j) p.outputOwnerActive[j] = owners[j];
            p.detectCutMode[0] = cut;
            p.detectCutMode[1] = cut;
        };
    };
    struct MultiRow {
        const char* name;
        int cut;
        int seqStep;
        const char* expected;
        int delayed;
    };
    const MultiRow rows[] = {
        {"cut all: released, no delay", kCutAll, 1, "3- flush", -1},
        {"self delay: released and withheld again", kSelfDelay, 1, "3- SysFunc4Output=500 flush",
         3},
        {"all delay on the last position uses its own output", kAllDelay, 3,
         "0- SysFunc4Output=500 flush", 0},
        {"not cut: released", kNotCut, 0, "1- flush", -1},
    };
    for (const MultiRow& row : rows) {
        WizardPara p;
        plain(p);
        layout(row.cut)(p);
        const MultiOkOutputs r = multiOkOutputs(p, 4, row.seqStep);
        EXPECT_EQ(describe(r.plan), row.expected) << row.name;
        EXPECT_EQ(r.delayedOutput, row.delayed) << row.name;
    }
    WizardPara p;
    plain(p);
    layout(kNgCutSelf)(p);
    EXPECT_EQ(describe(multiNgOutputs(p, 4, 2)), "4+ flush");
    layout(kCutSelf)(p);
    EXPECT_EQ(describe(multiNgOutputs(p, 4, 2)), "");
}

TEST(OutputPlanText, WordAfterPlanAndLevels) {
    OutputPlan plan;
    plan.on(0).on(2).off(0).flush().pulse(PulseTimer::OutNG, 300).pulse(PulseTimer::OutNG, 400);
    EXPECT_EQ(plan.applyTo(0x10u), 0x14u);
    EXPECT_EQ(plan.levelOf(0), 0);
    EXPECT_EQ(plan.levelOf(1), -1);
    EXPECT_EQ(plan.pulseMs(PulseTimer::OutNG), 400);  // the last start counts
    EXPECT_EQ(plan.pulseMs(PulseTimer::NotAllowClose), -1);
}
