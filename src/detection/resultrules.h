#pragma once
// Rules of the result decision that are not outputs: counting a step's result once per step
// kind and cycle, and the fail-image hand-over states of one camera and step.

#include <QtGlobal>

namespace detection {

// --- counting ---

// The production counters one decision advances (the process globals in production).
struct CounterSet {
    int* allNum = nullptr;            // [cameras] evaluated steps
    int* failNum = nullptr;           // [cameras] failed steps
    int* allCycleNum = nullptr;       // [cameras] cycles
    int* failCycleNum = nullptr;      // [cameras] failed cycles
    int* syncNGNum = nullptr;         // steps in which any camera failed
    int* syncNGCycleNum = nullptr;    // cycles in which any camera failed
    const quint32* resets = nullptr;  // resets of allCycleNum and failCycleNum so far
    static CounterSet globals();
};

// Per-cycle memory of the counting (cleared at every cycle start).
struct CountMemory {
    quint8* stepCounted = nullptr;   // [kinds] the kind was counted in this cycle
    quint8* camCycleNG = nullptr;    // [cameras] some step of the cycle failed
    quint8* cycleCounted = nullptr;  // the cycle's last kind was counted (the cycle counters)
    quint32* cycleResets = nullptr;  // the counters' resets when they took the cycle
};

enum class CountResult {
    NotCounted,    // the kind was counted already in this cycle
    StepCounted,   // step counters advanced
    CycleCounted,  // step and cycle counters advanced (the cycle's last kind, or a kind
                   // judged after it in the same cycle); save them
};

// Counts a step's result, failed[c] for cameras 0..cameras-1, unless its kind was counted in
// this cycle already. A kind judged after the cycle's last one (semi-automatic: the product
// step after the mould step) still fails the cycle it belongs to, once per camera, while the
// cycle counters hold that cycle (no reset since).
CountResult countStep(const CounterSet& counters, const CountMemory& memory, const bool* failed,
                      int cameras, int kind, bool lastKind);

// --- fail images ---

// alarmClearState values.
enum FailImageState {
    kFailIdle = 0,
    kFailAwaiting = 1,   // awaiting inspection in this cycle
    kFailOkDue = 2,      // OK picture rendered, to be written
    kFailAlarmOpen = 3,  // NG alarm open
    kFailDontDetect = 4,
    kFailAddAsTemplate = 5,
    kFailRedetectMould = 6,
    kFailRedetected = 7,
    kFailRedetectedOk = 8,
    kFailNgDue = 9,
    kFailBothDue = 10,
};

enum class FailImageAction {
    None,
    SaveOk,          // SaveFailImage(d, 1)
    SaveNg,          // SaveFailImage(d, 0)
    ReportHandling,  // addClearMethod(c, state) and UpdateFailImage(d, 0)
    RedetectPassed,  // UpdateFailImage(d, 0), SaveFailImage(d, 1), UpdateFailImage(d, 1)
};

struct FailImageStep {
    int state = kFailIdle;
    FailImageAction action = FailImageAction::None;
};

// One camera's fail-image state after a decision. retryLeft: the NG will be retried;
// ngWithoutAlarm: the NG was answered by a pulse (or okNgPulse), so its picture is due at once.
FailImageStep failImageStep(int state, bool passed, bool retryLeft, int picNumOK, int picNumNG,
                            bool ngWithoutAlarm);

// What the hand-over to the saver marks for a state: the NG and the OK picture.
struct HandOverMarks {
    bool ng = false;
    bool ok = false;
    bool any() const { return ng || ok; }
};
HandOverMarks handOverMarks(int state);

}  // namespace detection
