// The result decision: outputs of an OK or NG step, retries, the alarm, counting, fail
// pictures and their hand-over, pulse ends, start and stop, alarm clearing.
#include <QDebug>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <utility>

#include "camerastation.h"
#include "controlport.h"
#include "cyclehost.h"
#include "detectioncontroller.h"
#include "globals.h"
#include "resultrules.h"
#include "steprules.h"
#include "subject.h"
#include "wizardpara.h"

namespace detection {

void DetectionController::checkNG(bool isClearNG) {
    const quint32 unjudged = taking_.unjudged;
    if (decide(isClearNG)) tellHold(unjudged);
}

bool DetectionController::decide(bool isClearNG) {
    // The inspections this decision takes over, whatever road ran them.
    const quint32 unjudged = taking_.unjudged;
    Judgement taken = std::exchange(taking_, Taking{}).judgement;
    // The editing page was opened from a retrain or area check: it decides when it returns.
    if (gFromTrain) return false;
    if (unjudged) {
        holdDecision(unjudged);
        return true;
    }
    // Whatever a held decision waited for is decided now.
    tellHold(0);
    const WizardPara& p = para();
    const int mode = p.detectMode;
    const int kind = kindOf(mode, s_.curDetect);
    if (kind < 0 || kind >= kMaxSteps) return false;
    const bool lastKind = kind == lastPosition(mode, gDNum);
    ++judgementSerial_;
    if (taken.cameras || taken.lost || taken.notDelivered) {
        taken.serial = judgementSerial_;
        lastJudgement_ = taken;
    }

    bool failed[kMaxCameras] = {};
    bool anyNG = false;
    for (int c = 0; c < cameras(); ++c) {
        failed[c] = cam(c) && !cam(c)->isOK();
        if (!failed[c]) continue;
        anyNG = true;
        cam(c)->startAlarmBlink(kAlarmBlinkMs);
    }
    s_.lastCycleNG = anyNG;
    // A failure that will be retried is not the step's result yet.
    const bool retryPending = anyNG && s_.retryLeft[kind] > 0;
    // A clearing that inspected nothing (an answer without re-check, the timed release) is no
    // judged step.
    const bool judged = std::exchange(judgedSinceDecision_, false);
    if (!isClearNG || judged) logResult(failed, anyNG, retryPending, taken);

    // Clearing an alarm inspects nothing: the step was recorded as NG when the alarm was
    // raised, and the passing results that the clearing leaves would record it again. A step
    // already recorded in this cycle (the safety door re-runs the mould step after the cycle)
    // is not recorded again, as the counters do not count it again.
    if (p.useStatistics && !isClearNG && !retryPending && s_.trigKind == kTrigInput &&
        !s_.alarmCleared && !s_.statisticsCounted[kind]) {
        s_.statisticsCounted[kind] = 1;
        const int last = lastPosition(mode, gDNum);
        host_.addStatistics(!lastKind && last >= 0 && last < kMaxSteps &&
                            s_.statisticsCounted[last]);
    }

    if (kind == 1 && !anyNG && p.shieldPin) s_.shieldCount = 0;
    s_.alarmCleared = 0;

    const bool alarmWasShown = s_.resultState == kResultAlarm;
    if (!anyNG) okPath(kind, alarmWasShown);

    // The first result of the kind in the cycle counts, also a failure that a retry then
    // passes.
    const CountMemory memory{s_.stepCounted, s_.camCycleNG, &s_.cycleCounted, &s_.cycleResets};
    if (countStep(CounterSet::globals(), memory, failed, cameras(), kind, lastKind) ==
        CountResult::CycleCounted)
        host_.writeCounters();

    bool ngWithoutAlarm = false;
    if (anyNG) ngWithoutAlarm = ngPath(kind, retryPending, taken);

    if (!anyNG) apply(okPulseOutputs(p, kind));

    if (kind == 1 && !anyNG && p.moldOKNum) {
        if (s_.trigKind == kTrigInput) {
            if (++s_.okMoldCount >= p.moldOKNum) {
                setOutput(kClampOutput, 1);
                setOutput(kAlarmOutput, 1);
                flush();
                s_.productAlarm = 1;
                ++countAlarmSerial_;
                askAboutCountAlarm();
            }
        } else if (s_.trigKind == kTrigRetrain) {
            s_.okMoldCount = 0;
        }
    }

    failImages(failed, retryPending, ngWithoutAlarm, taken.lost | taken.notDelivered);
    if (!anyNG || p.okNgPulse || p.ejectorPulseOnProdNG || p.clampPulseOnMoldNG) handOver();

    s_.trigKind = kTrigInput;
    host_.alarmFinished();
    return false;
}

// One line per judged step, so that a log (and a person watching it) can tell OK from NG.
void DetectionController::logResult(const bool* failed, bool anyNG, bool retryPending,
                                    const Judgement& taken) const {
    QString text =
        QStringLiteral("Detection result: step %1 of %2 ").arg(s_.curDetect + 1).arg(gDNum);
    if (!anyNG) {
        text += QStringLiteral("OK");
    } else {
        quint32 failedMask = 0;
        for (int c = 0; c < cameras(); ++c)
            if (failed[c]) failedMask |= 1u << c;
        text += QStringLiteral("NG (camera %1)").arg(cameraNumbers(failedMask));
        if (taken.lost)
            text += QStringLiteral(", camera %1 without the frame lost with its link")
                        .arg(cameraNumbers(taken.lost));
        if (taken.notDelivered)
            text += QStringLiteral(", camera %1 delivered no picture")
                        .arg(cameraNumbers(taken.notDelivered));
        if (retryPending) text += QStringLiteral(", detected again");
    }
    qInfo().noquote() << text;
}

void DetectionController::okPath(int kind, bool alarmWasShown) {
    const WizardPara& p = para();
    const int mode = p.detectMode;
    if (isMultiMode(mode) && !p.okNgPulse) {
        const MultiOkOutputs m = multiOkOutputs(p, gDNum, s_.seqStep);
        if (m.delayedOutput >= 0) {
            s_.delayOutputArmed = 1;
            s_.delayOutputNo = m.delayedOutput;
        }
        apply(m.plan);
        const ResumeChoice r = resumeAfterStep(p, gDNum, s_.seqStep, s_.forcedInput);
        s_.resumeInput = r.resumeInput;
        s_.forcedInput = r.forcedInput;
    } else {
        apply(okOutputs(p, kind, reTrainAll));
    }
    endRetry();
    flush();

    // An OK of the failed kind lifts a shown alarm. In multi-detection every step has a kind
    // of its own, so any step's OK lifts it there.
    const bool lifts = isMultiMode(mode) ? !(kind == 0 && p.ejectorPulseOnProdNG)
                                         : (kind == 0 && !p.ejectorPulseOnProdNG) || kind == 1;
    if (alarmWasShown && lifts) {
        // The timed release belongs to this alarm; whatever lifted it, it has nothing left.
        host_.stopTimer(timers::ClearNGAlarm);
        host_.alarmLifted();
        host_.editorRestart();
        if (isMultiMode(mode)) {
            apply(liftAlarmOutputs(p, kind));
            s_.resultState = kResultWaiting;
            resetRun();
            s_.detectState = kDetectRunning;
        } else if (kind == 0) {
            apply(liftAlarmOutputs(p, kind));
            s_.resultState = kResultWaiting;
            resetRun();
            s_.detectState = kDetectRunning;
            if (mode == 0 && !p.semiAuto) {
                // The mould step is run next.
                s_.forcedInput = kDoorInput;
                s_.forcedStep = 1;
            }
        } else {
            startDetect();
        }
    }

    if (s_.resultState != kResultAlarm && s_.resultState != kResultAreaSetting &&
        !host_.settingsVisible())
        showResult(false);

    if (kind == 1) apply(mouldOkEjectorOutputs(p));
}

bool DetectionController::ngPath(int kind, bool retryPending, const Judgement& taken) {
    const WizardPara& p = para();
    const int mode = p.detectMode;
    const NgAnswer answer = ngAnswer(p, kind);
    switch (answer) {
        case NgAnswer::OkNgPulse:
            apply(okNgPulseNgOutputs(p));
            if (s_.resultState != kResultAlarm && s_.resultState != kResultAreaSetting &&
                !host_.settingsVisible())
                showResult(true);
            return true;
        case NgAnswer::ProductPulse:
            apply(productPulseOutputs(p, s_.ngOutFlags));
            if (isMultiMode(mode)) {
                const ResumeChoice r = resumeAfterStep(p, gDNum, s_.seqStep, s_.forcedInput);
                s_.resumeInput = r.resumeInput;
                s_.forcedInput = r.forcedInput;
            }
            if (s_.resultState != kResultAlarm && s_.resultState != kResultAreaSetting &&
                !host_.settingsVisible())
                showResult(false);
            return true;
        case NgAnswer::MouldPulse:
            apply(mouldPulseOutputs(p));
            if (s_.resultState != kResultAlarm && s_.resultState != kResultAreaSetting &&
                !host_.settingsVisible())
                showResult(false);
            return true;
        case NgAnswer::Alarm:
            break;
    }

    if (s_.resultState == kResultAlarm) {
        // An alarm is on screen already; nothing more is raised.
    } else if (retryPending && !isMultiMode(mode)) {
        startRetry();  // the next pass re-detects
    } else {
        bool failed[kMaxCameras] = {};
        for (int c = 0; c < cameras(); ++c) failed[c] = cam(c) && !cam(c)->isOK();
        raiseAlarm(kind, failed, taken);
    }
    if (isMultiMode(mode)) apply(multiNgOutputs(p, gDNum, s_.seqStep));
    return false;
}

void DetectionController::raiseAlarm(int kind, const bool* failed, const Judgement& taken) {
    const WizardPara& p = para();
    ++alarmSerial_;
    host_.alarmStarted(s_.curDetect);
    if (s_.safetyDoorTrig && !isMultiMode(p.detectMode)) {
        setOutput(kClampOutput, 1);
        flush();
    }
    host_.wakeScreen();
    setStopDetect();
    s_.resultState = kResultAlarm;
    host_.showAllCameras();
    host_.hidePagesForAlarm();
    host_.editorReset();
    host_.led(kLedResultOk, 0);
    host_.led(kLedResultNg, 1);
    // What the failed step switched at once may have been let go since it was judged (the area
    // check after a re-sampling decides its moulds only on its return, and an opened safety
    // door ends the alarm output): the alarm holds what a final failure holds.
    apply(failedCameraOutputs(p, kind, 0));
    apply(alarmOutputs(p, kind, false));
    ngAlarmHold_ = failedCameraOutputs(p, kind, 0).append(alarmOutputs(p, kind, s_.safetyDoorTrig));

    QString text;
    for (int c = 0; c < cameras(); ++c)
        if (failed[c]) text += lan(kEntryCameraPrefix).arg(c + 1);
    if (!text.isEmpty()) {
        text.chop(1);
        text += lan(kEntryAlarm);
        // The record tells an alarm of a frame not delivered from one of a failed inspection.
        for (int c = 0; c < cameras(); ++c) {
            if (taken.lost & (1u << c))
                text += QStringLiteral(" ") + lan(kEntryFrameLostWithLink).arg(c + 1);
            else if (taken.notDelivered & (1u << c))
                text += QStringLiteral(" ") + lan(kEntryFrameNotDelivered).arg(c + 1);
        }
        host_.insertRecord(text);
    }
}

void DetectionController::showResult(bool ngLeds) {
    s_.resultState = kResultOkShown;
    host_.startTimer(timers::Show, kOkShownMs);
    s_.shownDetect = s_.curDetect;
    host_.repaint();
    host_.led(kLedResultOk, ngLeds ? 0 : 1);
    host_.led(kLedResultNg, ngLeds ? 1 : 0);
}

void DetectionController::failImages(const bool* failed, bool retryPending, bool ngWithoutAlarm,
                                     quint32 uninspected) {
    const int d = s_.curDetect;
    for (int c = 0; c < cameras(); ++c) {
        // Its last judged frame is from before the loss: stored as this step's picture it
        // would show a mould that was never looked at.
        if (uninspected & (1u << c)) continue;
        CameraStation* view = cam(c);
        const int state = s_.alarmClearState[c][d];
        const FailImageStep r =
            failImageStep(state, !failed[c], retryPending, gPicNumOK, gPicNumNG, ngWithoutAlarm);
        s_.alarmClearState[c][d] = r.state;
        if (!view) continue;
        switch (r.action) {
            case FailImageAction::None:
                break;
            case FailImageAction::SaveOk:
                view->saveFailImage(d, 1);
                break;
            case FailImageAction::SaveNg:
                view->saveFailImage(d, 0);
                break;
            case FailImageAction::ReportHandling:
                host_.alarmClearMethod(c, state);
                view->updateFailImage(d, 0);
                break;
            case FailImageAction::RedetectPassed:
                view->updateFailImage(d, 0);
                view->saveFailImage(d, 1);
                view->updateFailImage(d, 1);
                break;
        }
    }
}

void DetectionController::handOver() {
    if (!pMutexSaveFail) return;
    QMutexLocker lock(pMutexSaveFail);
    for (int c = 0; c < cameras(); ++c) {
        for (int d = 0; d < kMaxSteps; ++d) {
            const HandOverMarks marks = handOverMarks(s_.alarmClearState[c][d]);
            if (!marks.any()) continue;
            const int slot = (c * kMaxSteps + d) * 2;
            if (marks.ng) gisSaveFail[slot] = true;
            if (marks.ok) gisSaveFail[slot + 1] = true;
            s_.alarmClearState[c][d] = kFailIdle;
        }
    }
}

// --- pulse ends ---------------------------------------------------------------------

void DetectionController::pulseEnded(PulseTimer timer) {
    switch (timer) {
        case PulseTimer::OutNG:
            host_.stopTimer(timers::OutNG);
            break;
        case PulseTimer::NotAllowClose:
            host_.stopTimer(timers::NotAllowClose);
            break;
        case PulseTimer::NotAllowThimble:
            host_.stopTimer(timers::NotAllowThimble);
            break;
        case PulseTimer::SysFunc4Output:
            delayedOutputDue();
            return;
        case PulseTimer::ClearNGAlarm:
            host_.stopTimer(timers::ClearNGAlarm);
            return;
    }
    apply(pulseEndOutputs(para(), timer, s_.detectState == kDetectStopped));
}

void DetectionController::delayedOutputDue() {
    host_.stopTimer(timers::SysFunc4Output);
    if (!isMultiMode(para().detectMode)) return;
    if (s_.delayOutputArmed && s_.delayOutputNo != -1) {
        setOutput(s_.delayOutputNo, 1);
        flush();
        s_.delayOutputArmed = 0;
        s_.delayOutputNo = -1;
    }
}

void DetectionController::reserveOutputEnded() {
    host_.stopTimer(timers::ReserveOutput);
    setOutput(kFourthOutput, 0);
    flush();
}

void DetectionController::delayOutput3Due() {
    host_.stopTimer(timers::DelayOutput3);
    setOutput(kFirstNgOutput, 1);
    flush();
}

void DetectionController::releaseProductAlarm() {
    // A release of a count alarm that is gone must not let go what a cycle withholds.
    if (!s_.productAlarm) return;
    // An NG alarm raised beside the count alarm keeps the clamp and the alarm output it holds
    // until the operator answers it; the release takes back only the count alarm's own hold.
    s_.okMoldCount = 0;
    s_.productAlarm = 0;
    ++countAlarmSerial_;
    const bool ngAlarm = s_.resultState == kResultAlarm;
    for (int output : {kClampOutput, kAlarmOutput})
        if (!ngAlarm || ngAlarmHold_.levelOf(output) != 1) setOutput(output, 0);
    flush();
}

// --- start and stop -----------------------------------------------------------------

void DetectionController::startDetect() {
    apply(startDetectOutputs(para()));
    // Starting again ends any alarm, and with it its timed release.
    host_.stopTimer(timers::ClearNGAlarm);
    s_.resultState = kResultWaiting;
    endRetry();
    std::fill(std::begin(s_.retryLeft), std::end(s_.retryLeft), 0);
    resetRun();
    s_.detectState = kDetectRunning;
    s_.shieldCount = 0;
    // A camera still away holds the clamp from the start, not from the next pass that finds it
    // missing: the mould must not close meanwhile.
    if (!cameraCheck()) {
        setOutput(kClampOutput, 1);
        flush();
    }
    host_.setDetectingButton(true);
}

void DetectionController::stopDetect() {
    const WizardPara& p = para();
    apply(stopDetectOutputs(p));
    host_.stopTimer(timers::DelayOutput3);
    for (int c = 0; c < cameras(); ++c)
        if (cam(c))
            for (int s = 0; s < kMaxSteps; ++s) cam(c)->setReTrainPending(s, false);
    std::fill(std::begin(s_.trigLatch), std::end(s_.trigLatch), 0);
    for (int i = 0; i < kInputs; ++i) host_.stopTimer(timers::inputCheck(i));
    if (isMultiMode(p.detectMode)) {
        std::fill(std::begin(s_.detectPending), std::end(s_.detectPending), 0);
        s_.curDetect = gDNum - 1;
        s_.seqStep = gDNum - 1;
    }
    setStopDetect();
    host_.setDetectingButton(false);
}

void DetectionController::setStopDetect() {
    const int mode = para().detectMode;
    if (!isMultiMode(mode)) {
        const int index = isTwoMouldMode(mode) ? (s_.curDetect & 1) : (s_.curDetect != 0 ? 1 : 0);
        s_.detectPending[index] = 0;
    }
    // A stop ends every step that waits: its delay, its wait for a camera and a retry; nothing
    // is judged while detection is stopped.
    for (int k = 0; k < kMaxSteps; ++k) {
        steps_[k].close();
        if (!host_.timerActive(timers::delay(k))) continue;
        host_.stopTimer(timers::delay(k));
        s_.trigDelayLeft[k] = 0;
    }
    endRetry();
    s_.detectState = kDetectStopped;
    refreshWaitNotice();
}

void DetectionController::resetRun() {
    for (int c = 0; c < cameras(); ++c)
        if (cam(c)) cam(c)->resetResults();
    // The results are gone, and with them what a held decision had inspected: a decision after
    // the reset (the timed release) judged nothing and writes no result line.
    judgedSinceDecision_ = false;
    std::fill(std::begin(s_.trigDelayLeft), std::end(s_.trigDelayLeft), 0.0f);
}

void DetectionController::startStop() {
    if (host_.settingsVisible() || host_.editingVisible()) return;
    const WizardPara& p = para();
    if (s_.detectState == kDetectStopped) {
        startDetect();
        if (p.cutClampAfterMoldOK && p.clampPulse > 0) {
            setOutput(kClampOutput, 1);
            flush();
        }
        host_.insertRecord(lan(kEntryStartedManually));
        host_.led(kLedDetecting, 1);
    } else {
        // A page opened or an alarm raised while the password or the question was open is
        // a panel nobody asked to stop.
        const dialogs::Subject about = host_.panelSubject();
        if (p.pswStopDetect && host_.checkPassword(about) == 0) return;
        if (host_.confirm(lan(kEntryStopQuestion), about) != dialogs::Answer::Yes) return;
        stopDetect();
        host_.insertRecord(lan(kEntryStoppedManually));
        host_.led(kLedDetecting, 0);
    }
    host_.repaint();
}

// --- alarm clearing, retraining, no input, end of the OK display -------------------------

void DetectionController::clearNGAlarm() {
    host_.stopTimer(timers::ClearNGAlarm);
    // Only the alarm on screen is released; one that was answered meanwhile is over.
    if (s_.resultState != kResultAlarm) return;
    // The save may ask, and the cycle goes on meanwhile: the door may judge the mould again or
    // lift this alarm and raise the next, neither of which anybody has looked at yet.
    if (host_.editorSaveData(host_.alarmSubject()) == dialogs::Answer::Gone) return;
    gSource = -1;
    resetRun();
    for (int c = 0; c < cameras(); ++c)
        if (s_.alarmClearState[c][s_.curDetect] == kFailAlarmOpen)
            s_.alarmClearState[c][s_.curDetect] = kFailDontDetect;
    s_.alarmCleared = 1;
    // Nothing was inspected: the release is no judged step and writes no result line.
    qInfo().noquote() << QStringLiteral("NG alarm released by its timer: step %1 of %2")
                             .arg(s_.curDetect + 1)
                             .arg(gDNum);
    checkNG(true);
    host_.insertRecord(lan(kEntryNoCameraDetects));
}

void DetectionController::backTrain() {
    const WizardPara& p = para();
    s_.detectState = kDetectRunning;
    // A mould judged while the areas were checked and found failed is decided now: its alarm
    // keeps the clamp it withheld. Only a return that raises none lets the machine close.
    checkNG(true);
    if (!p.okNgPulse && s_.resultState != kResultAlarm) {
        setOutput(kClampOutput, 0);
        if (p.cutEjectorWhenClamp && stepEnabled(0) && !p.noEjectorCtrlProd &&
            !p.ejectorPulseOnProdNG && p.detectMode == 0)
            setOutput(kEjectorOutput, 1);
    }
    flush();
    reTrainAll = true;
}

void DetectionController::inCheck() {
    setOutput(kClampOutput, 1);
    flush();
    host_.stopTimer(timers::InCheck);
    host_.insertRecord(lan(kEntryNoInput));
    host_.showWarning(lan(kEntryNoInput));
    s_.noInputShown = true;
}

void DetectionController::timerShow() {
    host_.stopTimer(timers::Show);
    const WizardPara& p = para();
    if (s_.resultState != kResultAlarm) {
        host_.led(kLedResultOk, 1);
        host_.led(kLedResultNg, 1);
        if (s_.reCheckPending == 0 && s_.shownDetect == s_.curDetect)
            s_.curDetect = nextStepAfterOk(p, gDNum, s_.curDetect);
        s_.cycleState = kCycleWaiting;
        if (s_.resultState == kResultOkShown) {
            s_.resultState = kResultWaiting;
            host_.repaint();
        }
    } else {
        s_.cycleState = kCycleWaiting;
    }
    if (reTrainAll) {
        reTrainAll = false;
        for (int c = 0; c < cameras(); ++c)
            if (cam(c))
                for (int d = 0; d < gDNum && d < kMaxSteps; ++d)
                    if (stepEnabled(d)) cam(c)->retrain(d);
    } else if (reShapeMould) {
        reShapeMould = false;
        for (int c = 0; c < cameras(); ++c)
            if (cam(c)) cam(c)->retrain(1);
    }
}

}  // namespace detection
