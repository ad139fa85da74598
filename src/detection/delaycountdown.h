#pragma once
// One 100 ms tick of a step's delay countdown. A delay of d tenths of a second is held as
// d / 10 seconds and runs the step on the d-th tick; the last position may withhold the clamp
// early by the pre-cut time.

namespace detection {

struct DelayTick {
    bool preCut = false;  // switch the clamp interlock on now
    bool run = false;     // the delay is over: run the step
};

// Advances `secondsLeft` by one tick. lastPosition: the position ends the cycle; preCutTime
// in tenths (1..99 active); okNgPulse: outputs are OK/NG pulses (no pre-cut).
DelayTick tickDelay(float& secondsLeft, bool lastPosition, int preCutTime, bool okNgPulse);

// Seconds a delay of `tenths` is counted down from.
float delaySeconds(int tenths);

}  // namespace detection
