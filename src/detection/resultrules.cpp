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
    return c;
}

CountResult countStep(const CounterSet& counters, const CountMemory& memory, const bool* failed,
                      int cameras, int kind, bool lastKind) {
    if (kind < 0 || memory.stepCounted[kind]) return CountResult::NotCounted;
    memory.stepCounted[kind] = 1;
    bool anyNG = false;
    for (int c = 0; c < cameras; ++c) {
        ++counters.allNum[c];
        if (failed[c]) {
            ++counters.failNum[c];
            memory.camCycleNG[c] = 1;
            anyNG = true;
        }
    }
    if (anyNG) ++*counters.syncNGNum;
    if (!lastKind) return CountResult::StepCounted;

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
