#include "cyclefakes.h"

#include <gtest/gtest.h>

#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <sstream>

#include "controlport.h"
#include "globals.h"
#include "languagetable.h"
#include "testsupport.h"
#include "wizardparalayout.h"

namespace cycletest {

using namespace detection;

// --- parameter options ----------------------------------------------------------------

namespace {

// clang-format off
#define MM_ONE(f) {#f, {&p.f, 1}}
#define MM_ALL(f) {#f, {&p.f[0], int(std::size(p.f))}}

// Name -> (first element, element count) of the parameters tests set.
std::map<std::string, std::pair<int*, int>> fieldsOf(WizardPara& p) {
    return {MM_ONE(detectMode), MM_ONE(detectProdEnable), MM_ONE(semiAuto), MM_ONE(moldSide),
            MM_ONE(separateDetectSignal), MM_ONE(sequentialDetect), MM_ONE(detectNum),
            MM_ONE(okNgPulse), MM_ONE(noEjectorCtrlProd), MM_ONE(ejectorPulseOnProdNG),
            MM_ONE(clampPulseOnMoldNG), MM_ONE(cutClampAfterMoldOK), MM_ONE(cutEjectorAfterProdOK),
            MM_ONE(cutEjectorOnProdAlarm), MM_ONE(cutClampOnMoldAlarm), MM_ONE(cutEjectorWhenClamp),
            MM_ONE(moldNGTimedRelease), MM_ONE(stopClampOnStop), MM_ONE(preCutTime),
            MM_ONE(clampPulse), MM_ONE(ejectorPulse), MM_ONE(output4Pulse), MM_ONE(reDetectNum),
            MM_ONE(debounceTime), MM_ONE(shieldPin), MM_ONE(inputTimeout), MM_ONE(moldOKNum),
            MM_ONE(safeDoorTrigger), MM_ONE(sysUsage), MM_ONE(pswStopDetect), MM_ONE(useStatistics),
            MM_ONE(tempNum),
            MM_ALL(trigInDelay), MM_ALL(detectEnable), MM_ALL(outputOwner),
            MM_ALL(outputOwnerActive), MM_ALL(detectTrigIn), MM_ALL(detectCutMode)};
}

#undef MM_ONE
#undef MM_ALL
// clang-format on

}  // namespace

void setOptions(WizardPara& p, const std::string& options) {
    const auto fields = fieldsOf(p);
    std::istringstream words(options);
    std::string word;
    while (words >> word) {
        const size_t equals = word.find('=');
        const int value = equals == std::string::npos ? 1 : std::stoi(word.substr(equals + 1));
        std::string name = word.substr(0, equals);
        int index = 0;
        if (const size_t bracket = name.find('['); bracket != std::string::npos) {
            index = std::stoi(name.substr(bracket + 1));
            name.resize(bracket);
        }
        const auto field = fields.find(name);
        if (field == fields.end() || index < 0 || index >= field->second.second) {
            ADD_FAILURE() << "no parameter " << word;
            continue;
        }
        field->second.first[index] = value;
    }
}

// --- FakeCamera ---------------------------------------------------------------------

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

void FakeHost::addCameras(int n) {
    for (int c = 0; c < n; ++c) cams.push_back(std::make_unique<FakeCamera>(int(cams.size())));
}

void FakeHost::startTimer(int id, int ms) {
    VirtualTimer& t = timers_[id];
    t.active = true;
    t.interval = std::max(ms, 0);
    t.due = now_ + t.interval;
    t.singleShot = id == timers::Run || id == timers::ClearNGAlarm;
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
    if (id >= timers::FirstInputCheck) {
        stopTimer(id);
        ctl_->checkInput(id - timers::FirstInputCheck);
        return;
    }
    if (id >= timers::FirstDelay) return ctl_->timerUp(id - timers::FirstDelay);
    static const std::map<int, void (DetectionController::*)()> handlers = {
        {timers::Run, &DetectionController::run},
        {timers::InCheck, &DetectionController::inCheck},
        {timers::Show, &DetectionController::timerShow},
        {timers::ReserveOutput, &DetectionController::reserveOutputEnded},
        {timers::SysFunc4Output, &DetectionController::delayedOutputDue},
        {timers::DelayOutput3, &DetectionController::delayOutput3Due},
        {timers::ClearNGAlarm, &DetectionController::clearNGAlarm},
    };
    static const std::map<int, PulseTimer> pulses = {
        {timers::OutNG, PulseTimer::OutNG},
        {timers::NotAllowClose, PulseTimer::NotAllowClose},
        {timers::NotAllowThimble, PulseTimer::NotAllowThimble},
    };
    if (const auto handler = handlers.find(id); handler != handlers.end())
        (ctl_->*handler->second)();
    else if (const auto pulse = pulses.find(id); pulse != pulses.end())
        ctl_->pulseEnded(pulse->second);
    else
        stopTimer(id);
}

// --- CycleRig -----------------------------------------------------------------------

CycleRig::CycleRig(const std::string& options, int cameras) {
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
    setOptions(para, "detectProdEnable useStatistics clampPulse=5 ejectorPulse=5 output4Pulse=5");
    setOptions(para, options);
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
    for (int* counters : {gAllNum, gFailNum, gAllCycleNum, gFailCycleNum})
        std::fill(counters, counters + std::size(gAllNum), 0);
    gSyncNGNum = gSyncNGCycleNum = 0;
    std::fill(std::begin(gisSaveFail), std::end(gisSaveFail), false);

    gDNum = params::deriveLayout(para);
    host.addCameras(cameras);
    for (auto& c : host.cams) c->clearStates = state.alarmClearState;
    port_ = new ControlPort;
    gpControlIO = port_;
    state.manualStep = gDNum;
    state.seqStep = gDNum - 1;
    controller = std::make_unique<DetectionController>(host, state);
    host.setController(controller.get());
    controller->startDetect();
    host.startTimer(timers::Run, 5);
    host.advance(5);
}

CycleRig::~CycleRig() {
    controller.reset();
    delete port_;
    gpControlIO = previousPort_;
    gpWPara = previousPara_;
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

bool CycleRig::out(int bit) const {
    QMutexLocker lock(pMutexIO);
    const bool physical = (gDataOut >> bit) & 1u;
    return physical != (para.outputInvert[bit] != 0);
}

}  // namespace cycletest
