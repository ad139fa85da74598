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
#include "pendingstep.h"

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
    void runAlgorithm(int camera, int position) {
        judgeCamera(camera, position, FrameMissing::None);
    }
    // False when it did not run: a camera has no frame since its loss yet, the retry waits.
    // Where no such frame is to come (see PendingStep::look) the retry fails for the camera,
    // finally.
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
    // The decision of the roads outside the cycle (the editing page, the answers to an alarm):
    // one held for a camera without a new frame says on the box which picture it waits for.
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
        quint32 cameras = 0;       // the cameras whose frame was inspected
        quint32 lost = 0;          // the cameras failed for the frame that went with their link
        quint32 notDelivered = 0;  // the cameras failed for sending none since their return
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
    // External trigger: an opening is told twice, by the mould-open edge and by a picture of
    // every camera (their trigger lines are wired to the same signal), in either order and a
    // few tens of milliseconds apart. The first to come starts the opening; the other is its
    // own and starts nothing. A step of an opening its edge started waits for the pictures.
    void takeOpening();
    // The edge on input is the one an opening started by its pictures still owed: spent.
    bool absorbOpeningEdge(int input);
    // The pictures owed to the opening its edge started did not come in time.
    bool picturesOverdue() const;
    // The position's step is due and waits for its opening's pictures only.
    void awaitPictures(int position);
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
    // judgeCamera calls that take the results in camera order; not when a camera fails the
    // step uninspected (failing).
    void inspectAhead(int position, quint32 failing);
    // runAlgorithm on a road that decided already that the camera fails uninspected (missing).
    void judgeCamera(int camera, int position, FrameMissing missing);
    bool allCamerasOK() const;
    // The camera's frame came over its link as it is now (none of before a loss).
    bool frameCurrent(int camera) const;
    // The cameras whose frame is not.
    quint32 staleFrames() const;
    CameraLinks cameraLinks() const;
    qint64 nowMs() const;
    // Looks at the cameras for the pending step (PendingStep::look).
    PendingStep::Verdict look(PendingStep& pending) const;
    // A failed try with a retry left: the next pass judges the step again, for its trigger.
    void startRetry();
    void endRetry();
    // The position's step is due but a camera is lost or has sent no frame since it came
    // back (lacking): the step waits on its countdown timer with the clamp withheld.
    void waitForCameras(int position, quint32 lacking);
    // The camera fails the step, uninspected, for the reason given.
    void failMissingFrame(int camera, int step, int kind, FrameMissing why);
    // The warning box tells of a step that waits for a camera while one does, and only then.
    void refreshWaitNotice();
    // "1, 3": the numbers of the cameras in the mask.
    QString cameraNumbers(quint32 mask) const;
    void withholdClamp();
    // The loss on the loss box or the warning box, in place of the notice that the cameras
    // were back; once for each loss, until the cameras return.
    void tellCameraLost();
    void beginJudgement(quint64 trigger);
    // Takes the decision of the judgement being taken; true when it was held for cameras
    // left uninspected for an old frame.
    bool decide(bool isClearNG);
    // The step's decision is not taken: a camera was not inspected for an old frame.
    void holdDecision(quint32 unjudged);
    // The box tells which cameras' new pictures a held decision waits for (none: withdrawn).
    void tellHold(quint32 cameras);

    // decision helpers
    // taken: the judgement decided, with the cameras it failed uninspected and why.
    void logResult(const bool* failed, bool anyNG, bool retryPending, const Judgement& taken) const;
    void okPath(int kind, bool alarmWasShown);
    bool ngPath(int kind, bool retryPending, const Judgement& taken);
    void raiseAlarm(int kind, const bool* failed, const Judgement& taken);
    void showResult(bool ngLeds);
    void failImages(const bool* failed, bool retryPending, bool ngWithoutAlarm,
                    quint32 uninspected);
    void handOver();

    CycleHost& host_;
    CycleState& s_;
    int passCount_ = 0;  // tR: passes since start or since the last camera recovery
    // Cameras holding a frame that neither a step judged nor an alarm stood over (external
    // trigger): a frame of every camera starts a cycle.
    quint32 unjudgedFrames_ = 0;
    bool edgeOwed_ = false;     // the pictures started the opening, its edge is to come
    quint32 picturesOwed_ = 0;  // the edge started it, these cameras' pictures are to come
    qint64 picturesOwedSinceMs_ = 0;
    int lastDelay_ = 0;  // delay of the position started last, tenths
    bool parallel_ = true;
    bool lossTold_ = false;  // the loss that lasts was put before the operator
    // A camera inspected the step since the last decision: that decision writes the result
    // line, whatever road judged it (the cycle, the door, the editing page's answers).
    bool judgedSinceDecision_ = false;
    quint32 alarmSerial_ = 0;
    quint32 judgementSerial_ = 0;
    quint32 countAlarmSerial_ = 0;
    OutputPlan ngAlarmHold_;  // what the NG alarm raised last holds while it stands
    std::unique_ptr<ParallelInspection> inspection_;
    PendingStep steps_[kMaxSteps];  // each position's step from its trigger to its judgement
    PendingStep retry_;             // the retry of the failed try, while reCheckPending
    CameraReturns returns_;
    // The judgement being taken, from the road's trigger (or the first camera the editing
    // page's re-check inspects) to the decision.
    struct Taking {
        bool open = false;
        Judgement judgement;
        quint32 unjudged = 0;  // cameras left uninspected for an old frame
    };
    Taking taking_;
    Judgement lastJudgement_;
    QString waitNotice_;  // the wait's warning on the box; empty: none
    QString holdNotice_;  // the held decision's; empty: none
    quint32 holdCameras_ = 0;
};

}  // namespace detection
