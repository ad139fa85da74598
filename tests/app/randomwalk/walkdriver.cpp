#include "walkdriver.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QMutexLocker>
#include <QTimer>
#include <algorithm>

#include "camerastation.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "drawroiwidget.h"
#include "globals.h"
#include "interfacecounts.h"
#include "lostcamerawarnbox.h"
#include "paramgroupspage.h"
#include "passwordbox.h"
#include "productalarmwarnbox.h"
#include "recordingsystemactions.h"
#include "settingssession.h"
#include "steprules.h"
#include "systemcommands.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

namespace walk {

namespace {

constexpr int kMouldOpen = 0;     // input terminal 1
constexpr int kDoor = 1;          // the safety door: closing it re-detects during an alarm
constexpr int kSecondSignal = 2;  // input terminal 3: the mould step's signal in semi-automatic
constexpr int kMouldStep = 1;
constexpr int kWaitMs = 10000;
constexpr int kPassSoonMs = 5;
constexpr int kPassBoundMs = 2000;

// The entries the walk names its boxes by; any other box goes by its class.
const int kNamedBoxes[] = {72,  102, 105, 107, 108, 113, 115, 116, 137,
                           140, 195, 258, 279, 285, 291, 293, 318};

QByteArray bytesOf(const std::vector<uchar>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

}  // namespace

bool fits(const QString& text, const QString& entry) {
    const QStringList parts = entry.split(QStringLiteral("%1"));
    if (parts.size() == 1) return text.contains(entry);
    return text.startsWith(parts.first()) && text.endsWith(parts.last());
}

Walk::Walk(cycletest::WindowRig& rig, const Case& c, const Disk& groups)
    : rig_(rig),
      w_(rig.window()),
      case_(c),
      groups_(groups),
      model_(c, c.cameras),
      pulses_(std::make_unique<PulseWatch>(c, rig.window())) {
    // A failed mould's pulse ends with the alarm output off, though a product alarm raised
    // during the pulse still stands.
    if (case_.mouldPulse)
        pulseEnd_ = QObject::connect(w_.notAllowCloseTimer, &QTimer::timeout, [this] {
            if (w_.resultState == 2) quietAlarm_ = w_.cycle().alarmSerial();
        });
}

Walk::~Walk() {
    QObject::disconnect(pulseEnd_);
}

DrawROIWidget& Walk::page() {
    return *w_.drawROIWidget;
}

CammerWidget& Walk::view(int c) {
    return *w_.cammerWidgets[c];
}

int Walk::records() const {
    return rig_.records().size();
}

void Walk::violate(const QString& what) {
    const QString line = QStringLiteral("%1: %2").arg(step_, what);
    if (!violations_.contains(line)) violations_ << line;
}

void Walk::heard(const QString& text) {
    Result r;
    if (Result::parse(text, numCamera, &r)) {
        ++judgements_;
        // A camera back has a frame of its new link once the window took one after the return.
        for (int c = 0; c < numCamera; ++c)
            if (lost_[size_t(c)] && framesAtReturn_[size_t(c)] < 0 && view(c).isConnected)
                framesAtReturn_[size_t(c)] = w_.frameCount[c];
        for (int c = 0; c < numCamera; ++c)
            if (framesAtReturn_[size_t(c)] >= 0 && w_.frameCount[c] != framesAtReturn_[size_t(c)]) {
                model_.frameArrived(c);
                framesAtReturn_[size_t(c)] = -1;
            }
        // A mould passed under an alarm (the door's re-check) or by an answer is no passing
        // mould the count alarm counts for sure.
        const bool underAlarm = w_.resultState == 2;
        const int kind = model_.kindOf(r.step);
        if (kind == kMouldStep && !r.anyFailed() && (underAlarm || !byMachine_))
            countUnknown_ = true;
        QString cameras;
        for (int c = 0; c < numCamera; ++c)
            if (r.failed[size_t(c)]) cameras += QString::number(c + 1);
        trace_ += QStringLiteral(" =%1%2%3")
                      .arg(r.step + 1)
                      .arg(cameras.isEmpty() ? "ok" : cameras)
                      .arg(r.retry ? "+" : "");
        // An answer lifted the alarm and the step it let run judges now: a failure there
        // raises the next alarm.
        if (!byMachine_ && model_.alarmExpected() && w_.resultState != 2) model_.alarmAnswered();
        seeResult(r);
        const int alarms = model_.alarmId();
        for (const QString& broken : model_.tried(r, byMachine_)) violate(broken);
        for (const QString& broken : model_.judged(r, byMachine_)) violate(broken);
        if (model_.alarmId() != alarms) seeAlarmRaised(r);
    } else if (text.startsWith(QLatin1String("NG alarm released by its timer"))) {
        ++releases_;
        trace_ += QStringLiteral(" =released");
        for (const QString& broken : model_.releasedByTimer()) violate(broken);
    }
}

bool Walk::retraining() {
    bool pending = gFromTrain != 0;
    for (int c = 0; c < numCamera; ++c)
        for (int d = 0; d < kMaxDetections; ++d) pending |= view(c).reTrainPending[d] != 0;
    return pending;
}

bool Walk::awaitsFrame() const {
    for (int c = 0; c < numCamera; ++c)
        if (framesAtReturn_[size_t(c)] >= 0 && w_.frameCount[c] == framesAtReturn_[size_t(c)])
            return true;
    return false;
}

bool Walk::anyLost() const {
    return std::count(lost_.begin(), lost_.end(), true) != 0;
}

// Waits for the state the step leads to, never for a time: the steps due have run (a step due
// while a camera is away may wait for it), the pulses have ended, the board has taken the
// outputs, a retry has run and the count alarm's box is up. So a seed walks the same way on
// every run.
void Walk::settle() {
    const bool lost = anyLost();
    // While a camera is away the pass comes seldom; the state a step leads to is the one the
    // next pass leaves.
    if (lost) {
        w_.runTimer->start(kPassSoonMs);
        rig_.waitFor([&] { return w_.runTimer->interval() != kPassSoonMs; }, kWaitMs);
    }
    const bool settled = rig_.waitFor(
        [&] {
            // A step due while a camera is away, or back without a frame of its new link, may
            // wait for it; with the external trigger that frame went with the opening it missed
            // (the next comes with the next opening, which the withheld clamp holds back): the
            // step fails for it and is waited for.
            for (QTimer* t : w_.timerUp)
                if (t && t->isActive() && !lost && !(awaitsFrame() && !case_.extTrigger))
                    return false;
            for (QTimer* t : {w_.outNGTimer, w_.notAllowCloseTimer, w_.notAllowThimbleTimer,
                              w_.sysFunc4OutputTimer})
                if (t && t->isActive()) return false;
            if (w_.productAlarm && !lost &&
                !(gpProductAlarmWarnBox && gpProductAlarmWarnBox->isVisible()))
                return false;
            quint32 word = 0;
            {
                QMutexLocker lock(pMutexIO);
                word = gDataOut;
            }
            for (int bit = 0; bit < 4; ++bit)
                if (rig_.output(bit) != rig_.levelIn(word, bit)) return false;
            return !w_.reCheckPending;
        },
        kWaitMs);
    if (!settled) stuck(lost);
}

// A step that does not settle ends its walk with what it still waits for: the seeds after it
// still walk.
void Walk::stuck(bool lost) {
    QStringList pending;
    for (int d = 0; d < kMaxDetections; ++d)
        if (w_.timerUp[d] && w_.timerUp[d]->isActive() && !lost && !awaitsFrame())
            pending << QStringLiteral("step %1's delay").arg(d + 1);
    const std::pair<QTimer*, const char*> pulses[] = {
        {w_.outNGTimer, "the product's pulse"},
        {w_.notAllowCloseTimer, "the clamp's pulse"},
        {w_.notAllowThimbleTimer, "the ejector's pulse"},
        {w_.sysFunc4OutputTimer, "a step's output"}};
    for (const auto& [t, what] : pulses)
        if (t && t->isActive()) pending << QLatin1String(what);
    if (w_.productAlarm && !(gpProductAlarmWarnBox && gpProductAlarmWarnBox->isVisible()))
        pending << QStringLiteral("the count alarm's box");
    if (w_.reCheckPending) pending << QStringLiteral("a retry of the failed step");
    if (pending.isEmpty()) pending << QStringLiteral("the board to take the outputs");
    violate(QStringLiteral("the step did not settle within %1 s: still waiting for %2")
                .arg(kWaitMs / 1000)
                .arg(pending.join(QStringLiteral(", "))));
    stuck_ = true;
}

void Walk::run() {
    answers_ = std::make_unique<dialogs::ScopedAnswerer>([this](QDialog* d) { return answer(d); });
    const int withoutSubject = dialogs::boxesRunWithoutSubject();
    for (const char* program : {"reboot", "poweroff"}) {
        testsupport::recorder().scriptCommand(program, [this, program](const QStringList&) {
            if (stopped_)
                violate(QStringLiteral("%1 asked after the stop").arg(program));
            else if (!lossConfirmed_ && (w_.resultState == 2 || model_.alarmExpected()))
                violate(QStringLiteral("%1 asked under an alarm").arg(program));
            return sys::CommandResult{true, 0, {}};
        });
    }
    lost_.assign(size_t(numCamera), false);
    framesAtReturn_.assign(size_t(numCamera), -1);
    wanted_.assign(size_t(numCamera), Clean);
    input(kDoor, true);
    disk_ = started_ = readDisk();
    while (next_ < case_.steps.size() && !stopped_ && !stuck_) {
        const QString step = case_.steps[next_++];
        step_ = QStringLiteral("step %1 (%2)").arg(next_).arg(step);
        const int asked = answers_->count();
        answered_.clear();
        machine_.clear();
        rig_.clearChanges();
        perform(step);
        check(step, asked);
    }
    step_ = QStringLiteral("the end");
    if (!stopped_ && !stuck_) checkCounts(true);
    for (const char* program : {"reboot", "poweroff"})
        testsupport::recorder().scriptCommand(program, sys::CommandResult{true, 0, {}});
    if (dialogs::boxesRunWithoutSubject() != withoutSubject)
        violations_ << QStringLiteral("%1 boxes were run without a subject")
                           .arg(dialogs::boxesRunWithoutSubject() - withoutSubject);
    answers_.reset();
}

void Walk::perform(const QString& step) {
    const QString name = step.section(':', 0, 0);
    const QString arg = step.section(':', 1);
    trace_ += ' ' + step;
    if (name == "edge") return machine([&] { signal({kMouldOpen}, arg); });
    if (name == "door") return machine([&] { signal({kDoor}, arg); });
    if (name == "sig2") return machine([&] { signal({kSecondSignal}, arg); });
    // The multi-step mode takes its steps' signals one after the other: a step run at once ends
    // the pass, so a second signal taken in the pass whose mould-open input ran the product step
    // is dropped, and while the mould step waits a mould-open input ends the pass's scan.
    if (name == "both" && case_.mode == MultiStep)
        return machine([&] {
            signal({kMouldOpen}, arg);
            signal({kSecondSignal}, arg);
        });
    if (name == "both") return machine([&] { signal({kMouldOpen, kSecondSignal}, arg); });
    if (name == "lose") return machine([&] { loseCamera(arg.toInt()); });
    if (name == "openlose") return machine([&] { openAndLose(arg.toInt()); });
    if (name == "back") return machine([&] { camerasBack(); });
    if (name == "time") return machine([&] { timePasses(); });
    if (name == "idle") return machine([&] { noInputPasses(); });
    if (name == "reset") return machine([&] { resetCounts(); });
    if (name == "stop") return stop();
    // Nothing to answer, or a box covers the window: the operator cannot press.
    if (name == "yes" || name == "no" || openBoxes_ > 0) {
        trace_ += '-';
        return;
    }
    const bool outer = byMachine_;
    byMachine_ = false;
    operate(name, arg);
    byMachine_ = outer;
}

void Walk::machine(const std::function<void()>& act) {
    const int from = records();
    const bool outer = byMachine_;
    byMachine_ = true;
    act();
    byMachine_ = outer;
    machine_.emplace_back(from, records());
}

bool Walk::grabbed(const std::vector<int>& shown) {
    for (int c = 0; c < numCamera; ++c) {
        if (lost_[size_t(c)] ||
            bytesOf(view(c).context.grabBuf) == pictureBytes()[size_t(shown[c])])
            continue;
        // The next pass takes the frames: sooner than its period, as an input change brings it.
        if (w_.runTimer->remainingTime() > kPassSoonMs) w_.runTimer->start(kPassSoonMs);
        return false;
    }
    return true;
}

void Walk::input(int bit, bool on) {
    inputs({bit}, on);
}

void Walk::inputs(const std::vector<int>& bits, bool on) {
    quint32 word = 0;
    for (int bit : bits) level_[bit] = on;
    for (int bit = 0; bit < int(std::size(level_)); ++bit)
        if (level_[bit]) word |= 1u << bit;
    rig_.setInputs(word);
    for (int bit : bits) rig_.waitInputTaken(bit, on, kWaitMs);
    settle();
}

// Whether a mould-open edge now starts a cycle: detection runs, no alarm stands (neither an NG
// alarm nor the count alarm), no re-sampling is under way; in the multi-step mode only once the
// cycle before has judged its last step.
bool Walk::cycleTakesEdge() {
    // A re-sampling takes its templates from the cycle's steps and the area page it opens judges
    // nothing: the edges still start cycles, and the return judges the one under way.
    if (w_.detectState != 1 || w_.resultState == 2 || w_.productAlarm) return false;
    return case_.mode != MultiStep || w_.detectPending[kMouldStep] == 0;
}

// Whether the edges start a step the cycle judges now: the mould-open input starts the product
// step, or the mould step where no second signal is waited for.
bool Walk::edgeJudges(const std::vector<int>& bits) {
    if (!cycleTakesEdge() || anyLost() || retraining()) return false;
    return std::count(bits.begin(), bits.end(), kMouldOpen) &&
           (case_.productStep() || !case_.mouldOnSecondSignal());
}

// Camera c serves `picture` from its next frame on.
void Walk::show(int c, int picture) {
    rig_.showPicture(c, picture);
    model_.pictureShown(c, picture);
}

// The mould opens and closes again (on the mould-open input, the second signal or both in one
// pass), or the safety door (closed between its steps) is opened and closed again: closed
// during an alarm, it re-detects. The cameras show `pictures` (one letter a camera) from the
// moment the mould or the door is open; a camera away shows them once it is back.
void Walk::signal(const std::vector<int>& bits, const QString& pictures) {
    awaitDelays();
    // The door opened ends the alarm output of the alarm on screen.
    if (std::count(bits.begin(), bits.end(), kDoor) && w_.resultState == 2)
        quietAlarm_ = w_.cycle().alarmSerial();
    std::vector<int> raised;
    for (int bit : bits)
        if (level_[bit]) raised.push_back(bit);
    if (!raised.empty()) inputs(raised, false);
    // On the external trigger every camera takes a picture at each opening of the mould, also of
    // the scene it showed already and whether or not a cycle takes the edge: its trigger line is
    // wired to the mould-open signal, not to the program.
    const bool opens = case_.extTrigger && std::count(bits.begin(), bits.end(), kMouldOpen);
    std::vector<int> shown;
    // The mould opens again only once the clamp is let go; before, the pictures are still the
    // opening's.
    const quint64 opening = rig_.output(0) ? 0 : detection::nextMoment();
    seen_.shownAt.resize(size_t(numCamera));
    for (int c = 0; c < numCamera; ++c) {
        const int letter = c < pictures.size() ? pictures.at(c).toLatin1() : 'c';
        shown.push_back(std::max(0, int(QByteArray(kPictureLetters).indexOf(char(letter)))));
        wanted_[size_t(c)] = shown.back();
        if (lost_[size_t(c)]) continue;
        const bool again = opens && rig_.shownPicture(c) == shown.back();
        show(c, shown.back());
        if (again) rig_.retakePicture(c);
        if (opening) seen_.shownAt[size_t(c)] = opening;
    }
    // A pass waiting inside a box takes the newest frames with the edge itself.
    if (w_.runTimer->isActive() && !rig_.waitFor([&] { return grabbed(shown); }, kWaitMs))
        violate(QStringLiteral("the cameras did not show %1").arg(pictures));
    const bool judges = edgeJudges(bits);
    if (std::count(bits.begin(), bits.end(), kMouldOpen) && cycleTakesEdge()) {
        // A camera away keeps the edge until it is back.
        if (anyLost())
            pendingEdge_ = true;
        else if (awaitsFrame() && std::any_of(std::begin(w_.timerUp), std::end(w_.timerUp),
                                              [](QTimer* t) { return t && t->isActive(); }))
            model_.cycleStartsAfterPending();
        else
            model_.cycleStarts();
    }
    const qint64 judged = judgements_;
    inputs(bits, true);
    std::vector<int> mould;
    for (int bit : bits)
        if (bit != kDoor) mould.push_back(bit);
    if (!mould.empty()) inputs(mould, false);
    if (judges && judgements_ == judged)
        violate(QStringLiteral("a mould edge while detection runs judged nothing"));
}

// A pass since the last step may have armed a step (a latch kept under an alarm an answer
// lifted): the program drops every edge while a step counts its delay down, so the machine's
// next edge comes once the delays ran out.
void Walk::awaitDelays() {
    if (anyLost() || awaitsFrame() || !w_.runTimer->isActive()) return;
    // A pass held inside a box does not end: then nothing new was armed either.
    w_.runTimer->start(kPassSoonMs);
    if (!rig_.waitFor([&] { return w_.runTimer->interval() != kPassSoonMs; }, kPassBoundMs)) return;
    rig_.waitFor(
        [&] {
            return std::none_of(std::begin(w_.timerUp), std::end(w_.timerUp),
                                [](QTimer* t) { return t && t->isActive(); });
        },
        kWaitMs);
}

// Camera c is unplugged: its next grab reports the loss.
void Walk::loseCamera(int c) {
    if (c < 0 || c >= numCamera || lost_[size_t(c)]) return void(trace_ += '-');
    unplug(c);
    settle();
}

void Walk::unplug(int c) {
    lost_[size_t(c)] = true;
    rig_.unplug(c, true);
    if (w_.runTimer->remainingTime() > kPassSoonMs) w_.runTimer->start(kPassSoonMs);
    if (!rig_.waitFor([&] { return !view(c).isConnected; }, kWaitMs))
        violate(QStringLiteral("camera %1's loss was not seen").arg(c + 1));
    // Until its grab fails the window cannot know: a step before judges its frame rightly.
    model_.cameraLost(c);
}

// The mould opens on the pictures shown (with the second signal where the mould step waits for
// it) and camera c is unplugged before the step's delay ends: the step waits for the camera.
void Walk::openAndLose(int c) {
    if (c < 0 || c >= numCamera || anyLost() || !cycleTakesEdge()) return void(trace_ += '-');
    std::vector<int> bits{kMouldOpen};
    if (case_.mouldOnSecondSignal()) bits.push_back(kSecondSignal);
    model_.cycleStarts();
    quint32 word = level_[kDoor] ? 1u << kDoor : 0;
    for (int bit : bits) word |= 1u << bit;
    for (int bit : bits) level_[bit] = true;
    rig_.setInputs(word);
    rig_.waitInputTaken(kMouldOpen, true, kWaitMs);
    // On the external trigger the other cameras take the opening's pictures.
    if (case_.extTrigger)
        for (int k = 0; k < numCamera; ++k)
            if (k != c) rig_.retakePicture(k);
    unplug(c);
    inputs(bits, false);
}

// The lost cameras are plugged in again and show the pictures of the last edge. A camera back
// has no frame of its new link until the window took one: a frame it grabs while lost is none.
void Walk::camerasBack() {
    if (!anyLost()) return void(trace_ += '-');

    // The edge the pass kept while a camera was away starts its cycle now.
    if (std::exchange(pendingEdge_, false)) model_.cycleStarts();
    for (int c = 0; c < numCamera; ++c)
        if (lost_[size_t(c)]) rig_.unplug(c, false);
    // The window's frames are counted from the moment the camera's view is connected again.
    const bool back = rig_.waitFor(
        [&] {
            bool all = true;
            for (int c = 0; c < numCamera; ++c) {
                if (!view(c).isConnected)
                    all = false;
                else if (lost_[size_t(c)] && framesAtReturn_[size_t(c)] < 0)
                    framesAtReturn_[size_t(c)] = w_.frameCount[c];
            }
            return all;
        },
        kWaitMs);
    if (!back) violate(QStringLiteral("a camera did not come back"));
    for (int c = 0; c < numCamera; ++c) {
        if (!lost_[size_t(c)]) continue;
        lost_[size_t(c)] = false;
        show(c, wanted_[size_t(c)]);
    }
    settle();
}

void Walk::timePasses() {
    w_.TimerLogout();
    if (w_.clearNGAlarmTimer->isActive()) {
        w_.clearNGAlarmTimer->stop();
        w_.SlotClearNGAlarm();
    }
    settle();
}

// The no-input time-out runs out: the clamp is withheld until the next cycle.
void Walk::noInputPasses() {
    if (!w_.inCheckTimer->isActive()) return void(trace_ += '-');
    w_.inCheckTimer->stop();
    w_.InCheck();
    model_.noInputFired();
    settle();
}

// A line controller resets the counts through the register server.
void Walk::resetCounts() {
    readCounting();  // what the last line counted, before the reset starts the cycles again
    const cycletest::InterfaceCounts read = cycletest::readInterfaceCounts(w_, true);
    if (!read.error.isEmpty()) violate(QStringLiteral("the reset failed: %1").arg(read.error));
    model_.countersReset();
    settle();
}

// The camera-loss box's confirm powers the panel off while the loss it asks about lasts; once
// the cameras are back (the box not yet taken down by the pass that sees them) it does nothing.
void Walk::confirmCameraLoss() {
    if (!gpLostCameraWarnBox || !gpLostCameraWarnBox->isVisible()) return void(trace_ += '-');
    const bool before = testsupport::recorder().ran(QStringLiteral("poweroff"));
    const bool lasts = anyLost();
    lossConfirmed_ = true;
    gpLostCameraWarnBox->accept();
    settle();
    lossConfirmed_ = false;
    const bool off = !before && testsupport::recorder().ran(QStringLiteral("poweroff"));
    if (!before && lasts && !off)
        violate(QStringLiteral("the camera-loss box's confirm did not power off"));
    if (!lasts && off)
        violate(QStringLiteral("the camera-loss box's confirm powered off with the cameras back"));
}

void Walk::operate(const QString& name, const QString& arg) {
    const auto skipped = [this] { trace_ += '-'; };
    DrawROIWidget& p = page();
    const auto press = [&](QAbstractButton* b) {
        if (!b->isVisible()) return skipped();
        if (!arg.isEmpty()) p.cbCamera->setCurrentIndex(arg.toInt());
        seen_.chosen = arg.isEmpty() ? -1 : arg.toInt();
        if (b->isVisible()) b->click();
        seen_.chosen = -1;
    };
    if (name == "lostok") return confirmCameraLoss();
    if (name == "addtemp") return press(p.btnAddTemp);
    if (name == "ignore") return press(p.btnIgnoreAlarm);
    if (name == "delignore") return press(p.btnDeleteIgnore);
    if (name == "dontdetect") return markCamera(arg, [&] { press(p.btnNoCheck); });
    if (name == "redetect") return press(p.btnReCheck);
    if (name == "livetemp") {
        model_.judgementChanged();
        return press(p.btnAutoChange);
    }
    if (name == "return") {
        // The return from a re-sampling's area page gives the clamp before it judges the cycle.
        const bool fromTrain = gFromTrain;
        if (fromTrain) model_.clampGiven();
        press(p.btnReturn);
        if (fromTrain && resampling_ && !gFromTrain) model_.resampleReturned(w_.curDetect);
        return;
    }
    if (name == "edit") {
        if (!p.isVisible() || !p.page().holdsCopies()) return skipped();
        ++view(std::clamp(w_.curCamera, 0, numCamera - 1)).editParam->roiParam1[kMouldStep][0];
        return;
    }
    if (name == "next") return press(p.btnTempNext);
    if (name == "source") {
        if (!p.isVisible() || !p.cbSource->isVisible()) return skipped();
        return p.cbSource->setCurrentIndex(arg.toInt());
    }
    // The count alarm's box stands over every page.
    if (name == "count") {
        if (!gpProductAlarmWarnBox || !gpProductAlarmWarnBox->isVisible()) return skipped();
        if (arg == "n") {
            gpProductAlarmWarnBox->reject();
        } else {
            gpProductAlarmWarnBox->accept();
            if (!w_.productAlarm) {
                model_.countAlarmConfirmed();
                countUnknown_ = false;
            }
        }
        return settle();
    }
    // The tool bar and the settings screen are under the page while it is shown.
    WizardParaWidget& screen = *w_.wizardParaWidget;
    if (p.isVisible() || screen.isVisible()) return skipped();
    // The roads of the tool bar and the settings screen: the model follows none of them.
    model_.roadUnknown();
    countUnknown_ = true;
    if (name == "startstop") return w_.SlotStartStop();
    if (name == "resample") return w_.SlotReTrain();
    if (name == "areas") {
        w_.SlotAdjustArea();
        if (p.isVisible() && !arg.isEmpty() && p.cbSource->isVisible())
            p.cbSource->setCurrentIndex(arg.toInt());
        return;
    }
    w_.SlotSystemPara();
    if (screen.isVisible() && name == "settings") {
        if (arg.contains('l')) screen.session().edit().setLanguage(gLan == 0 ? 1 : 0);
        if (arg.contains('p')) {
            const QString next = gpWPara->passwordText() == QLatin1String("2468")
                                     ? QStringLiteral("1357")
                                     : QStringLiteral("2468");
            screen.session().setPasswordEntries(next, next);
        }
        screen.accept();
    } else if (screen.isVisible() && name == "restore") {
        settings::ParamGroupsPage& groups = *screen.groupsPage();
        groups.list()->setCurrentItem(groups.list()->findItems(arg, Qt::MatchExactly).value(0));
        groups.restore();
    } else if (screen.isVisible()) {
        screen.stop(name == "shutdown" ? settings::StopCommand::ShutDown
                                       : settings::StopCommand::Restart);
    }
    if (screen.isVisible()) screen.reject();
}

void Walk::stop() {
    stopped_ = true;
    recordsAtStop_ = records();
    diskAtStop_ = readDisk();
    stopClock_.start();
    dialogs::stopAll();
}

Where Walk::where() {
    if (page().isVisible()) return w_.resultState == 2 ? Where::AlarmPage : Where::AreaPage;
    return w_.wizardParaWidget->isVisible() ? Where::Settings : Where::ToolBar;
}

// The walk's own reading of what a box is about: it changes with everything the box's subject
// covers, and with nothing the operator could answer across.
std::vector<qint64> Walk::reading(Where where) {
    const bool alarm = w_.resultState == 2;
    const bool settings = w_.wizardParaWidget->isVisible();
    std::vector<qint64> r{qint64(w_.cycle().alarmSerial()), alarm};
    switch (where) {
        case Where::AlarmPage:
            r.insert(r.end(), {judgements_, releases_, page().page().opening(), gSource,
                               w_.curCamera, w_.curDetect});
            break;
        case Where::AreaPage:
            r.insert(r.end(), {page().page().opening(), w_.resultState});
            break;
        case Where::Settings:
            r.push_back(settings);
            break;
        case Where::ToolBar:
            r.insert(r.end(), {settings, page().isVisible()});
            break;
    }
    return r;
}

// What the operator sees of camera c: the kept failure on the recent failures, else the frame
// judged last.
QByteArray Walk::shownFrame(int c) {
    if (page().isVisible() && gSource == cameraview::kSourceRecentNg)
        return bytesOf(view(c).showBuf);
    return bytesOf(view(c).context.alignedBuf);
}

int Walk::answer(QDialog* d) {
    Box box;
    box.text = d->property("text").toString();
    box.label = QString::fromLatin1(d->metaObject()->className());
    for (int entry : kNamedBoxes)
        if (!box.text.isEmpty() && fits(box.text, lan(entry)))
            box.label = QStringLiteral("#%1").arg(entry);
    box.where = where();
    box.asked = reading(box.where);
    box.camera = seen_.chosen;
    for (int c = 0; c < numCamera; ++c)
        box.shown.push_back(
            {shownFrame(c), bytesOf(view(c).context.resultMask), areasOf(*view(c).editParam)});
    trace_ += QStringLiteral(" [") + box.label;
    if (stopped_) violate(QStringLiteral("a box was shown after the stop: %1").arg(box.label));

    ++openBoxes_;
    bool answered = false;
    while (!stopped_ && !stuck_ && next_ < case_.steps.size() && !answered) {
        const QString step = case_.steps[next_++];
        if (step == "yes" || step == "no") {
            box.yes = step == "yes";
            answered = true;
            trace_ += ' ' + step;
        } else {
            perform(step);
        }
    }
    --openBoxes_;
    if (!answered) {
        // The sequence ended (or the program stops) with the box open: confirmed late.
        box.yes = true;
        trace_ += QStringLiteral(" late");
    }
    box.stale = reading(box.where) != box.asked;
    box.afterStop = stopped_;
    box.recordsAtAnswer = records();
    trace_ += box.stale ? QStringLiteral(" (changed)]") : QStringLiteral("]");
    answered_.push_back(box);
    if (auto* password = qobject_cast<PasswordBox*>(d)) {
        if (!box.yes) return QDialog::Rejected;
        password->setEnteredPassword(gpWPara->passwordText());
        password->accept();
        return password->result();
    }
    return box.yes ? QDialog::Accepted : QDialog::Rejected;
}

}  // namespace walk
