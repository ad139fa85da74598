#include "resultrules.h"

#include "globals.h"

namespace detection {

CounterSet CounterSet::globals() {
    CounterSet c;
    c.allNum = gAllNum;
    c.failNum = gFailNum;
    c.allCycleNum = gAllCycleNum;
    c.failCycleNum = gFailCycleNum;
    c.syncNGNum = &gSyncNGNum;
    c.syncNGCycleNum = &gSyncNGCycleNum;
    c.resets = &gCycleCountResets;
    return c;
}

CountResult countStep(const CounterSet& counters, const CountMemory& memory, const bool* failed,
                      int cameras, int kind, bool lastKind) {
    if (kind < 0 || memory.stepCounted[kind]) return CountResult::NotCounted;
    memory.stepCounted[kind] = 1;
    // The cycle counters already took this cycle when its last kind was judged first: a failure
    // judged now is added to them, or the cycle would read as passed.
    const bool cycleCounted = !lastKind && memory.cycleCounted && *memory.cycleCounted;
    // A reset since then started each camera's cycles again: they no longer hold that cycle, and
    // only the cycles in which any camera failed, which the reset keeps, take its failure.
    const quint32 resets = counters.resets ? *counters.resets : 0;
    const bool cycleHeld = cycleCounted && (memory.cycleResets ? *memory.cycleResets : 0) == resets;
    bool cycleWasNG = false;
    for (int c = 0; c < cameras; ++c) cycleWasNG = cycleWasNG || memory.camCycleNG[c];
    bool anyNG = false;
    for (int c = 0; c < cameras; ++c) {
        ++counters.allNum[c];
        if (failed[c]) {
            ++counters.failNum[c];
            if (cycleHeld && !memory.camCycleNG[c]) ++counters.failCycleNum[c];
            memory.camCycleNG[c] = 1;
            anyNG = true;
        }
    }
    if (anyNG) ++*counters.syncNGNum;
    if (cycleCounted) {
        // No later step of the cycle saves what this one counted, passed or not.
        if (anyNG && !cycleWasNG) ++*counters.syncNGCycleNum;
        return CountResult::CycleCounted;
    }
    if (!lastKind) return CountResult::StepCounted;

    if (memory.cycleCounted) *memory.cycleCounted = 1;
    if (memory.cycleResets) *memory.cycleResets = resets;
    bool cycleNG = false;
    for (int c = 0; c < cameras; ++c) {
        ++counters.allCycleNum[c];
        if (memory.camCycleNG[c]) {
            ++counters.failCycleNum[c];
            cycleNG = true;
        }
    }
    if (cycleNG) ++*counters.syncNGCycleNum;
    return CountResult::CycleCounted;
}

FailImageStep failImageStep(int state, bool passed, bool retryLeft, int picNumOK, int picNumNG,
                            bool ngWithoutAlarm) {
    FailImageStep r{state, FailImageAction::None};
    switch (state) {
        case kFailAwaiting:
            if (passed) {
                if (picNumOK > 0)
                    r = {kFailOkDue, FailImageAction::SaveOk};
                else
                    r.state = kFailIdle;
            } else if (picNumNG == 0) {
                r.state = kFailIdle;
            } else if (!retryLeft) {
                r = {ngWithoutAlarm ? kFailNgDue : kFailAlarmOpen, FailImageAction::SaveNg};
            }
            break;
        case kFailDontDetect:
        case kFailAddAsTemplate:
        case kFailRedetectMould:
            r.action = FailImageAction::ReportHandling;
            break;
        case kFailRedetected:
            if (passed)
                r.action = FailImageAction::RedetectPassed;
            else
                r.state = kFailAlarmOpen;
            break;
        default:
            break;
    }
    return r;
}

HandOverMarks handOverMarks(int state) {
    HandOverMarks m;
    m.ok = state == kFailOkDue || state == kFailBothDue;
    m.ng = state == kFailNgDue || state == kFailBothDue;
    return m;
}

}  // namespace detection
