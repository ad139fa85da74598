#pragma once
// The state of the detection cycle and the result decision. The main window carries it as a
// base (its members keep their names: DeRaRazovi::curDetect, DeRaRazovi::detectPending, ...),
// so the editing page and the remote services read it where they always did; the detection
// controller works on it by reference.

#include <QtGlobal>

#include "detectionlimits.h"

namespace detection {

struct CycleState {
    int detectState = kDetectRunning;  // 1 running, 3 stopped
    int resultState = kResultWaiting;  // 0 waiting, 1 last OK, 2 NG alarm shown, 3 area setting
    int cycleState = kCycleWaiting;    // 1 detecting, 2 detected, 3 waiting
    int curDetect = 0;                 // step being run or last run
    int shownDetect = 0;               // step whose OK result is on screen
    int curSide = 0;                   // modes 1/2: 1 left (steps 0/1), 0 right (steps 2/3)
    int saveAllImages = 0;             // every inspected frame is saved as a bitmap
    int alarmCleared = 0;
    bool lastCycleNG = false;
    int productAlarm = 0;               // production-count alarm raised
    int okMoldCount = 0;                // mould OKs counted against WizardPara::moldOKNum
    bool camerasOkShown = true;         // the cameras answered at the last pass
    bool noInputShown = false;          // the no-input warning is on screen
    int forcedStep = kNoStep;           // mode 0: position the next scan starts whatever its line
    int forcedInput = kNoInput;         // an input the step scan treats as latched
    int resumeInput = kNoInput;         // a second such input, set by the result decision
    int manualStep = 0;                 // step asked for by hand; gDNum = none
    int seqStep = 0;                    // mode 3: current position
    int shieldCount = 0;                // input-2 edges counted against WizardPara::shieldPin
    int trigKind = kTrigInput;          // 0 input, 1 retrain, 2 manual
    int safetyDoorTrig = 0;             // the running step was started by the safety door
    int reCheckPending = 0;             // the next pass re-detects instead of reading inputs
    int reCheckStep = kNoStep;          // the step it re-detects
    int detectPending[kMaxSteps] = {};  // camera bit masks still to inspect, by kind or step
    int camNewCycle[kMaxCameras] = {};
    int camAlarmArm[kMaxCameras] = {};
    int detectArmed[kMaxSteps] = {};
    int alarmClearState[kMaxCameras][kMaxSteps] = {};  // fail-image and alarm-handling states
    int retryLeft[kMaxSteps] = {};  // re-detections left, by kind (modes 0..2) or position
    int frameCount[kMaxCameras] = {};
    quint8 trigLatch[kInputs] = {};       // accepted edges waiting for the step scan
    quint8 ngOutFlags[kNgGroups] = {};    // NG groups hit in this cycle
    float trigDelayLeft[kMaxSteps] = {};  // seconds left of each position's delay
    // Times in tenths of a second since the epoch do not fit in 32 bits.
    qint64 cycleTime = 0;
    qint64 lastTrigTime = 0;
    quint8 stepCounted[kMaxSteps] = {};   // the kind's result was counted in this cycle
    quint8 camCycleNG[kMaxCameras] = {};  // some step of this cycle failed, per camera
    quint8 cycleCounted = 0;              // the cycle counters took this cycle
    quint32 cycleResets = 0;              // their resets so far when they took it
    // The kind's result went to the statistics in this cycle (a retry's final result may go
    // there after the counters took the failed try, so the counters' memory does not do).
    quint8 statisticsCounted[kMaxSteps] = {};
    int delayOutputArmed = 0;  // mode 3: a step output is switched on again after a pulse
    int delayOutputNo = -1;
};

}  // namespace detection
