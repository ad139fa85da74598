#pragma once
// The detection cycle and the result decision: turns input edges into started steps, counts
// their delays down in 100 ms ticks, runs every camera's inspection, decides OK or NG, drives
// the outputs and their pulses, retries, raises and lifts the alarm, counts and hands the fail
// pictures over. It works on the window's cycle state, the IO board facade (gpControlIO) and
// the live parameters (gpWPara); everything else goes through the host. GUI thread only.

#include <QString>
#include <QtGlobal>
#include <memory>

#include "camerastation.h"
#include "cyclestate.h"
#include "outputplan.h"

class ControlPort;
class WizardPara;

namespace detection {

class CycleHost;
class ParallelInspection;

class DetectionController {
public:
    DetectionController(CycleHost& host, CycleState& state);
    ~DetectionController();
    DetectionController(const DetectionController&) = delete;
    DetectionController& operator=(const DetectionController&) = delete;

    // --- the detection pass (DeRaRazovi::Run and its helpers) ---
    void run();
    void timerUp(int position);
    // A camera whose frame was taken before its link was last lost is not inspected: it counts
    // as not passed and holds the decision of the step (checkNG).
    void runAlgorithm(int camera, int position);
    // False when it did not run: a camera has no frame since its loss yet, the retry waits.
    // Where no such frame is to come (external trigger, or none within kReturnedFrameWaitMs
    // of the return) the retry fails for the camera, finally.
    bool reCheck();
    // Debounce check of input i: latches it when its active level is still present.
    bool checkInput(int input);
    // 1 when every camera's link is alive (also with no camera).
    int cameraCheck();
    // A camera reported its loss.
    void lostCamera();
    // The cameras of a step are inspected at the same time (the default), or one after the
    // other; the results and records are the same.
    void setParallelInspection(bool on) { parallel_ = on; }

    // --- the result decision ---
    void checkNG(bool isClearNG);
    void startDetect();
    void stopDetect();
    void setStopDetect();
    void resetRun();
    void startStop();  // the tool bar's start/stop button
    void clearNGAlarm();
    void backTrain();
    void inCheck();    // no cycle start for the input time-out
    void timerShow();  // end of the OK display
    void pulseEnded(PulseTimer timer);
    void delayedOutputDue();
    void reserveOutputEnded();
    void delayOutput3Due();
    // The production-count alarm is released (the operator confirmed its box): the count and
    // the alarm's own hold end; a standing NG alarm keeps what it holds. Nothing without one.
    void releaseProductAlarm();
    // Counts every raise and release of the production-count alarm: the count box's confirm
    // acts only on the alarm it was shown for.
    quint32 countAlarmSerial() const { return countAlarmSerial_; }
    // Counts every NG alarm raised: an answer given after a modal question acts only while
    // the alarm it was asked about is the one shown.
    quint32 alarmSerial() const { return alarmSerial_; }
    // Counts every decision of a step. A re-check that judges a new frame and fails again
    // keeps the alarm and its serial, but the operator was asked about the frame before it.
    quint32 judgementSerial() const { return judgementSerial_; }

    // What the last decided step judged: the moment of its trigger (see nextMoment) and the
    // stamp of every inspected camera's frame; for checks that no step judges a frame from
    // before a loss of its camera.
    struct Judgement {
        quint32 serial = 0;  // judgementSerial() of its decision; 0: none yet
        int step = -1;
        quint64 trigger = 0;
        quint32 cameras = 0;  // the cameras whose frame was inspected
        quint32 lost = 0;     // the cameras failed for the frame that went with their link
        FrameStamp frames[kMaxCameras];
    };
    const Judgement& lastJudgement() const { return lastJudgement_; }

    // Retraining pending for the end of the OK display: all enabled steps / the mould step.
    bool reTrainAll = false;
    bool reShapeMould = false;

private:
    enum class Scan { Continue, EndScan, EndPass };

    const WizardPara& para() const;
    ControlPort& io() const;
    CameraStation* cam(int c) const;
    int cameras() const;
    bool stepEnabled(int step) const;
    void apply(const OutputPlan& plan);
    void setOutput(int output, int on);
    void flush();
    void endPass();
    void askAboutCountAlarm();
    void markCycleTimes();

