#include "delaycountdown.h"

#include "detectionlimits.h"

namespace detection {

DelayTick tickDelay(float& secondsLeft, bool lastPosition, int preCutTime, bool okNgPulse) {
    DelayTick t;
    if (lastPosition && preCutTime >= kPreCutMin && preCutTime <= kPreCutMax && !okNgPulse &&
        preCutTime + kPreCutAllowance >= 10.0f * secondsLeft)
        t.preCut = true;
    if (secondsLeft > kRunThresholdSeconds)
        secondsLeft -= kTickSeconds;
    else
        t.run = true;
    return t;
}

float delaySeconds(int tenths) {
    return tenths > 0 ? tenths / 10.0f : 0.0f;
}

}  // namespace detection
