#pragma once
// Every number the detection cycle and the result decision depend on, in one place.

namespace detection {

// --- detection pass ---
constexpr int kRunPeriodMs = 100;         // the pass re-arms itself this long after it ends
constexpr int kCameraLostRetryMs = 1000;  // passes while a camera is lost
constexpr int kWhiteBalancePass = 50;     // pass on which colour cameras balance once
constexpr int kTickMs = 100;              // one step of a delay countdown
constexpr int kTenthMs = 100;             // parameter times are tenths of a second
constexpr int kSecondMs = 1000;
// A camera back from a loss sends its first frame in free run, or the frame of an opening after
// its return with the external trigger, within a few frame periods once the reconnect has
// restarted its acquisition (a few frames a second at the slowest): a step that waited this
// long after the later of the return and its own start is failed, its frame lost with the link.
constexpr int kReturnedFrameWaitMs = 1000;

// --- delay countdown (seconds) ---
constexpr float kTickSeconds = 0.1f;
// A delay with no more than this left runs at the next tick (absorbs float rounding).
constexpr float kRunThresholdSeconds = 0.11f;
// Pre-cut times are 1..99 tenths; compared with a small allowance.
constexpr int kPreCutMin = 1;
constexpr int kPreCutMax = 99;
constexpr float kPreCutAllowance = 0.01f;

// --- result display ---
constexpr int kOkShownMs = 2000;     // the OK result stays on screen this long
constexpr int kAlarmBlinkMs = 1000;  // blink period of a failing camera view
constexpr int kRecentNgFrames = 10;  // ring of recent NG frames per step

// --- layout ---
constexpr int kMaxCameras = 8;
constexpr int kMaxSteps = 8;
constexpr int kInputs = 8;    // inputs examined by every pass
constexpr int kNgGroups = 4;  // NG group outputs 4..7
constexpr int kFirstNgOutput = 4;
constexpr int kNoInput = -1;
constexpr int kNoStep = -1;

// --- outputs (bit numbers) ---
constexpr int kClampOutput = 0;    // on withholds closing the mould
constexpr int kEjectorOutput = 1;  // on withholds ejecting
constexpr int kAlarmOutput = 2;
constexpr int kFourthOutput = 3;
constexpr int kOutputCount = 9;

// --- inputs (bit numbers) ---
constexpr int kOpenInput = 0;
constexpr int kDoorInput = 1;
constexpr int kSecondSignalInput = 2;
constexpr int kRightInput = 3;

// --- detection state words ---
constexpr int kDetectRunning = 1;
constexpr int kDetectStopped = 3;
constexpr int kResultWaiting = 0;
constexpr int kResultOkShown = 1;
constexpr int kResultAlarm = 2;
constexpr int kResultAreaSetting = 3;
constexpr int kCycleDetecting = 1;
constexpr int kCycleDetected = 2;
constexpr int kCycleWaiting = 3;

// --- how a step was started ---
constexpr int kTrigInput = 0;
constexpr int kTrigRetrain = 1;
constexpr int kTrigManual = 2;

// --- sides of modes 1 and 2 ---
constexpr int kSideRight = 0;
constexpr int kSideLeft = 1;

// --- language entries ---
constexpr int kEntryCameraUnavailable = 39;
constexpr int kEntryNoCameraDetects = 103;
constexpr int kEntryStopDetection = 127;
constexpr int kEntryStopQuestion = 140;
constexpr int kEntryStoppedManually = 141;
constexpr int kEntryStartedManually = 142;
constexpr int kEntryCameraPrefix = 151;
constexpr int kEntryAlarm = 152;
constexpr int kEntryStartDetection = 136;
constexpr int kEntryNoInput = 335;
constexpr int kEntryCameraReconnected = 656;
constexpr int kEntryStepWaitsForCamera = 676;
constexpr int kEntryFrameLostWithLink = 677;
constexpr int kEntryFrameNotDelivered = 690;
constexpr int kEntryReCheckWaitsForCamera = 691;

// --- LEDs ---
constexpr int kLedDetecting = 4;
constexpr int kLedResultOk = 6;
constexpr int kLedResultNg = 7;

}  // namespace detection
