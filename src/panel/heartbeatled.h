#pragma once
// The heartbeat LED: it blinks once a second while detection runs and stays lit while it is
// stopped, so a glance at the panel tells a stopped program from a running one.

namespace panel {

class HeartbeatLed {
public:
    // The LED state for this tick.
    int tick(bool detecting) {
        if (!detecting) return 1;
        lit_ = !lit_;
        return lit_ ? 1 : 0;
    }

private:
    bool lit_ = true;  // the first tick of a run switches it off
};

}  // namespace panel
