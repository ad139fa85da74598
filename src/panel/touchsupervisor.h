#pragma once
// What the application object does with every press and release before any widget sees it:
// a touch restarts the automatic logout and the screen-off time, a touch on a dark screen
// only switches the backlight on (the press is withheld from the widgets), and on a panel
// with simulated cameras a finger held for 5 s arms the touch-screen calibration, which runs
// when the finger is lifted and ends with a reboot.
//
// Calibration states: idle -> holding (hold timer running after a counted press) -> armed
// (the message is shown) -> the release runs the calibrator and asks for the reboot. A release
// while holding returns to idle; the very first counted press after start only notes its time.

#include <QString>
#include <QtGlobal>

namespace panel {

class TouchHost {
public:
    virtual ~TouchHost() = default;

    virtual qint64 nowMs() = 0;
    // The local time as the calibration log line shows it.
    virtual QString timeStamp() = 0;
    virtual bool simulatedCameras() = 0;
    // The main window exists (start-up is over).
    virtual bool windowExists() = 0;
    // Seconds of the two idle times, 0 when off or when no parameters are loaded yet.
    virtual int autoLogoutSeconds() = 0;
    virtual int screenOffSeconds() = 0;
    virtual void restartLogoutTimer(int ms) = 0;
    virtual void restartScreenOffTimer(int ms) = 0;
    virtual bool screenOff() = 0;
    virtual void switchBacklightOn() = 0;

    virtual void startHoldTimer(int ms) = 0;
    virtual void stopHoldTimer() = 0;
    virtual bool holdTimerActive() = 0;
    // "Release hand into TS calibration", shown without blocking.
    virtual void showCalibrationMessage() = 0;
    // Runs the calibration program and waits for it to end.
    virtual void runCalibrator() = 0;
    // Waits, closes the databases and asks for the reboot.
    virtual void rebootAfterCalibration() = 0;
    virtual void log(const QString& line) = 0;
};

class TouchSupervisor {
public:
    enum class Calibration { Idle, Holding, Armed };

    explicit TouchSupervisor(TouchHost& host);

    // A press reached the application; true when it is consumed (woke a dark screen).
    bool press();
    void release();
    // The hold timer ran out.
    void holdElapsed();
    // The network settings stop a running hold (their own long presses are no calibration).
    void stopHold();

    Calibration calibration() const;
    bool armed() const { return armed_; }
    // Presses counted towards calibration.
    int countedPresses() const { return countedPresses_; }

private:
    TouchHost& host_;
    QString created_;
    QString firstPress_;
    qint64 lastPressMs_ = 0;
    bool firstPressSeen_ = false;
    bool armed_ = false;
    int countedPresses_ = 0;
};

}  // namespace panel
