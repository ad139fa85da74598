#pragma once
// The output options of the result decision as plans: ordered lists of output switches,
// flushes and pulse timers, computed from the system parameters and the step's result. The
// controller applies a plan to the IO board facade and the window's timers; tests compare
// plans or the output word a plan leaves.
//
// Output bits: 0 clamp interlock, 1 ejector interlock (on = permission withheld), 2 alarm,
// 3 fourth output, 4..7 NG group outputs (modes 0..2) or step outputs (mode 3).

#include <QtGlobal>
#include <initializer_list>
#include <vector>

class WizardPara;

namespace detection {

// Timers whose expiry ends a pulse (their slots are the OutTimer* slots of the window).
enum class PulseTimer { OutNG, NotAllowClose, NotAllowThimble, SysFunc4Output, ClearNGAlarm };

struct OutputOp {
    enum Kind { Set, Flush, Pulse };
    Kind kind = Set;
    int a = 0;  // Set: output bit; Pulse: PulseTimer
    int b = 0;  // Set: 1 on / 0 off; Pulse: milliseconds
    bool operator==(const OutputOp& o) const { return kind == o.kind && a == o.a && b == o.b; }
};

class OutputPlan {
public:
    OutputPlan& on(int output) { return set(output, 1); }
    OutputPlan& off(int output) { return set(output, 0); }
    OutputPlan& set(int output, int level);
    OutputPlan& flush();
    OutputPlan& pulse(PulseTimer timer, int ms);
    OutputPlan& append(const OutputPlan& other);

    const std::vector<OutputOp>& ops() const { return ops_; }
    bool empty() const { return ops_.empty(); }
    bool flushes() const;
    // The milliseconds of the last start of a timer in the plan, -1 when it is not started.
    int pulseMs(PulseTimer timer) const;
    // The level a plan sets for an output last: 1, 0, or -1 untouched.
    int levelOf(int output) const;
    bool operator==(const OutputPlan& o) const { return ops_ == o.ops_; }

private:
    std::vector<OutputOp> ops_;
};

// How an NG is answered (modes 0..2 unless stated).
enum class NgAnswer {
    Alarm,         // alarm raised (or retried while a retry is left)
    ProductPulse,  // product step with ejectorPulseOnProdNG: NG groups and ejector pulsed
    MouldPulse,    // mould step with clampPulseOnMoldNG: clamp and alarm pulsed
    OkNgPulse,     // okNgPulse: NG pulse on outputs 0 and 2
};
NgAnswer ngAnswer(const WizardPara& p, int kind);
// Whether an NG of this kind raises no alarm (its answer is a pulse).
bool ngIsPulse(const WizardPara& p, int kind);

// A new cycle's outputs (modes 0..2, not with okNgPulse). productPending: the product step
// has cameras to inspect in this cycle.
OutputPlan cycleStartOutputs(const WizardPara& p, int input, bool productPending);
// The mould step armed by its second signal.
OutputPlan mouldArmOutputs(const WizardPara& p);

// Outputs switched at once when one camera failed its step (before the decision). retryLeft
// is the retries left for the step's kind.
OutputPlan failedCameraOutputs(const WizardPara& p, int kind, int retryLeft);

// OK of a step in modes 0..2 (interlocks released by kind, or the OK pulse of okNgPulse).
// reTrain: a retraining of all steps is pending (the clamp stays withheld).
OutputPlan okOutputs(const WizardPara& p, int kind, bool reTrain);
// OK of the mould step: the ejector is withheld again when it is cut while clamping.
OutputPlan mouldOkEjectorOutputs(const WizardPara& p);
// The timed release after an OK (cutClampAfterMoldOK, cutEjectorAfterProdOK).
OutputPlan okPulseOutputs(const WizardPara& p, int kind);

// Mode 3 OK of position seqStep: its step output off; with a delaying cut mode the output is
// switched on again after the clamp pulse (delayedOutput, -1 none).
struct MultiOkOutputs {
    OutputPlan plan;
    int delayedOutput = -1;
};
MultiOkOutputs multiOkOutputs(const WizardPara& p, int stepCount, int seqStep);

// NG answers: pulses (ngGroups: the NG group outputs hit in this cycle), the okNgPulse NG
// pulse, and the alarm's own switches (safety-door start, timed release).
OutputPlan productPulseOutputs(const WizardPara& p, const quint8 (&ngGroups)[4]);
OutputPlan mouldPulseOutputs(const WizardPara& p);
OutputPlan okNgPulseNgOutputs(const WizardPara& p);
OutputPlan alarmOutputs(const WizardPara& p, int kind, bool doorStarted);
// Mode 3 NG with the owner's cut mode "NG cut self": the step output on.
OutputPlan multiNgOutputs(const WizardPara& p, int stepCount, int seqStep);

// The end of a pulse. stopped: detection is stopped (interlocks are then left alone).
OutputPlan pulseEndOutputs(const WizardPara& p, PulseTimer timer, bool stopped);

// Start and stop of detection.
OutputPlan startDetectOutputs(const WizardPara& p);
OutputPlan stopDetectOutputs(const WizardPara& p);

// A retry of the step kind `kind`; isLast: it is the cycle's last kind.
OutputPlan reCheckOutputs(const WizardPara& p, int kind, bool isLast, int retryLeft);

// Lifting a shown alarm by an OK of `kind` in modes 0..2 (mode 3: alarm output only).
OutputPlan liftAlarmOutputs(const WizardPara& p, int kind);

// Manual step p while an alarm is shown (modes 0..2, not okNgPulse).
OutputPlan manualDuringAlarmOutputs(const WizardPara& p, int position);

}  // namespace detection
