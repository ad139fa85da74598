#pragma once
// Times and names of the panel's touch handling and operator commands.

namespace panel {

// Copies of one physical press that reach the application within this many milliseconds of
// the first are the same touch: only the first restarts the timers or wakes the screen.
constexpr int kDuplicatePressMs = 10;
// A finger held this long on a panel with simulated cameras arms the touch calibration.
constexpr int kCalibrationHoldMs = 5000;
// The touch-screen calibration program of the panel, run in the working directory.
constexpr const char* kCalibratorProgram = "./tsc";
// Wait after the calibrator before the databases are closed for the reboot.
constexpr int kCalibrationRebootWaitMs = 500;
// Wait after closing the databases, so SQLite files are complete before a reboot or power-off.
constexpr int kFlushSettleMs = 500;
// Heartbeat of the window (LED 5 and the repaint).
constexpr int kHeartbeatMs = 1000;
// The LED that shows the program is alive.
constexpr int kHeartbeatLed = 5;
// Magnification range of the zoom slider.
constexpr float kZoomMinScale = 1.0f;
constexpr float kZoomMaxScale = 5.0f;

}  // namespace panel
