#include "touchsupervisor.h"

#include "panellimits.h"

namespace panel {

TouchSupervisor::TouchSupervisor(TouchHost& host) : host_(host), created_(host.timeStamp()) {}

bool TouchSupervisor::press() {
    const qint64 now = host_.nowMs();
    // Only a press just after the last one is its copy: after the clock was set back (by the
    // operator or the platform's time service) every press would otherwise be one, and a dark
    // screen could not be woken until the clock had caught up.
    const qint64 since = now - lastPressMs_;
    if (since >= 0 && since <= kDuplicatePressMs) return false;
    lastPressMs_ = now;

    if (host_.simulatedCameras() && !host_.holdTimerActive() && !armed_) {
        ++countedPresses_;
        if (!firstPressSeen_) {
            // The press that started the panel's first use after start-up: noted only.
            firstPress_ = host_.timeStamp();
            firstPressSeen_ = true;
            return false;
        }
        host_.startHoldTimer(kCalibrationHoldMs);
    }

    if (!host_.windowExists()) return false;
    if (const int s = host_.autoLogoutSeconds(); s > 0) host_.restartLogoutTimer(s * 1000);
    if (const int s = host_.screenOffSeconds(); s > 0) host_.restartScreenOffTimer(s * 1000);
    if (!host_.screenOff()) return false;
    host_.switchBacklightOn();
    return true;
}

void TouchSupervisor::release() {
    if (!armed_) {
        if (host_.holdTimerActive()) host_.stopHoldTimer();
        return;
    }
    const QString calibrated = host_.timeStamp();
    host_.log(QStringLiteral("ts_calibrate: create/press/release,times \"%1\" \"%2\" \"%3\" %4")
                  .arg(created_, firstPress_, calibrated)
                  .arg(countedPresses_));
    host_.runCalibrator();
    host_.log(QStringLiteral("isTs Timeout ./tsc running"));
    if (host_.windowExists()) {
        host_.rebootAfterCalibration();
        armed_ = false;
    }
}

void TouchSupervisor::holdElapsed() {
    host_.stopHoldTimer();
    if (!host_.windowExists() || !host_.simulatedCameras()) return;
    armed_ = true;
    host_.showCalibrationMessage();
}

void TouchSupervisor::stopHold() {
    host_.stopHoldTimer();
}

TouchSupervisor::Calibration TouchSupervisor::calibration() const {
    if (armed_) return Calibration::Armed;
    return host_.holdTimerActive() ? Calibration::Holding : Calibration::Idle;
}

}  // namespace panel