    // pass helpers
    void acceptEdges(bool delayRunning);
    bool handleAlarmShown();
    void handleSafetyDoorTrigger();
    bool handleManualStep();
    Scan scanInput(int input);
    void startCycle(int input);
    void armMouldStep();
    Scan scanPositions(int input);
    Scan scanMulti(int input, bool cycleStarted);
    bool startPosition(int position, int delayTenths);
    void runNow(int position);
    // Inspects every camera's step of the position at the same time, ahead of the
    // runAlgorithm calls that take the results in camera order.
    void inspectAhead(int position);
    bool allCamerasOK() const;
    // The camera's frame came over its link as it is now (none of before a loss).
    bool frameCurrent(int camera) const;
    // The cameras whose frame is not.
    quint32 staleFrames() const;
    // What a due step, started at the moment `trigger` and waiting `waitedTicks` since, does
    // about the cameras without a frame of their link: waits for them, or fails for those
    // (`lost`) back without one where none is to come. With the external trigger, a camera
    // back after the step's trigger lost the frame of this opening with the old link and the
    // next comes with the next opening, which the withheld clamp prevents; otherwise the frame
    // is late kReturnedFrameWaitMs after the later of the return and the trigger.
    enum class Stale { None, Wait, Lost };
    Stale staleCameras(quint64 trigger, int waitedTicks, quint32* lost) const;
    // The position's step is due but a camera is lost or has sent no frame since it came
    // back: the step waits on its countdown timer with the clamp withheld.
    void waitForCameras(int position);
    // The camera fails the step, uninspected: its frame went with its link.
    void failLostFrame(int camera, int step, int kind);
    // The warning box tells of a step that waits for a camera while one does, and only then.
    void refreshWaitNotice();
    // "1, 3": the numbers of the cameras in the mask.
    QString cameraNumbers(quint32 mask) const;
    void withholdClamp();
    // The loss on the warning box, in place of the notice that the cameras were back.
    void tellCameraLost();
    void beginJudgement(quint64 trigger);
    // The step's decision is not taken: a camera was not inspected for an old frame.
    void holdDecision(quint32 unjudged);

    // decision helpers
    // lost: the failed cameras whose frame went with their link.
    void logResult(const bool* failed, bool anyNG, bool retryPending, quint32 lost) const;
    void okPath(int kind, bool alarmWasShown);
    bool ngPath(int kind, bool retryPending, quint32 lost);
    void raiseAlarm(int kind, const bool* failed, quint32 lost);
    void showResult(bool ngLeds);
    void failImages(const bool* failed, bool retryPending, bool ngWithoutAlarm, quint32 lostFrames);
    void handOver();

    CycleHost& host_;
    CycleState& s_;
    int passCount_ = 0;         // tR: passes since start or since the last camera recovery
    quint32 newFrameMask_ = 0;  // cameras that delivered a frame (external trigger)
    int lastDelay_ = 0;         // delay of the position started last, tenths
    bool parallel_ = true;
    // A camera inspected the step since the last decision: that decision writes the result
    // line, whatever road judged it (the cycle, the door, the editing page's answers).
    bool judgedSinceDecision_ = false;
    quint32 alarmSerial_ = 0;
    quint32 judgementSerial_ = 0;
    quint32 countAlarmSerial_ = 0;
    OutputPlan ngAlarmHold_;  // what the NG alarm raised last holds while it stands
    std::unique_ptr<ParallelInspection> inspection_;
    quint64 triggerMoment_[kMaxSteps] = {};  // when each position was started
    bool waiting_[kMaxSteps] = {};           // the position's step waits for its cameras
    QString waitNotice_;                     // the wait's warning on the box; empty: none
    // Passes since the camera came back without a frame of its returned link yet (0: not
    // back, or a frame came), and the moment a pass saw it back.
    int returnPasses_[kMaxCameras] = {};
    quint64 returnMoment_[kMaxCameras] = {};
    int waitTicks_[kMaxSteps] = {};  // ticks the position's step has waited for its cameras
    quint32 frameLost_ = 0;          // cameras the step being judged fails for a lost frame
    quint32 unjudged_ = 0;           // cameras runAlgorithm left uninspected for an old frame
    bool heldForCameras_ = false;    // checkNG held the last decision for them
    bool judging_ = false;
    Judgement judgement_;  // the one being taken
    Judgement lastJudgement_;
};

}  // namespace detection
