#include "cyclefakes.h"

#include <QMutex>
#include <QMutexLocker>
#include <algorithm>

#include "controlport.h"
#include "globals.h"
#include "languagetable.h"
#include "testsupport.h"
#include "wizardparalayout.h"

namespace cycletest {

using namespace detection;

// --- FakeCamera ---------------------------------------------------------------------

bool FakeCamera::updateImage() {
    return newFrames;
}

void FakeCamera::resetResults() {
    ok = true;
    ++resets;
}

void FakeCamera::inspect(int step) {
    inspected.push_back(step);
    if (results.empty()) {
        ok = defaultOk;
    } else {
        ok = results.front();
        results.pop_front();
    }
    if (onInspect) onInspect(step);
}

std::vector<int> FakeCamera::failedNgOutputs(int) const {
    return ok ? std::vector<int>{} : failingGroups;
}

bool FakeCamera::saveNewestFrame(const QString& path) {
    savedFrames << path;
    return true;
}

void FakeCamera::saveFailImage(int step, int isOK) {
    failImageCalls << QStringLiteral("save %1 %2").arg(step).arg(isOK);
}

void FakeCamera::updateFailImage(int step, int isOK) {
    failImageCalls << QStringLiteral("update %1 %2").arg(step).arg(isOK);
    if (!clearStates) return;
    int& s = clearStates[number][step];
    if (s >= 4 && s <= 6)
        s = 9;
    else if (s == 7)
        s = 8;
    else if (s == 8)
        s = 10;
}

// --- FakeHost -----------------------------------------------------------------------

FakeHost::FakeHost() = default;

void FakeHost::addCameras(int n) {
    for (int c = 0; c < n; ++c) cams.push_back(std::make_unique<FakeCamera>(int(cams.size())));
}

CameraStation* FakeHost::camera(int c) {
    return c >= 0 && c < int(cams.size()) ? cams[c].get() : nullptr;
}

void FakeHost::startTimer(int id, int ms) {
    VirtualTimer& t = timers_[id];
    t.active = true;
    t.interval = std::max(ms, 0);
    t.due = now_ + t.interval;
    t.singleShot = id == timers::Run || id == timers::ClearNGAlarm;
}

void FakeHost::stopTimer(int id) {
    timers_[id].active = false;
}

bool FakeHost::timerActive(int id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second.active;
}

int FakeHost::timerInterval(int id) const {
    auto it = timers_.find(id);
    return it == timers_.end() || !it->second.active ? -1 : it->second.interval;
}

void FakeHost::advance(int ms) {
    const qint64 target = now_ + ms;
    for (;;) {
        int next = -1;
        qint64 due = 0;
        for (const auto& [id, t] : timers_) {
            if (!t.active || t.due > target) continue;
            if (next < 0 || t.due < due) {
                next = id;
                due = t.due;
            }
        }
        if (next < 0) break;
        testsupport::recorder().advanceMs(due - now_);  // the seam's clock follows
        now_ = due;
        VirtualTimer& t = timers_[next];
        if (t.singleShot)
            t.active = false;
        else
            t.due = now_ + std::max(t.interval, 1);  // a 0 ms timer fires once per loop turn
        fire(next);
    }
    testsupport::recorder().advanceMs(target - now_);
    now_ = target;
}

void FakeHost::fire(int id) {
    if (!ctl_) return;
    if (id >= timers::FirstInputCheck && id < timers::Count) {
        stopTimer(id);
        ctl_->checkInput(id - timers::FirstInputCheck);
        return;
    }
    if (id >= timers::FirstDelay) {
        ctl_->timerUp(id - timers::FirstDelay);
        return;
    }
    switch (id) {
        case timers::Run:
            ctl_->run();
            break;
        case timers::InCheck:
            ctl_->inCheck();
            break;
        case timers::Show:
            ctl_->timerShow();
            break;
        case timers::OutNG:
            ctl_->pulseEnded(PulseTimer::OutNG);
            break;
        case timers::NotAllowClose:
            ctl_->pulseEnded(PulseTimer::NotAllowClose);
            break;
        case timers::NotAllowThimble:
            ctl_->pulseEnded(PulseTimer::NotAllowThimble);
            break;
        case timers::ReserveOutput:
            ctl_->reserveOutputEnded();
            break;
        case timers::SysFunc4Output:
            ctl_->delayedOutputDue();
            break;
        case timers::DelayOutput3:
            ctl_->delayOutput3Due();
            break;
        case timers::ClearNGAlarm:
            ctl_->clearNGAlarm();
            break;
        default:
            stopTimer(id);
            break;
    }
}

void FakeHost::showWarning(const QString& text) {
    warnings << text;
    warningVisible = true;
}

bool FakeHost::confirm(const QString& question) {
    questions << question;
    return confirmAnswer;
}

int FakeHost::checkPassword() {
    ++passwordAsked;
    questions << QStringLiteral("password");
    return passwordAnswer;
}

// --- CycleRig -----------------------------------------------------------------------

namespace {

// Every option of the outputs off, product and mould detection on, no delays.
void plainOptions(WizardPara& p) {
    p.detectMode = 0;
    p.detectProdEnable = 1;
    p.semiAuto = 0;
    p.separateDetectSignal = 0;
    for (int& d : p.trigInDelay) d = 0;
    for (int& v : p.outputInvert) v = 0;
    for (int& v : p.inputInvert) v = 0;
    p.input4Use = p.output4Use = 0;
    p.reDetectNum = 0;
    p.debounceTime = 0;
    p.shieldPin = 0;
    p.inputTimeout = 0;
    p.useStatistics = 1;
    p.moldOKNum = 0;
    p.preCutTime = 0;
    p.safeDoorTrigger = 0;
    p.sysUsage = 0;
    p.okNgPulse = 0;
    p.noEjectorCtrlProd = p.ejectorPulseOnProdNG = p.clampPulseOnMoldNG = 0;
    p.cutClampAfterMoldOK = p.cutEjectorAfterProdOK = 0;
    p.cutEjectorOnProdAlarm = p.cutClampOnMoldAlarm = 0;
    p.cutEjectorWhenClamp = 0;
    p.moldNGTimedRelease = 0;
    p.templateAutoUpdate = 0;
    p.noRefreshAfterAlarm = 0;
    p.cameraLostOpt = 0;
    p.pswStopDetect = 0;
    p.stopClampOnStop = 0;
    p.prodNGSkipOnDoor = 0;
    p.sequentialDetect = 0;
    p.clampPulse = 5;
    p.ejectorPulse = 5;
    p.output4Pulse = 5;
    p.moldSide = 0;
}

}  // namespace

CycleRig::CycleRig() {
    if (!pMutexIO) pMutexIO = new QMutex;
    if (!pMutexSaveFail) pMutexSaveFail = new QMutex;
    static bool languageFilled = false;
    if (!languageFilled) {
        fillLanguageTable();
        languageFilled = true;
    }
    gLan = 1;
    testsupport::recorder().setNow(QDateTime(QDate(2026, 1, 31), QTime(8, 15, 42)));
    previousPara_ = gpWPara;
    previousPort_ = gpControlIO;
    plainOptions(para);
    gpWPara = &para;
    {
        QMutexLocker lock(pMutexIO);
        gDataIn = 0;
        gDataOut = 0;
    }
    gPicNumOK = 10;
    gPicNumNG = 10;
    gFromTrain = 0;
    gSource = -1;
    gisSafeDoorOpen = false;
    std::fill(std::begin(gAllNum), std::end(gAllNum), 0);
    std::fill(std::begin(gFailNum), std::end(gFailNum), 0);
    std::fill(std::begin(gAllCycleNum), std::end(gAllCycleNum), 0);
    std::fill(std::begin(gFailCycleNum), std::end(gFailCycleNum), 0);
    gSyncNGNum = gSyncNGCycleNum = 0;
    std::fill(std::begin(gisSaveFail), std::end(gisSaveFail), false);
    layout();
}

CycleRig::~CycleRig() {
    controller.reset();
    delete port;
    gpControlIO = previousPort_;
    gpWPara = previousPara_;
}

void CycleRig::layout() {
    gDNum = params::deriveLayout(para);
}

void CycleRig::start(int cameras) {
    layout();
    host.addCameras(cameras);
    for (auto& c : host.cams) c->clearStates = state.alarmClearState;
    if (!port) port = new ControlPort;
    gpControlIO = port;
    state.manualStep = gDNum;
    state.seqStep = gDNum - 1;
    controller = std::make_unique<DetectionController>(host, state);
    host.setController(controller.get());
    controller->startDetect();
    host.startTimer(timers::Run, 5);
    host.advance(5);
}

void CycleRig::setInput(int bit, bool on) {
    QMutexLocker lock(pMutexIO);
    if (on)
        gDataIn |= 1u << bit;
    else
        gDataIn &= ~(1u << bit);
}

void CycleRig::edge(int bit) {
    setInput(bit, true);
    controller->run();
}

void CycleRig::pulseInput(int bit, int ms) {
    edge(bit);
    advance(ms);
    setInput(bit, false);
    controller->run();
}

quint32 CycleRig::outputs() const {
    QMutexLocker lock(pMutexIO);
    return gDataOut;
}

bool CycleRig::out(int bit) const {
    const bool physical = (outputs() >> bit) & 1u;
    return physical != (para.outputInvert[bit] != 0);
}

}  // namespace cycletest
