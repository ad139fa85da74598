// The detection pass: inputs, cameras, triggers, the step scan of every detection mode, the
// delay countdown, one camera's step run and the retry.
#include <QDateTime>
#include <QDebug>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "camerastation.h"
#include "controlport.h"
#include "cyclehost.h"
#include "delaycountdown.h"
#include "detectioncontroller.h"
#include "globals.h"
#include "parallelinspection.h"
#include "steprules.h"
#include "systemactions.h"
#include "wizardpara.h"

namespace detection {

namespace {

quint32 bit(int c) {
    return 1u << c;
}

bool editingShowsLive() {
    return gSource == -1 || gSource == 1;
}

}  // namespace

DetectionController::DetectionController(CycleHost& host, CycleState& state)
    : host_(host), s_(state), inspection_(std::make_unique<ParallelInspection>()) {}

DetectionController::~DetectionController() = default;

const WizardPara& DetectionController::para() const {
    return *gpWPara;
}

ControlPort& DetectionController::io() const {
    return *gpControlIO;
}

CameraStation* DetectionController::cam(int c) const {
    return host_.camera(c);
}

int DetectionController::cameras() const {
    return std::min(host_.cameraCount(), kMaxCameras);
}

bool DetectionController::stepEnabled(int step) const {
    return step >= 0 && step < kMaxSteps && para().detectEnable[step] != 0;
}

void DetectionController::setOutput(int output, int on) {
    // The count alarm holds the clamp and the alarm output until it is released: no answer to
    // another alarm, pulse, start or stop of the cycle lets them go while its box is up.
    if (!on && s_.productAlarm && (output == kClampOutput || output == kAlarmOutput)) return;
    io().IOSetOut(output, on);
}

void DetectionController::flush() {
    io().IOFlashOut();
}

void DetectionController::apply(const OutputPlan& plan) {
    for (const OutputOp& op : plan.ops()) {
        switch (op.kind) {
            case OutputOp::Set:
                setOutput(op.a, op.b);
                break;
            case OutputOp::Flush:
                flush();
                break;
            case OutputOp::Pulse: {
                int id = timers::OutNG;
                switch (static_cast<PulseTimer>(op.a)) {
                    case PulseTimer::OutNG:
                        id = timers::OutNG;
                        break;
                    case PulseTimer::NotAllowClose:
                        id = timers::NotAllowClose;
                        break;
                    case PulseTimer::NotAllowThimble:
                        id = timers::NotAllowThimble;
                        break;
                    case PulseTimer::SysFunc4Output:
                        id = timers::SysFunc4Output;
                        break;
                    case PulseTimer::ClearNGAlarm:
                        id = timers::ClearNGAlarm;
                        break;
                }
                host_.startTimer(id, op.b);
                break;
            }
        }
    }
}

void DetectionController::markCycleTimes() {
    const qint64 now = sys::actions().nowMSecsSinceEpoch() / kTenthMs;
    s_.cycleTime = now - s_.lastTrigTime;
    s_.lastTrigTime = now;
}

bool DetectionController::allCamerasOK() const {
    for (int c = 0; c < cameras(); ++c)
        if (cam(c) && !cam(c)->isOK()) return false;
    return true;
}

// --- the pass ------------------------------------------------------------------------

void DetectionController::run() {
    const WizardPara& p = para();
    const int mode = p.detectMode;

    if (++passCount_ == kWhiteBalancePass)
        for (int c = 0; c < cameras(); ++c)
            if (cam(c)) cam(c)->whiteBalance();

    bool delayRunning = false;
    for (int k = 0; k < gDNum && k < kMaxSteps; ++k)
        if (host_.timerActive(timers::delay(k))) delayRunning = true;
    if (delayRunning) s_.forcedInput = kNoInput;

    acceptEdges(delayRunning);

    for (int c = 0; c < cameras(); ++c) {
        // The picture a lost camera owed its opening went with its link.
        if (cam(c) && !cam(c)->isConnected()) picturesOwed_ &= ~bit(c);
        if (!cam(c) || !cam(c)->updateImage()) continue;
        ++s_.frameCount[c];
        const bool owed = (picturesOwed_ & bit(c)) && !picturesOverdue();
        picturesOwed_ &= ~bit(c);
        // The frames that come while an alarm stands belong to it and start nothing after
        // its answer, nor do those of an opening while detection is stopped once it runs
        // again; the picture of an opening its edge started belongs to that opening.
        if (p.sysUsage && s_.resultState != kResultAlarm && s_.detectState != kDetectStopped &&
            !owed)
            unjudgedFrames_ |= bit(c);
        else
            unjudgedFrames_ &= ~bit(c);
    }
    const qint64 now = nowMs();
    for (int c = 0; c < cameras(); ++c)
        returns_.see(c, cam(c) && cam(c)->isConnected() && !frameCurrent(c), now);

    if (!cameraCheck()) {
        // A lost camera blocks the cycle: the clamp stays withheld, the warning stays up and
        // the IO heartbeat is not refreshed, so the board polls stop until the camera returns.
        passCount_ = 0;
        setOutput(kClampOutput, 1);
        flush();
        tellCameraLost();
        host_.stopTimer(timers::InCheck);
        host_.startTimer(timers::Run, kCameraLostRetryMs);
        s_.camerasOkShown = false;
        refreshWaitNotice();
        // The latched edges stay: a mould that opened while a camera was away is still
        // inspected when it returns, which is what releases the clamp again.
        return;
    }
    if (!s_.camerasOkShown) {
        s_.camerasOkShown = true;
        lossTold_ = false;
        if (p.cameraLostOpt) host_.hideLostCameraBox();
        host_.hideWarning(lan(kEntryCameraUnavailable));
        host_.showWarning(lan(kEntryCameraReconnected));
        host_.insertRecord(lan(kEntryCameraReconnected));
    }

    if (s_.productAlarm) {
        askAboutCountAlarm();
        endPass();
        return;
    }

    if (s_.resultState == kResultAlarm) {
        handleAlarmShown();
        host_.stopTimer(timers::InCheck);
        endPass();
        return;
    }

    if (s_.reCheckPending) {
        // The retry is the failed step's: a step whose delay ran out meanwhile (the product
        // step waiting longer in semi-automatic) was judged since.
        if (s_.reCheckStep != kNoStep) s_.curDetect = s_.reCheckStep;
        const int kind = kindOf(mode, s_.curDetect);
        if (kind >= 0 && kind < kMaxSteps && s_.retryLeft[kind] > 0) {
            --s_.retryLeft[kind];
            if (!reCheck()) ++s_.retryLeft[kind];  // tried again at the next pass
        }
        host_.stopTimer(timers::InCheck);
        endPass();
        return;
    }

    handleSafetyDoorTrigger();

    if (s_.detectState == kDetectStopped) {
        if (mode == 1) {
            if (s_.trigLatch[kSecondSignalInput] && p.moldSide != 1) s_.curSide = kSideLeft;
            if (s_.trigLatch[kRightInput] && p.moldSide != 0) s_.curSide = kSideRight;
        }
        host_.stopTimer(timers::InCheck);
        endPass();
        return;
    }

    if (!handleManualStep()) {
        endPass();
        return;
    }

    if (p.sysUsage) takeOpening();

    if (!delayRunning) {
        for (int i = 0; i < kInputs; ++i) {
            if (!s_.trigLatch[i] && i != s_.resumeInput && i != s_.forcedInput) continue;
            const Scan r = scanInput(i);
            if (r == Scan::EndPass) {
                endPass();
                return;
            }
            if (r == Scan::EndScan) break;
        }
        s_.resumeInput = kNoInput;
        host_.repaint();
    }
    endPass();
}

void DetectionController::endPass() {
    refreshWaitNotice();
    flush();
    std::fill(std::begin(s_.trigLatch), std::end(s_.trigLatch), 0);
    host_.startTimer(timers::Run, kRunPeriodMs);
    io().updateThreadProtectTiming();
}

void DetectionController::takeOpening() {
    const quint32 all = cameras() >= 32 ? ~0u : bit(cameras()) - 1;
    const bool pictures = cameras() == 0 || (unjudgedFrames_ & all) == all;
    const bool edge = s_.trigLatch[kOpenInput] != 0;
    if (!pictures && !edge) return;
    if (edge && !pictures) {
        // The edge came first: the pictures still to come are this opening's, its steps wait
        // for them and they start nothing.
        picturesOwed_ = all & ~unjudgedFrames_;
        picturesOwedSinceMs_ = nowMs();
    } else {
        picturesOwed_ = 0;
    }
    // The pictures came first: the edge still to come is this opening's and starts nothing.
    edgeOwed_ = pictures && !edge;
    unjudgedFrames_ = 0;
    if (pictures) s_.forcedInput = kOpenInput;
}

bool DetectionController::absorbOpeningEdge(int input) {
    if (input != kOpenInput || !para().sysUsage || !edgeOwed_) return false;
    edgeOwed_ = false;
    return true;
}

bool DetectionController::picturesOverdue() const {
    const qint64 since = nowMs() - picturesOwedSinceMs_;
    return since < 0 || since >= kReturnedFrameWaitMs;
}

void DetectionController::acceptEdges(bool delayRunning) {
    const WizardPara& p = para();
    for (int i = 0; i < kInputs; ++i) {
        // Always asked, so that the edge memory and the door check stay current.
        if (!io().IOInTrigger(i)) continue;
        // Also during a delay: the edge of an opening its pictures started is spent on it.
        if (absorbOpeningEdge(i) || delayRunning) continue;
        if (s_.productAlarm) continue;
        if (p.shieldPin > 0 && i == kSecondSignalInput) {
            const int before = s_.shieldCount++;
            if (before < p.shieldPin) continue;
        }
        if (p.debounceTime)
            host_.startTimer(timers::inputCheck(i), p.debounceTime * kTenthMs);
        else
            s_.trigLatch[i] = 1;
    }
}

bool DetectionController::checkInput(int input) {
    if (input < 0 || input >= kInputs) return false;
    const bool level = io().IOState(0, input);
    // An edge whose pictures started its opening while it was held is spent on it.
    s_.trigLatch[input] = level && !absorbOpeningEdge(input) ? 1 : 0;
    return level;
}

bool DetectionController::handleAlarmShown() {
    const WizardPara& p = para();
    const bool door = s_.trigLatch[kDoorInput];
    const bool second = s_.trigLatch[kSecondSignalInput];
    const bool open = io().IOState(0, kOpenInput);
    const bool right = io().IOState(0, kRightInput);
    if (door) {
        // The door was closed again during the alarm.
        s_.trigLatch[kDoorInput] = 0;
        if (p.prodNGSkipOnDoor && s_.curDetect == 0) {
            host_.editorSkipCurrent();
            s_.forcedInput = kSecondSignalInput;
        } else {
            for (int c = 0; c < cameras(); ++c)
                if (cam(c))
                    for (int s = 0; s < kMaxSteps; ++s) cam(c)->setDetectDone(s, false);
            if (p.detectMode == 2) {
                if (open && !right) s_.curSide = kSideLeft;
                if (right && !open) s_.curSide = kSideRight;
            }
            host_.editorReCheck();
        }
    }
    if (second && s_.curDetect == 0) s_.forcedInput = kSecondSignalInput;
    return true;
}

void DetectionController::handleSafetyDoorTrigger() {
    const WizardPara& p = para();
    if (!p.safeDoorTrigger || s_.detectState == kDetectStopped) return;
    if (!s_.trigLatch[kDoorInput] && s_.forcedInput != kDoorInput) return;
    s_.trigLatch[kDoorInput] = 0;
    s_.forcedInput = kNoInput;
    for (int c = 0; c < cameras(); ++c) {
        if (cam(c)) cam(c)->setDetectDone(1, false);
        s_.alarmClearState[c][1] = 1;
        if (isTwoMouldMode(p.detectMode)) s_.alarmClearState[c][3] = 1;
    }
    s_.safetyDoorTrig = 1;
    if (isMultiMode(p.detectMode)) {
        s_.seqStep = gDNum - 1;
        setOutput(stepOutput(gDNum - 1, gDNum), 1);
        runNow(gDNum - 1);
    } else {
        runNow(1);
    }
    s_.safetyDoorTrig = 0;
}

bool DetectionController::handleManualStep() {
    if (s_.manualStep == gDNum) return true;
    const WizardPara& p = para();
    const int mode = p.detectMode;
    const int position = s_.manualStep;
    s_.manualStep = gDNum;
    if (position < 0 || position >= kMaxSteps) return true;
    const bool enabled = isTwoMouldMode(mode) ? stepEnabled(position) || stepEnabled(position + 2)
                                              : stepEnabled(position);
    if (enabled) {
        markCycleTimes();
        s_.trigKind = kTrigManual;
        if (position == 0) std::fill(std::begin(s_.ngOutFlags), std::end(s_.ngOutFlags), 0);
        s_.retryLeft[0] = 0;
        s_.retryLeft[1] = 0;
        const int step = stepOfPosition(mode, position, s_.curSide);
        for (int c = 0; c < cameras(); ++c)
            if (step >= 0 && step < kMaxSteps) s_.alarmClearState[c][step] = 1;
        if (isMultiMode(mode)) {
            s_.seqStep = position;
            setOutput(stepOutput(position, gDNum), 1);
        }
        runNow(position);
    }
    if (s_.resultState == kResultAlarm && !p.okNgPulse && !isMultiMode(mode)) {
        apply(manualDuringAlarmOutputs(p, position));
        return false;
    }
    return true;
}

void DetectionController::runNow(int position) {
    if (position < 0 || position >= kMaxSteps) return;
    steps_[position].open(nextMoment());
    s_.trigDelayLeft[position] = 0;
    timerUp(position);
}

// --- step scan -----------------------------------------------------------------------

DetectionController::Scan DetectionController::scanInput(int input) {
    const WizardPara& p = para();
    s_.trigLatch[input] = 0;
    s_.forcedInput = kNoInput;
    const int last = lastPosition(p.detectMode, gDNum);
    const bool lastPending = last >= 0 && last < kMaxSteps && s_.detectPending[last] != 0;
    bool started = false;
    if (startsCycle(p, input, s_.resumeInput, lastPending)) {
        startCycle(input);
        started = true;
    }
    if (isMultiMode(p.detectMode)) return scanMulti(input, started);

    const MouldArming arming = mouldArming(p, input);
    if (arming.arm && s_.detectPending[1] != 0) {
        if (arming.side >= 0) s_.curSide = arming.side;
        armMouldStep();
    }
    return scanPositions(input);
}

void DetectionController::startCycle(int input) {
    const WizardPara& p = para();
    const int mode = p.detectMode;
    std::fill(std::begin(s_.stepCounted), std::end(s_.stepCounted), 0);
    std::fill(std::begin(s_.camCycleNG), std::end(s_.camCycleNG), 0);
    s_.cycleCounted = 0;
    std::fill(std::begin(s_.statisticsCounted), std::end(s_.statisticsCounted), 0);
    markCycleTimes();

    if (s_.noInputShown) {
        s_.noInputShown = false;
        host_.hideWarning(lan(kEntryNoInput));
    } else if (p.inputTimeout > 0) {
        host_.startTimer(timers::InCheck, p.inputTimeout * kSecondMs);
    }

    for (int s = 0; s < gDNum && s < kMaxSteps; ++s) s_.detectPending[s] = 0;
    s_.retryLeft[0] = 0;
    std::fill(std::begin(s_.ngOutFlags), std::end(s_.ngOutFlags), 0);
    gisSafeDoorOpen = false;
    s_.retryLeft[1] = (p.okNgPulse || p.clampPulseOnMoldNG) ? 0 : p.reDetectNum;
    if (isMultiMode(mode)) std::fill(std::begin(s_.retryLeft), std::end(s_.retryLeft), 0);

    for (int c = 0; c < cameras(); ++c) {
        for (int s = 0; s < gDNum && s < kMaxSteps; ++s) {
            if (!stepEnabled(s)) continue;
            s_.detectPending[isMultiMode(mode) ? s : (s & 1)] |= bit(c);
            if (cam(c)) cam(c)->setDetectDone(s, false);
            s_.alarmClearState[c][s] = 1;
            s_.detectArmed[s] = 1;
        }
        s_.camNewCycle[c] = 1;
        s_.camAlarmArm[c] = 1;
    }

    apply(cycleStartOutputs(p, input, s_.detectPending[0] != 0));
    if (mode == 2) s_.curSide = input == kOpenInput ? kSideLeft : kSideRight;
}

void DetectionController::armMouldStep() {
    const WizardPara& p = para();
    s_.detectPending[1] = 0;
    const bool mouldEnabled = stepEnabled(1) || (isTwoMouldMode(p.detectMode) && stepEnabled(3));
    for (int c = 0; c < cameras(); ++c) {
        if (cam(c))
            for (int s = 0; s < gDNum && s < kMaxSteps; ++s) cam(c)->setDetectDone(s, false);
        if (mouldEnabled) s_.detectPending[1] |= bit(c);
    }
    apply(mouldArmOutputs(p));
}

DetectionController::Scan DetectionController::scanPositions(int input) {
    const WizardPara& p = para();
    const int mode = p.detectMode;
    if (s_.detectPending[1] == 0) return Scan::Continue;
    const int count = isTwoMouldMode(mode) ? 2 : std::min(gDNum, kMaxSteps);
    for (int k = 0; k < count; ++k) {
        const int step = stepOfPosition(mode, k, s_.curSide);
        if (!stepEnabled(step) || host_.timerActive(timers::delay(k))) continue;
        if (!positionTriggered(p, k, input, s_.forcedStep)) continue;
        if (mode == 0 && k == s_.forcedStep) {
            s_.forcedStep = kNoStep;
            lastDelay_ = 0;
        }
        const int d = positionDelay(p, k, lastDelay_);
        lastDelay_ = d;
        if (!startPosition(k, d)) return Scan::EndPass;
    }
    return Scan::Continue;
}

DetectionController::Scan DetectionController::scanMulti(int input, bool cycleStarted) {
    const WizardPara& p = para();
    const int last = gDNum - 1;
    const bool lastPending = last >= 0 && last < kMaxSteps && s_.detectPending[last] != 0;
    const MultiSelection sel =
        selectMultiPosition(p, gDNum, input, s_.seqStep, s_.resumeInput, lastPending, cycleStarted);
    if (sel.endScan) return Scan::EndScan;
    if (sel.position < 0) return Scan::Continue;
    s_.seqStep = sel.position;
    for (int output : sel.outputsOn) setOutput(output, 1);
    if (!sel.outputsOn.empty()) flush();
    if (s_.detectPending[sel.position] != 0 &&
        !startPosition(sel.position, p.stepDelay(sel.position)))
        return Scan::EndPass;
    return Scan::Continue;
}

bool DetectionController::startPosition(int position, int delayTenths) {
    steps_[position].open(nextMoment());
    if (delayTenths > 0) {
        s_.trigDelayLeft[position] = delaySeconds(delayTenths);
        host_.startTimer(timers::delay(position), kTickMs);
        s_.cycleState = kCycleDetecting;
        return true;
    }
    s_.trigDelayLeft[position] = 0;
    timerUp(position);
    if (isMultiMode(para().detectMode)) return false;  // a position run at once ends the pass
    return s_.detectState != kDetectStopped;
}

// --- countdown, step run, retry ------------------------------------------------------

void DetectionController::timerUp(int position) {
    if (position < 0 || position >= kMaxSteps) return;
    const WizardPara& p = para();
    const int mode = p.detectMode;
    const int last = lastPosition(mode, gDNum);
    const DelayTick tick =
        tickDelay(s_.trigDelayLeft[position], position == last, p.preCutTime, p.okNgPulse != 0);
    if (tick.preCut) {
        setOutput(kClampOutput, 1);
        flush();
    }
    if (!tick.run) {
        for (int c = 0; c < cameras(); ++c)
            if (cam(c)) cam(c)->repaintCountdown();
        return;
    }

    // Every road to a step's judgement ends here or in reCheck: a step never judges the frame
    // a camera held before it was lost, it waits for a frame of the link that came back, or
    // fails for the camera where that frame is not to come.
    PendingStep& pending = steps_[position];
    // A tick nobody triggered (none should come) is its own trigger.
    if (!pending.isOpen()) pending.open(nextMoment());
    if (look(pending) == PendingStep::Verdict::Wait) {
        // A camera lost, or back without a frame of its link, is told; the opening's pictures
        // that follow its edge are not.
        const quint32 stale = pending.lacking() & staleFrames();
        if (stale)
            waitForCameras(position, stale);
        else
            awaitPictures(position);
        return;
    }
    host_.stopTimer(timers::delay(position));
    const int step = stepOfPosition(mode, position, s_.curSide);
    const PendingStep judged = pending;
    pending.close();
    const quint32 failing = judged.failing();
    for (int c = 0; c < cameras(); ++c) {
        const FrameMissing why = judged.missing(c);
        if (why == FrameMissing::None) continue;
        qWarning().noquote() << QStringLiteral("Step %1 of %2 fails: camera %3 %4")
                                    .arg(step + 1)
                                    .arg(gDNum)
                                    .arg(c + 1)
                                    .arg(why == FrameMissing::LostWithLink
                                             ? QStringLiteral(
                                                   "is back without the frame lost with its link")
                                             : QStringLiteral("delivered no picture"));
    }
    if (judged.waiting() && !failing)
        qInfo().noquote()
            << QStringLiteral("Step %1 of %2 runs: its cameras are back").arg(step + 1).arg(gDNum);
    if (judged.waiting()) refreshWaitNotice();
    // No retry brings back a frame that a camera did not deliver.
    if (failing && step >= 0 && step < kMaxSteps) s_.retryLeft[kindOf(mode, step)] = 0;
    beginJudgement(judged.trigger());
    inspectAhead(position, failing);
    for (int c = 0; c < cameras(); ++c) judgeCamera(c, position, judged.missing(c));
    const bool allOK = allCamerasOK();
    if (decide(false)) {
        pending.open(judged.trigger());
        waitForCameras(position, staleFrames());
        return;
    }
    // Retries are kept per step kind; a failure with a retry left is not final.
    const int kind = kindOf(mode, s_.curDetect);
    if (kind >= 0 && kind < kMaxSteps && s_.retryLeft[kind] != 0 && !allOK) {
        s_.cycleState = kCycleDetected;
        return;
    }
    host_.reportStepToMonitor(allOK);
    host_.reportStepToApi(s_.curDetect, allOK);
    s_.cycleState = kCycleDetected;
    if (s_.resultState != kResultAlarm && position == last && allOK && s_.reCheckPending == 0 &&
        p.templateAutoUpdate) {
        reShapeMould = true;
        std::vector<int> refused;
        for (int c = 0; c < cameras(); ++c)
            if (cam(c) && !cam(c)->saveReTrainImage(1)) refused.push_back(c);
        host_.templatesUpdated(1, refused);
    }
}

void DetectionController::inspectAhead(int position, quint32 failing) {
    // A camera failed for its missing frame is not inspected: the step runs camera by camera.
    if (!parallel_ || failing || cameras() < 2 || position < 0 || position >= kMaxSteps) return;
    const int step = stepOfPosition(para().detectMode, position, s_.curSide);
    if (step < 0 || step >= kMaxSteps) return;
    std::vector<CameraStation*> stations;
    for (int c = 0; c < cameras(); ++c) {
        CameraStation* view = cam(c);
        // A retrain request ends the step on its camera without an inspection: such a step
        // runs camera by camera, as runAlgorithm decides for each.
        if (!view || view->reTrainPending(step)) return;
        stations.push_back(view);
    }
    inspection_->prepare(stations, step);
}

void DetectionController::judgeCamera(int camera, int position, FrameMissing missing) {
    CameraStation* view = cam(camera);
    if (!view || position < 0 || position >= kMaxSteps) return;
    const WizardPara& p = para();
    const int mode = p.detectMode;
    const int step = stepOfPosition(mode, position, s_.curSide);
    if (step < 0 || step >= kMaxSteps) return;
    const int kind = kindOf(mode, step);
    s_.curDetect = step;
    // A road that did not begin a judgement (the editing page's re-check) is its own trigger.
    if (!taking_.open) beginJudgement(nextMoment());
    // Also a camera with a frame of its link: the frame is not of its step's opening.
    if (missing != FrameMissing::None) return failMissingFrame(camera, step, kind, missing);
    if (!frameCurrent(camera)) {
        taking_.unjudged |= bit(camera);
        view->setOK(false);
        return;
    }
    view->markFrameMissing(FrameMissing::None);
    Judgement& j = taking_.judgement;
    j.step = step;
    j.cameras |= bit(camera);
    j.frames[camera] = view->frameStamp();
    s_.detectPending[kind] &= ~bit(camera);
    // A frame judged once starts no cycle (external trigger): a snap's frames serve its manual
    // step only.
    unjudgedFrames_ &= ~bit(camera);
    if (holdCameras_ & bit(camera)) tellHold(holdCameras_ & ~bit(camera));

    if (s_.saveAllImages) {
        const QString stamp = sys::actions().now().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
        view->saveNewestFrame(QStringLiteral("./originalimage/cammer%1%2/template%3.bmp")
                                  .arg(camera + 1)
                                  .arg(step + 1)
                                  .arg(stamp));
    }

    if (view->reTrainPending(step)) {
        if (stepEnabled(step)) {
            if (view->saveReTrainImage(step))
                host_.templatesChanged(camera, step);
            else
                host_.resampleRefused(camera, step);
        }
        view->setReTrainPending(step, false);
        view->setOK(true);
        view->setDetectDone(step, true);
        for (int c = 0; c < cameras(); ++c) {
            if (!cam(c)) continue;
            for (int s = 0; s < kMaxSteps; ++s) {
                if (cam(c)->reTrainPending(s) && stepEnabled(s)) {
                    if (editingShowsLive()) host_.repaint();
                    return;
                }
            }
        }
        startDetect();
        if (!p.okNgPulse) {
            setOutput(kClampOutput, 1);
            flush();
        }
        host_.checkArea();
        return;
    }

    view->inspect(step);
    judgedSinceDecision_ = true;

    bool showAligned = host_.simulatedCameras();
    if (!showAligned && !view->isOK() && editingShowsLive() && p.noRefreshAfterAlarm &&
        !p.okNgPulse) {
        const bool raisesAlarm =
            (kind == 0 && !p.ejectorPulseOnProdNG) || (kind == 1 && !p.clampPulseOnMoldNG);
        showAligned = raisesAlarm;
    }
    // The judged frame goes on screen only where the live image is shown: a template, a
    // recent NG frame or a stored picture keeps its place under its own caption.
    if (editingShowsLive()) view->showInspectedFrame(showAligned);

    if (!view->isOK()) {
        const int retries = kind < kMaxSteps ? s_.retryLeft[kind] : 0;
        apply(failedCameraOutputs(p, kind, retries));
        const bool final = retries == 0;
        if (s_.camAlarmArm[camera] && final) s_.camAlarmArm[camera] = 0;
        if (p.ejectorPulseOnProdNG && kind == 0) {
            // The NG groups of the product step's failed regions (the step actually run).
            for (int group : view->failedNgOutputs(step))
                if (group >= 0 && group < kNgGroups) s_.ngOutFlags[group] = 1;
        }
        if (s_.alarmClearState[camera][step] == 1 && final) view->keepRecentNg(step);
    }

    s_.camNewCycle[camera] = 0;
    flush();
    if (editingShowsLive()) view->repaint();
}

bool DetectionController::reCheck() {
    const WizardPara& p = para();
    const int mode = p.detectMode;
    const int kind = kindOf(mode, s_.curDetect);
    if (kind < 0 || kind >= kMaxSteps) return true;
    // A retry whose try was decided before it was opened (none should be) judges for that
    // try's trigger too.
    if (!retry_.isOpen()) startRetry();
    // The retry's trigger is the failed try's: a camera lost since came back after it.
    if (look(retry_) == PendingStep::Verdict::Wait) {
        // A camera came back without a new frame yet: the retry waits for one.
        retry_.wait(retry_.lacking(), nowMs());
        withholdClamp();
        refreshWaitNotice();
        return false;
    }
    const PendingStep judged = retry_;
    retry_.close();
    // The retry fails finally for a camera that did not deliver its frame.
    if (judged.failing()) s_.retryLeft[kind] = 0;
    const int last = lastPosition(mode, gDNum);
    s_.detectPending[kind] = 0;
    apply(reCheckOutputs(p, kind, kind == last, s_.retryLeft[kind]));
    if (!stepEnabled(s_.curDetect)) return true;
    const int step = s_.curDetect;
    beginJudgement(judged.trigger());
    inspectAhead(step, judged.failing());
    for (int c = 0; c < cameras(); ++c) {
        s_.detectPending[kind] |= bit(c);
        judgeCamera(c, step, judged.missing(c));
    }
    const bool allOK = allCamerasOK();
    if (decide(false)) return false;
    // A passing retry is final as well as the last one.
    if (allOK || s_.retryLeft[kind] == 0) {
        host_.reportStepToMonitor(allOK);
        host_.reportStepToApi(s_.curDetect, allOK);
    }
    return true;
}

void DetectionController::askAboutCountAlarm() {
    // A box still up with the question of an alarm released since is asked again: its confirm
    // must release the alarm that stands.
    if (!host_.productAlarmAsked()) host_.showProductAlarmBox();
}

// --- cameras ----------------------------------------------------------------------------

int DetectionController::cameraCheck() {
    for (int c = 0; c < cameras(); ++c)
        if (cam(c) && !cam(c)->isConnected()) return 0;
    return 1;
}

void DetectionController::lostCamera() {
    if (s_.detectState != kDetectStopped) {
        setOutput(kClampOutput, 1);
        flush();
    }
    // A new loss is told, whatever the operator confirmed of the one before.
    lossTold_ = false;
    tellCameraLost();
    host_.repaint();
}

void DetectionController::tellCameraLost() {
    // The notice of the cameras' return, still up or waiting for its turn, would go on saying
    // they are back while the loss waits behind it.
    host_.hideWarning(lan(kEntryCameraReconnected));
    // Told once a loss: put over the panel again at every pass, it would keep the operator
    // from its buttons (and from the loss box's power-off) until the camera returns.
    if (std::exchange(lossTold_, true)) return;
    if (para().cameraLostOpt)
        host_.showLostCameraBox();
    else
        host_.showWarning(lan(kEntryCameraUnavailable));
}

bool DetectionController::frameCurrent(int camera) const {
    const CameraStation* view = cam(camera);
    return view && view->isConnected() && view->frameStamp().link == view->link();
}

quint32 DetectionController::staleFrames() const {
    quint32 stale = 0;
    for (int c = 0; c < cameras(); ++c)
        if (cam(c) && !frameCurrent(c)) stale |= bit(c);
    return stale;
}

CameraLinks DetectionController::cameraLinks() const {
    CameraLinks links;
    for (int c = 0; c < cameras(); ++c) {
        if (!cam(c)) continue;
        links.present |= bit(c);
        if (cam(c)->isConnected()) links.connected |= bit(c);
        if (frameCurrent(c)) links.current |= bit(c);
        if (picturesOwed_ & bit(c)) (picturesOverdue() ? links.missed : links.owed) |= bit(c);
    }
    return links;
}

qint64 DetectionController::nowMs() const {
    return sys::actions().nowMSecsSinceEpoch();
}

PendingStep::Verdict DetectionController::look(PendingStep& pending) const {
    return pending.look(cameraLinks(), returns_, para().sysUsage != 0, nowMs());
}

void DetectionController::startRetry() {
    s_.reCheckPending = 1;
    s_.reCheckStep = s_.curDetect;
    // A retry judges for the trigger of the try that failed.
    retry_.open(lastJudgement_.serial ? lastJudgement_.trigger : nextMoment());
}

void DetectionController::endRetry() {
    s_.reCheckPending = 0;
    s_.reCheckStep = kNoStep;
    retry_.close();
}

void DetectionController::failMissingFrame(int camera, int step, int kind, FrameMissing why) {
    CameraStation* view = cam(camera);
    view->setOK(false);
    view->markFrameMissing(why);
    Judgement& j = taking_.judgement;
    j.step = step;
    if (why == FrameMissing::LostWithLink)
        j.lost |= bit(camera);
    else
        j.notDelivered |= bit(camera);
    s_.detectPending[kind] &= ~bit(camera);
    judgedSinceDecision_ = true;
    if (holdCameras_ & bit(camera)) tellHold(holdCameras_ & ~bit(camera));
    apply(failedCameraOutputs(para(), kind, 0));
    s_.camAlarmArm[camera] = 0;
    s_.camNewCycle[camera] = 0;
    flush();
    if (editingShowsLive()) view->repaint();
}

QString DetectionController::cameraNumbers(quint32 mask) const {
    QStringList numbers;
    for (int c = 0; c < cameras(); ++c)
        if (mask & bit(c)) numbers << QString::number(c + 1);
    return numbers.join(QStringLiteral(", "));
}

void DetectionController::refreshWaitNotice() {
    const quint32 stale = staleFrames();
    // A pending retry runs only once every camera has a frame of its link.
    int step = retry_.isOpen() && stale ? s_.curDetect : kNoStep;
    for (int k = 0; k < kMaxSteps && step == kNoStep; ++k)
        if (steps_[k].waiting()) step = stepOfPosition(para().detectMode, k, s_.curSide);
    // A frame came and the step runs on its next tick: the notice stays until then.
    if (step != kNoStep && !stale) return;
    const QString text =
        step == kNoStep ? QString()
                        : lan(kEntryStepWaitsForCamera).arg(step + 1).arg(cameraNumbers(stale));
    if (text != waitNotice_) {
        if (!waitNotice_.isEmpty()) host_.hideWarning(waitNotice_);
        waitNotice_ = text;
        if (!text.isEmpty()) host_.showWarning(text);
    }
    // A camera back while its step still waits: the return's notice would tell the operator
    // all is well, and would keep the wait's off the box.
    if (!waitNotice_.isEmpty()) host_.hideWarning(lan(kEntryCameraReconnected));
}

void DetectionController::withholdClamp() {
    if (s_.detectState == kDetectStopped) return;
    setOutput(kClampOutput, 1);
    flush();
}

void DetectionController::waitForCameras(int position, quint32 lacking) {
    s_.trigDelayLeft[position] = 0;
    // The countdown goes on ticking at zero and runs the step on the first tick that finds
    // every camera with a frame of its link; a stop ends it as it ends any delay.
    if (!host_.timerActive(timers::delay(position)))
        host_.startTimer(timers::delay(position), kTickMs);
    s_.cycleState = kCycleDetecting;
    withholdClamp();
    if (!steps_[position].wait(lacking, nowMs())) return;
    qWarning().noquote() << QStringLiteral(
                                "Step %1 of %2 waits for camera %3: no frame since its loss")
                                .arg(stepOfPosition(para().detectMode, position, s_.curSide) + 1)
                                .arg(gDNum)
                                .arg(cameraNumbers(lacking));
    refreshWaitNotice();
}

void DetectionController::awaitPictures(int position) {
    // The pictures of the opening follow its edge within tens of milliseconds: the countdown
    // ticks at zero until they are in, told nowhere (see PendingStep::look for the bound).
    s_.trigDelayLeft[position] = 0;
    if (!host_.timerActive(timers::delay(position)))
        host_.startTimer(timers::delay(position), kTickMs);
    s_.cycleState = kCycleDetecting;
}

void DetectionController::beginJudgement(quint64 trigger) {
    taking_ = Taking{};
    taking_.open = true;
    taking_.judgement.trigger = trigger;
}

void DetectionController::holdDecision(quint32 unjudged) {
    s_.alarmCleared = 0;
    withholdClamp();
    // The alarm stands, and with it what its view says of a camera that failed it
    // uninspected; a re-check that found no new frame of it leaves that as it was.
    if (s_.resultState == kResultAlarm) {
        for (int c = 0; c < cameras(); ++c) {
            if (!(unjudged & bit(c)) || !cam(c)) continue;
            if (lastJudgement_.lost & bit(c))
                cam(c)->markFrameMissing(FrameMissing::LostWithLink);
            else if (lastJudgement_.notDelivered & bit(c))
                cam(c)->markFrameMissing(FrameMissing::NotDelivered);
        }
    }
    qWarning().noquote() << QStringLiteral(
                                "Step %1 of %2 not judged: camera %3 has no frame since its loss")
                                .arg(s_.curDetect + 1)
                                .arg(gDNum)
                                .arg(cameraNumbers(unjudged));
}

void DetectionController::tellHold(quint32 cameras) {
    holdCameras_ = cameras;
    const QString text =
        cameras ? lan(kEntryReCheckWaitsForCamera).arg(cameraNumbers(cameras)) : QString();
    if (text == holdNotice_) return;
    if (!holdNotice_.isEmpty()) host_.hideWarning(holdNotice_);
    holdNotice_ = text;
    if (!text.isEmpty()) host_.showWarning(text);
}

}  // namespace detection
