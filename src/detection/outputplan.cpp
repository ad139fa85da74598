#include "outputplan.h"

#include "detectionlimits.h"
#include "paramlimits.h"
#include "steprules.h"
#include "wizardpara.h"

namespace detection {

OutputPlan& OutputPlan::set(int output, int level) {
    ops_.push_back({OutputOp::Set, output, level ? 1 : 0});
    return *this;
}

OutputPlan& OutputPlan::flush() {
    ops_.push_back({OutputOp::Flush, 0, 0});
    return *this;
}

OutputPlan& OutputPlan::pulse(PulseTimer timer, int ms) {
    ops_.push_back({OutputOp::Pulse, static_cast<int>(timer), ms});
    return *this;
}

OutputPlan& OutputPlan::append(const OutputPlan& other) {
    ops_.insert(ops_.end(), other.ops_.begin(), other.ops_.end());
    return *this;
}

bool OutputPlan::flushes() const {
    for (const OutputOp& op : ops_)
        if (op.kind == OutputOp::Flush) return true;
    return false;
}

int OutputPlan::pulseMs(PulseTimer timer) const {
    int ms = -1;
    for (const OutputOp& op : ops_)
        if (op.kind == OutputOp::Pulse && op.a == static_cast<int>(timer)) ms = op.b;
    return ms;
}

int OutputPlan::levelOf(int output) const {
    int level = -1;
    for (const OutputOp& op : ops_)
        if (op.kind == OutputOp::Set && op.a == output) level = op.b;
    return level;
}

namespace {

int ms(int tenths) {
    return tenths * kTenthMs;
}

bool standardMode(const WizardPara& p) {
    return p.detectMode == params::kModeStandard;
}

}  // namespace

NgAnswer ngAnswer(const WizardPara& p, int kind) {
    if (p.okNgPulse) return NgAnswer::OkNgPulse;
    if (kind == 0 && p.ejectorPulseOnProdNG) return NgAnswer::ProductPulse;
    if (kind == 1 && p.clampPulseOnMoldNG && !isMultiMode(p.detectMode))
        return NgAnswer::MouldPulse;
    return NgAnswer::Alarm;
}

bool ngIsPulse(const WizardPara& p, int kind) {
    return ngAnswer(p, kind) != NgAnswer::Alarm;
}

OutputPlan cycleStartOutputs(const WizardPara& p, int input, bool productPending) {
    OutputPlan plan;
    if (p.okNgPulse || isMultiMode(p.detectMode)) return plan;
    const bool separate = standardMode(p) && p.separateDetectSignal == 1;
    bool clamp = p.preCutTime == 0 && p.cutClampOnMoldAlarm == 0 && p.clampPulseOnMoldNG == 0;
    if (separate) clamp = clamp && input == kSecondSignalInput;
    if (clamp) plan.on(kClampOutput);
    if (productPending) {
        if (p.ejectorPulseOnProdNG || p.cutEjectorOnProdAlarm) {
            plan.off(kEjectorOutput);
            for (int g = 0; g < kNgGroups; ++g) plan.off(kFirstNgOutput + g);
        } else if (!p.noEjectorCtrlProd && (!separate || input == kOpenInput)) {
            plan.on(kEjectorOutput);
        }
    }
    return plan.flush();
}

OutputPlan mouldArmOutputs(const WizardPara& p) {
    OutputPlan plan;
    if (p.okNgPulse) return plan;
    if (p.cutClampOnMoldAlarm == 0 && p.clampPulseOnMoldNG == 0 && p.preCutTime == 0)
        plan.on(kClampOutput);
    return plan.flush();
}

OutputPlan failedCameraOutputs(const WizardPara& p, int kind, int retryLeft) {
    OutputPlan plan;
    if (p.okNgPulse) return plan;
    if (isMultiMode(p.detectMode)) {
        if (!(kind == 0 && p.ejectorPulseOnProdNG)) plan.on(kAlarmOutput);
        return plan;
    }
    if (kind == 0) {
        if (!p.noEjectorCtrlProd && !p.ejectorPulseOnProdNG) {
            plan.on(kEjectorOutput);
            if (!p.preCutTime && !p.cutClampOnMoldAlarm && !p.separateDetectSignal &&
                !p.clampPulseOnMoldNG)
                plan.on(kClampOutput);
        }
        if (!p.ejectorPulseOnProdNG && retryLeft == 0) plan.on(kAlarmOutput);
    } else if (kind == 1) {
        if (!p.clampPulseOnMoldNG && retryLeft == 0) {
            plan.on(kClampOutput);
            plan.on(kAlarmOutput);
        }
    }
    return plan;
}

OutputPlan okOutputs(const WizardPara& p, int kind, bool reTrain) {
    OutputPlan plan;
    if (p.okNgPulse) {
        plan.off(kClampOutput).on(kEjectorOutput).off(kAlarmOutput).flush();
        if (p.clampPulse > 0) plan.pulse(PulseTimer::NotAllowClose, ms(p.clampPulse));
        return plan;
    }
    if (kind == 1 && !reTrain && !p.clampPulseOnMoldNG) plan.off(kClampOutput);
    if (kind == 0 && !p.noEjectorCtrlProd && !p.ejectorPulseOnProdNG) plan.off(kEjectorOutput);
    return plan.flush();
}

OutputPlan mouldOkEjectorOutputs(const WizardPara& p) {
    OutputPlan plan;
    if (p.detectEnable[0] && p.cutEjectorWhenClamp && !p.noEjectorCtrlProd &&
        !p.ejectorPulseOnProdNG)
        plan.on(kEjectorOutput).flush();
    return plan;
}

OutputPlan okPulseOutputs(const WizardPara& p, int kind) {
    OutputPlan plan;
    if (kind == 1 && p.cutClampAfterMoldOK) plan.pulse(PulseTimer::NotAllowClose, ms(p.clampPulse));
    if (kind == 0 && p.cutEjectorAfterProdOK)
        plan.pulse(PulseTimer::NotAllowThimble, ms(p.ejectorPulse));
    return plan;
}

MultiOkOutputs multiOkOutputs(const WizardPara& p, int stepCount, int seqStep) {
    MultiOkOutputs r;
    const int output = stepOutput(seqStep, stepCount);
    if (output >= 0) r.plan.off(output);
    const int cut = ownerCutMode(p, seqStep);
    if ((cut == kSelfDelay || cut == kAllDelay) && p.clampPulse != 0 && output >= 0) {
        // The same output that was released is withheld again after the pulse.
        r.delayedOutput = output;
        r.plan.pulse(PulseTimer::SysFunc4Output, ms(p.clampPulse));
    }
    r.plan.flush();
    return r;
}

OutputPlan productPulseOutputs(const WizardPara& p, const quint8 (&ngGroups)[4]) {
    OutputPlan plan;
    for (int g = 0; g < kNgGroups; ++g)
        if (ngGroups[g]) plan.on(kFirstNgOutput + g);
    if (!p.noEjectorCtrlProd) plan.on(kEjectorOutput);
    plan.flush();
    plan.pulse(PulseTimer::OutNG, ms(p.ejectorPulse));
    return plan;
}

OutputPlan mouldPulseOutputs(const WizardPara& p) {
    OutputPlan plan;
    plan.on(kClampOutput).on(kAlarmOutput).flush();
    plan.pulse(PulseTimer::NotAllowClose, ms(p.clampPulse));
    return plan;
}

OutputPlan okNgPulseNgOutputs(const WizardPara& p) {
    OutputPlan plan;
    plan.on(kClampOutput).off(kEjectorOutput).on(kAlarmOutput).flush();
    plan.pulse(PulseTimer::NotAllowClose, ms(p.clampPulse));
    return plan;
}

OutputPlan alarmOutputs(const WizardPara& p, int kind, bool doorStarted) {
    OutputPlan plan;
    if (doorStarted && !isMultiMode(p.detectMode)) plan.on(kClampOutput).flush();
    if (p.moldNGTimedRelease && kind == 1) {
        plan.on(kFourthOutput).flush();
        plan.pulse(PulseTimer::ClearNGAlarm, ms(p.output4Pulse));
    }
    return plan;
}

OutputPlan multiNgOutputs(const WizardPara& p, int stepCount, int seqStep) {
    OutputPlan plan;
    const int output = stepOutput(seqStep, stepCount);
    if (ownerCutMode(p, seqStep) == kNgCutSelf && output >= 0) plan.on(output).flush();
    return plan;
}

OutputPlan pulseEndOutputs(const WizardPara& p, PulseTimer timer, bool stopped) {
    OutputPlan plan;
    switch (timer) {
        case PulseTimer::OutNG:
            if (!p.noEjectorCtrlProd) plan.off(kEjectorOutput);
            for (int g = 0; g < kNgGroups; ++g) plan.off(kFirstNgOutput + g);
            plan.flush();
            break;
        case PulseTimer::NotAllowClose:
            if (p.okNgPulse)
                plan.off(kClampOutput).off(kEjectorOutput).off(kAlarmOutput);
            else if (p.clampPulseOnMoldNG)
                plan.off(kClampOutput).off(kAlarmOutput);
            else if (!stopped)
                plan.on(kClampOutput);
            plan.flush();
            break;
        case PulseTimer::NotAllowThimble:
            if (p.okNgPulse)
                plan.off(kClampOutput).off(kEjectorOutput);
            else if (!stopped)
                plan.on(kEjectorOutput);
            plan.flush();
            break;
        case PulseTimer::SysFunc4Output:
        case PulseTimer::ClearNGAlarm:
            break;
    }
    return plan;
}

OutputPlan startDetectOutputs(const WizardPara& p) {
    OutputPlan plan;
    for (int n = 0; n < kOutputCount; ++n) plan.off(n);
    if (p.cutEjectorWhenClamp) plan.on(kEjectorOutput);
    return plan.flush();
}

OutputPlan stopDetectOutputs(const WizardPara& p) {
    OutputPlan plan;
    for (int n = 0; n < kOutputCount; ++n) plan.off(n);
    if (p.stopClampOnStop == 1) plan.on(kClampOutput);
    return plan.flush();
}

OutputPlan reCheckOutputs(const WizardPara& p, int kind, bool isLast, int retryLeft) {
    OutputPlan plan;
    if (!isLast) {
        if (kind == 0 && !p.noEjectorCtrlProd && !p.ejectorPulseOnProdNG) plan.on(kEjectorOutput);
    } else if (p.preCutTime == 0 || retryLeft == 0) {
        plan.on(kClampOutput);
    }
    return plan.flush();
}

OutputPlan liftAlarmOutputs(const WizardPara& p, int kind) {
    OutputPlan plan;
    if (isMultiMode(p.detectMode))
        plan.off(kAlarmOutput).flush();
    else if (kind == 0)
        plan.off(kAlarmOutput).off(kEjectorOutput).flush();
    return plan;
}

OutputPlan manualDuringAlarmOutputs(const WizardPara& p, int position) {
    OutputPlan plan;
    if (position == 1 && !p.clampPulseOnMoldNG) plan.on(kClampOutput);
    if (position == 0 && !p.noEjectorCtrlProd && !p.ejectorPulseOnProdNG) plan.on(kEjectorOutput);
    return plan.flush();
}

}  // namespace detection
