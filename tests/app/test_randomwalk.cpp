// A random walk over the whole main window. Sequences drawn from fixed seeds drive what the
// machine and the operator do: mould-open edges and door closes with clean or faulty moulds, the
// alarm's release timer, the alarm page's answers, the tool bar, the settings confirm, group
// restores, Shut Down and Restart, and the program's stop. A box stays open across the machine's
// events (its answerer runs them) until the sequence answers it; a box still open when the
// sequence ends is confirmed then. After every step the invariants are read from the IO board's
// outputs, the files on disk and the window:
//  - an alarm on screen holds the clamp, and an NG judged and not answered keeps its alarm on
//    screen; a mould-open edge while detection runs is judged;
//  - a template, an ignore mask or an area changes only by a confirmed answer whose subject held,
//    and only to what was on screen when it was asked (a group restore: to the group's);
//  - an answer declined, or given after its subject changed, records no deed;
//  - the panel is neither restarted nor powered off under an alarm;
//  - every box is asked about a subject; the program's stop ends every road within its bound and
//    nothing acts after it.
// MOULDMON_WALK_SEEDS=N walks N seeds from MOULDMON_WALK_FIRST (default 1) instead of kSeeds. A
// failing walk prints its seed and its case line; such lines are kept in kKeptCases.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QListWidget>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "cammersingleton.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "cyclefakes.h"
#include "demoseed.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "dialogseam.h"
#include "drawroiwidget.h"
#include "edit.h"
#include "globals.h"
#include "mouldscene.h"
#include "paramgroupspage.h"
#include "passwordbox.h"
#include "recordingsystemactions.h"
#include "settingssession.h"
#include "startup.h"
#include "statisticsconstants.h"
#include "systemcommands.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

using cycletest::WindowRig;

namespace {

constexpr int kCameras = 2;
constexpr int kClamp = 0;
constexpr int kAlarmOutput = 2;
constexpr int kMouldOpen = 0;  // input terminal 1
constexpr int kDoor = 1;       // the safety door: closing it re-detects during an alarm
constexpr int kMouldStep = 1;  // the only step (product detection off)
constexpr int kWaitMs = 10000;
constexpr int kPassSoonMs = 5;
// Under the sanitizers a walk is several times slower and looks for memory faults, not new
// sequences: fewer seeds there, the kept cases all the same.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSeeds = 8;
#else
constexpr int kSeeds = 30;
#endif
constexpr int kSteps = 30;
// The stop waits for the statistics at most this long; the roads unwind within the rest.
constexpr int kStopBoundMs = stats::kStopSaveWaitMs + 2000;
// A walk still going after this is stuck: its case is printed before the test's time-out.
constexpr int kWalkBoundS = 120;

// Cases walks once failed on, shrunk to the steps that broke an invariant (a failing walk prints
// its case line), walked on every run.
const char* const kKeptCases[] = {
    // A door re-check that still fails, during "Add As Temp": the unseen frame became template
    // 1; during "Ignore Alarm P": its pixels were ignored; during "Don't Detect" (one camera,
    // every camera, its password) the mould nobody saw was let go; during "Del Ignored P" the
    // points went; during the save question of an edited area the area was saved.
    "- | edge:pc addtemp:0 door:rc yes",
    "- | edge:pc ignore:0 door:rc yes",
    "- | edge:pc dontdetect:0 door:rc yes",
    "- | edge:pc dontdetect:2 door:rc yes",
    "psw | edge:pc dontdetect:2 door:rc yes yes",
    "- | edge:pc delignore:0 door:rc yes",
    "- | edge:pc edit redetect:0 door:rc yes",
    // The stop question open across an alarm its timer released: detection was stopped.
    "release | startstop edge:pc time yes",
    // Shut Down and Restart, and the password notice of a language change, open across an
    // alarm: the panel went down under it.
    "- | shutdown edge:pc yes",
    "- | restart edge:pc yes",
    "- | settings:lp yes edge:pc yes",
    // A group of another detection mode restored without the restart: the next failed mould
    // was judged by nothing.
    "- | restore:other yes edge:pc",
    // A mould that failed while the areas were checked after a re-sampling, the safety door
    // opened meanwhile: on the return its alarm was raised with the clamp let go and the alarm
    // output off.
    "- | resample yes edge:pc edge:rp door:cr return",
    // Questions answered while the program stops: the mould was let go, the panel restarted.
    "- | edge:pc dontdetect:2 stop",
    "- | settings:l stop",
};

enum Picture { Clean, PinMissing, RunnerBlocked, PartLeft, PictureCount };
const char kPictureLetters[] = "cprl";

// The pictures every camera serves: a clean open mould, then faults of growing size.
const std::vector<QImage>& pictures() {
    static const std::vector<QImage> drawn = [] {
        std::vector<QImage> all;
        for (int p = 0; p < PictureCount; ++p) {
            mouldpictures::CavityScene scene;
            scene.pinMissing = p == PinMissing;
            scene.runnerBlocked = p == RunnerBlocked;
            scene.partLeft = p == PartLeft;
            all.push_back(
                mouldpictures::drawCavityHalf(scene).convertToFormat(QImage::Format_Grayscale8));
        }
        return all;
    }();
    return drawn;
}

QByteArray rowsOf(const QImage& grey) {
    QByteArray bytes;
    for (int y = 0; y < grey.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(grey.constScanLine(y)), grey.width());
    return bytes;
}

// The grey bytes of each picture, as the cameras deliver them.
const std::vector<QByteArray>& pictureBytes() {
    static const std::vector<QByteArray> bytes = [] {
        std::vector<QByteArray> all;
        for (const QImage& picture : pictures()) all.push_back(rowsOf(picture));
        return all;
    }();
    return bytes;
}

QByteArray greyBytes(const QString& path) {
    if (!QFile::exists(path)) return {};
    return rowsOf(QImage(path).convertToFormat(QImage::Format_Grayscale8));
}

QByteArray bytesOf(const std::vector<uchar>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

// Whether a text is the language entry with its %1 filled in, or holds an entry without one.
bool fits(const QString& text, const QString& entry) {
    const QStringList parts = entry.split(QStringLiteral("%1"));
    if (parts.size() == 1) return text.contains(entry);
    return text.startsWith(parts.first()) && text.endsWith(parts.last());
}

// What an answer records when it acts (language entries of the question and of the record).
const struct {
    int question;
    int record;
} kDeeds[] = {
    {102, 103}, {105, 106}, {108, 109}, {113, 114}, {116, 117},
    {137, 139}, {140, 141}, {285, 286}, {291, 292}, {318, 319},
};
// The entries the walk names its boxes by; any other box goes by its class.
const int kNamedBoxes[] = {72,  102, 105, 107, 108, 113, 115, 116, 137,
                           140, 195, 258, 279, 285, 291, 293, 318};

struct Case {
    bool password = false;      // the operator password is on and guards the answers
    bool timedRelease = false;  // the mould alarm has a release timer ("time" fires it)
    QStringList steps;

    QString line() const {
        QStringList config;
        if (password) config << QStringLiteral("psw");
        if (timedRelease) config << QStringLiteral("release");
        return (config.isEmpty() ? QStringLiteral("-") : config.join(',')) + QStringLiteral(" | ") +
               steps.join(' ');
    }
    static Case parse(const QString& line) {
        Case c;
        c.password = line.section('|', 0, 0).contains(QLatin1String("psw"));
        c.timedRelease = line.section('|', 0, 0).contains(QLatin1String("release"));
        c.steps = line.section('|', 1).split(' ', Qt::SkipEmptyParts);
        return c;
    }
};

// What a sequence does, with how often each is drawn. edge and door carry the pictures of the
// two cameras; a press on the alarm page the camera chosen first (2: all); settings what the
// confirm changes (l the language, p the password); restore the group (other: one of another
// detection mode).
const struct {
    const char* name;
    int weight;
} kAlphabet[] = {
    {"edge", 6},     {"door", 3},   {"time", 2},      {"yes", 4},        {"no", 2},
    {"addtemp", 2},  {"ignore", 2}, {"delignore", 1}, {"dontdetect", 2}, {"redetect", 2},
    {"livetemp", 1}, {"edit", 1},   {"return", 1},    {"startstop", 1},  {"settings", 1},
    {"resample", 1}, {"areas", 1},  {"restore", 1},   {"shutdown", 1},   {"restart", 1},
};
const char* const kPagePresses[] = {"addtemp",    "ignore",   "delignore",
                                    "dontdetect", "redetect", "livetemp"};

Case drawCase(quint32 seed) {
    QRandomGenerator r(seed);
    Case c;
    c.password = r.bounded(2);
    c.timedRelease = r.bounded(2);
    int total = 0;
    for (const auto& a : kAlphabet) total += a.weight;
    // Camera 1 shows a fault more often than camera 2.
    const auto picture = [&r](int cleanWeight) {
        const int k = r.bounded(cleanWeight + PictureCount - 1);
        return QChar(kPictureLetters[k < cleanWeight ? Clean : k - cleanWeight + 1]);
    };
    for (int i = 0; i < kSteps; ++i) {
        int pick = r.bounded(total);
        const auto* a = std::begin(kAlphabet);
        while (pick >= a->weight) pick -= (a++)->weight;
        QString step = QLatin1String(a->name);
        if (step == "edge" || step == "door") {
            const QChar first = picture(2);
            step += ':' + QString(first) + picture(6);
        } else if (std::count(std::begin(kPagePresses), std::end(kPagePresses), step)) {
            // Camera 1 most often: the one that fails most.
            const int k = r.bounded(4);
            step += QStringLiteral(":%1").arg(k < 2 ? 0 : k - 1);
        } else if (step == "settings") {
            step += ':';
            if (r.bounded(2)) step += 'l';
            if (r.bounded(2)) step += 'p';
        } else if (step == "restore") {
            step += r.bounded(2) ? QStringLiteral(":other") : QStringLiteral(":same");
        }
        c.steps << step;
    }
    if (r.bounded(4) == 0) c.steps << QStringLiteral("stop");
    return c;
}

// The stored areas of a camera's mould step, as far as an answer can change them.
QVector<int> areasOf(const CammerSingleton& p) {
    QVector<int> f{p.roiCount[kMouldStep]};
    for (int i = 0; i < std::clamp(p.roiCount[kMouldStep], 0, roi::kMaxRois); ++i) {
        const QRect r = p.rects[kMouldStep][i].showRect;
        f << p.roiFunc[kMouldStep][i] << p.roiParam1[kMouldStep][i] << p.roiParam2[kMouldStep][i]
          << p.roiParam3[kMouldStep][i] << p.roiShapeType[kMouldStep][i] << r.x() << r.y()
          << r.width() << r.height();
    }
    return f;
}

// The files an answer may change: templates, ignore masks, areas.
struct Disk {
    std::map<QString, QByteArray> templates;  // "cammer12/template1.bmp": grey bytes
    std::vector<QByteArray> masks;            // per camera, empty without a file
    std::vector<QVector<int>> areas;          // per camera
    bool operator==(const Disk& o) const {
        return templates == o.templates && masks == o.masks && areas == o.areas;
    }
};

Disk readDisk() {
    Disk d;
    for (int c = 0; c < kCameras; ++c) {
        const QDir folder(QStringLiteral("cammer%1%2").arg(c + 1).arg(kMouldStep + 1));
        for (const QString& name : folder.entryList({QStringLiteral("template*.bmp")}, QDir::Files))
            d.templates[folder.path() + '/' + name] = greyBytes(folder.filePath(name));
        d.masks.push_back(greyBytes(folder.filePath(QStringLiteral("ignorepoint.bmp"))));
        std::unique_ptr<CammerSingleton> stored(new CammerSingleton(c));
        stored->LoadDatafromFile(WizardPara::paramDatabase(), 1.0f, 1.0f, nullptr);
        d.areas.push_back(areasOf(*stored));
    }
    return d;
}

// Where a box was asked, which decides what its answer is about.
enum class Where { AlarmPage, AreaPage, Settings, ToolBar };

// One box as the walk saw it: what the window showed when it opened, and how it was answered.
struct Box {
    QString text;
    QString label;
    Where where = Where::ToolBar;
    std::vector<qint64> asked;  // the walk's reading of its subject when it opened
    struct Shown {
        QByteArray frame;   // the judged frame
        QByteArray found;   // the pixels the regions found
        QVector<int> edit;  // the areas being edited
    };
    std::vector<Shown> shown;  // per camera
    bool yes = false;
    bool stale = false;  // the reading changed before the answer
    bool afterStop = false;
    int recordsAtAnswer = 0;
    bool acts() const { return yes && !stale && !afterStop; }
};

class Walk;
Walk* gWalk = nullptr;
QtMessageHandler gPreviousHandler = nullptr;

class Walk {
public:
    Walk(WindowRig& rig, const Case& c, const Disk& groups)
        : rig_(rig), w_(rig.window()), case_(c), groups_(groups) {}

    void run();
    void heard(const QString& text);
    const QStringList& violations() const { return violations_; }
    const QString& trace() const { return trace_; }

private:
    DrawROIWidget& page() { return *w_.drawROIWidget; }
    CammerWidget& view(int c) { return *w_.cammerWidgets[c]; }
    int records() const { return rig_.records().size(); }
    bool retraining();
    void violate(const QString& what);
    void settle();
    void perform(const QString& step);
    void machine(const std::function<void()>& act);
    bool grabbed(const std::vector<int>& shown);
    void input(int bit, bool on);
    void signal(int bit, const QString& pictures);
    void timePasses();
    void operate(const QString& name, const QString& arg);
    void stop();
    void finishStop();
    int answer(QDialog* d);
    Where where();
    std::vector<qint64> reading(Where where);
    void check(const QString& step, int askedBefore);
    void checkDeeds();
    void checkDisk(const Disk& before, const Disk& now);
    void checkOutputs(const QString& step);

    WindowRig& rig_;
    DeRaRazovi& w_;
    const Case& case_;
    const Disk& groups_;  // what a restore brings back
    std::unique_ptr<dialogs::ScopedAnswerer> answers_;
    int next_ = 0;
    int openBoxes_ = 0;
    QString trace_;
    QStringList violations_;
    QString step_;                              // the top-level step, for the violations
    Disk disk_;                                 // as the last step left it
    std::vector<Box> answered_;                 // the boxes of the top-level step
    std::vector<std::pair<int, int>> machine_;  // records written by the machine's events
    qint64 judgements_ = 0;                     // result lines of the cycle
    qint64 releases_ = 0;                       // alarms released by their timer
    bool unanswered_ = false;                   // the last judgement failed and stands
    bool resampling_ = false;                   // a confirmed re-sampling is under way
    bool level_[2] = {};                        // the mould open, the door closed
    quint32 quietAlarm_ = 0;  // the alarm whose output the switch to the templates ended
    bool stopped_ = false;
    QElapsedTimer stopClock_;
    int recordsAtStop_ = 0;
    Disk diskAtStop_;
};

void Walk::violate(const QString& what) {
    const QString line = QStringLiteral("%1: %2").arg(step_, what);
    if (!violations_.contains(line)) violations_ << line;
}

void Walk::heard(const QString& text) {
    if (text.startsWith(QLatin1String("Detection result:"))) {
        ++judgements_;
        if (text.endsWith(QLatin1String(" OK")))
            unanswered_ = false;
        else if (!text.contains(QLatin1String("detected again")))
            unanswered_ = true;
    } else if (text.startsWith(QLatin1String("NG alarm released by its timer"))) {
        ++releases_;
        unanswered_ = false;
    }
}

bool Walk::retraining() {
    bool pending = gFromTrain != 0;
    for (int c = 0; c < kCameras; ++c)
        for (int d = 0; d < kMaxDetections; ++d) pending |= view(c).reTrainPending[d] != 0;
    return pending;
}

void Walk::settle() {
    rig_.waitFor(
        [&] {
            for (QTimer* t : w_.timerUp)
                if (t && t->isActive()) return false;
            quint32 word = 0;
            {
                QMutexLocker lock(pMutexIO);
                word = gDataOut;
            }
            // The board has taken the outputs the window set last.
            for (int bit = 0; bit < 4; ++bit)
                if (rig_.output(bit) != rig_.levelIn(word, bit)) return false;
            return !w_.reCheckPending;
        },
        kWaitMs);
}

void Walk::run() {
    answers_ = std::make_unique<dialogs::ScopedAnswerer>([this](QDialog* d) { return answer(d); });
    const int withoutSubject = dialogs::boxesRunWithoutSubject();
    for (const char* program : {"reboot", "poweroff"}) {
        testsupport::recorder().scriptCommand(program, [this, program](const QStringList&) {
            if (stopped_)
                violate(QStringLiteral("%1 asked after the stop").arg(program));
            else if (w_.resultState == 2 || unanswered_)
                violate(QStringLiteral("%1 asked under an alarm").arg(program));
            return sys::CommandResult{true, 0, {}};
        });
    }
    input(kDoor, true);
    disk_ = readDisk();
    while (next_ < case_.steps.size() && !stopped_) {
        const QString step = case_.steps[next_++];
        step_ = QStringLiteral("step %1 (%2)").arg(next_).arg(step);
        const int asked = answers_->count();
        answered_.clear();
        machine_.clear();
        perform(step);
        check(step, asked);
    }
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
    if (name == "edge" || name == "door")
        return machine([&] { signal(name == "edge" ? kMouldOpen : kDoor, arg); });
    if (name == "time") return machine([&] { timePasses(); });
    if (name == "stop") return stop();
    // Nothing to answer, or a box covers the window: the operator cannot press.
    if (name == "yes" || name == "no" || openBoxes_ > 0) {
        trace_ += '-';
        return;
    }
    operate(name, arg);
}

void Walk::machine(const std::function<void()>& act) {
    const int from = records();
    act();
    machine_.emplace_back(from, records());
}

bool Walk::grabbed(const std::vector<int>& shown) {
    for (int c = 0; c < kCameras; ++c) {
        if (bytesOf(view(c).context.grabBuf) == pictureBytes()[size_t(shown[c])]) continue;
        // The next pass takes the frames: sooner than its period, as an input change brings it.
        if (w_.runTimer->remainingTime() > kPassSoonMs) w_.runTimer->start(kPassSoonMs);
        return false;
    }
    return true;
}

void Walk::input(int bit, bool on) {
    level_[bit] = on;
    rig_.setInput(bit, on);
    rig_.waitInputTaken(bit, on, kWaitMs);
    settle();
}

// The mould opens and closes again, or the safety door (closed between its steps) is opened
// and closed again: closed during an alarm, it re-detects. The cameras show `pictures` (one
// letter a camera) from the moment the mould or the door is open.
void Walk::signal(int bit, const QString& pictures) {
    // The door rests closed and is opened first; the mould rests closed, but is still open when
    // the step of an edge asked what this box is about.
    if (level_[bit]) input(bit, false);
    std::vector<int> shown;
    for (int c = 0; c < kCameras; ++c) {
        shown.push_back(int(QByteArray(kPictureLetters).indexOf(pictures.at(c).toLatin1())));
        rig_.showPicture(c, shown.back());
    }
    // A pass waiting inside a box takes the newest frames with the edge itself.
    if (w_.runTimer->isActive() && !rig_.waitFor([&] { return grabbed(shown); }, kWaitMs))
        violate(QStringLiteral("the cameras did not show %1").arg(pictures));
    const bool judges = bit == kMouldOpen && w_.detectState == 1 && w_.resultState != 2 &&
                        !w_.productAlarm && !retraining();
    const qint64 judged = judgements_;
    input(bit, true);
    if (bit == kMouldOpen) input(kMouldOpen, false);
    if (judges && judgements_ == judged)
        violate(QStringLiteral("a mould-open edge while detection runs judged nothing"));
}

void Walk::timePasses() {
    w_.TimerLogout();
    if (w_.clearNGAlarmTimer->isActive()) {
        w_.clearNGAlarmTimer->stop();
        w_.SlotClearNGAlarm();
    }
    settle();
}

void Walk::operate(const QString& name, const QString& arg) {
    const auto skipped = [this] { trace_ += '-'; };
    DrawROIWidget& p = page();
    const auto press = [&](QAbstractButton* b) {
        if (!b->isVisible()) return skipped();
        if (!arg.isEmpty()) p.cbCamera->setCurrentIndex(arg.toInt());
        if (b->isVisible()) b->click();
    };
    if (name == "addtemp") return press(p.btnAddTemp);
    if (name == "ignore") return press(p.btnIgnoreAlarm);
    if (name == "delignore") return press(p.btnDeleteIgnore);
    if (name == "dontdetect") return press(p.btnNoCheck);
    if (name == "redetect") return press(p.btnReCheck);
    if (name == "livetemp") return press(p.btnAutoChange);
    if (name == "return") return press(p.btnReturn);
    if (name == "edit") {
        if (!p.isVisible() || !p.page().holdsCopies()) return skipped();
        ++view(std::clamp(w_.curCamera, 0, kCameras - 1)).editParam->roiParam1[kMouldStep][0];
        return;
    }
    // The tool bar and the settings screen are under the page while it is shown.
    WizardParaWidget& screen = *w_.wizardParaWidget;
    if (p.isVisible() || screen.isVisible()) return skipped();
    if (name == "startstop") return w_.SlotStartStop();
    if (name == "resample") return w_.SlotReTrain();
    if (name == "areas") return w_.SlotAdjustArea();
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

int Walk::answer(QDialog* d) {
    Box box;
    box.text = d->property("text").toString();
    box.label = QString::fromLatin1(d->metaObject()->className());
    for (int entry : kNamedBoxes)
        if (!box.text.isEmpty() && fits(box.text, lan(entry)))
            box.label = QStringLiteral("#%1").arg(entry);
    box.where = where();
    box.asked = reading(box.where);
    for (int c = 0; c < kCameras; ++c)
        box.shown.push_back({bytesOf(view(c).context.alignedBuf),
                             bytesOf(view(c).context.resultMask), areasOf(*view(c).editParam)});
    trace_ += QStringLiteral(" [") + box.label;
    if (stopped_) violate(QStringLiteral("a box was shown after the stop: %1").arg(box.label));

    ++openBoxes_;
    bool answered = false;
    while (!stopped_ && next_ < case_.steps.size() && !answered) {
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

void Walk::check(const QString& step, int askedBefore) {
    if (stopped_)
        finishStop();
    else
        settle();
    checkDeeds();
    const Disk now = stopped_ ? diskAtStop_ : readDisk();
    checkDisk(disk_, now);
    disk_ = now;
    for (int i = askedBefore; i < answers_->count(); ++i)
        if (!answers_->asked()[i].aboutSubject)
            violate(QStringLiteral("a box asked without a subject: %1 %2")
                        .arg(answers_->asked()[i].className,
                             answers_->asked()[i].text.simplified().left(40)));
    if (!stopped_) checkOutputs(step);
}

void Walk::finishStop() {
    stopBeforeWindowGoes();
    if (stopClock_.elapsed() > kStopBoundMs)
        violate(QStringLiteral("the stop took %1 ms").arg(stopClock_.elapsed()));
    if (records() != recordsAtStop_) violate(QStringLiteral("records written after the stop"));
    if (!(readDisk() == diskAtStop_)) violate(QStringLiteral("files changed after the stop"));
}

// An answer declined, given after its subject changed, or after the stop records no deed.
void Walk::checkDeeds() {
    const QStringList records = rig_.records();
    for (const Box& b : answered_) {
        if (b.acts()) continue;
        const QString how = b.stale ? QStringLiteral("after its subject changed")
                            : b.yes ? QStringLiteral("after the stop")
                                    : QStringLiteral("No");
        for (const auto& deed : kDeeds) {
            if (!fits(b.text, lan(deed.question))) continue;
            for (int i = b.recordsAtAnswer; i < records.size(); ++i) {
                const bool byMachine = std::any_of(
                    machine_.begin(), machine_.end(),
                    [i](const auto& span) { return i >= span.first && i < span.second; });
                if (!byMachine && fits(records[i], lan(deed.record)))
                    violate(QStringLiteral("%1 answered %2 did its deed: %3")
                                .arg(b.label, how, records[i]));
            }
        }
    }
}

void Walk::checkOutputs(const QString& step) {
    const QString name = step.section(':', 0, 0);
    const bool alarm = w_.resultState == 2;
    // The page's answers that may lift the alarm: the engine decides whether they do.
    if ((name == "redetect" || name == "addtemp" || name == "dontdetect") &&
        std::none_of(answered_.begin(), answered_.end(), [](const Box& b) { return b.stale; }))
        unanswered_ = alarm;
    if (name == "livetemp" && alarm) quietAlarm_ = w_.cycle().alarmSerial();
    if (alarm && !rig_.output(kClamp))
        violate(QStringLiteral("an alarm is on screen and the clamp is not held"));
    if (alarm && !rig_.output(kAlarmOutput) && quietAlarm_ != w_.cycle().alarmSerial())
        violate(QStringLiteral("an alarm is on screen and the alarm output is off"));
    if (unanswered_ && !alarm) {
        violate(QStringLiteral("a failed mould stands unanswered and no alarm is on screen"));
        unanswered_ = false;  // told once
    }
    resampling_ = resampling_ && retraining();
}

void Walk::checkDisk(const Disk& before, const Disk& now) {
    const auto confirmed = [this](int entry, const std::function<bool(const Box&)>& matches) {
        return std::any_of(answered_.begin(), answered_.end(), [&](const Box& b) {
            return b.acts() && fits(b.text, lan(entry)) && matches(b);
        });
    };
    const auto always = [](const Box&) { return true; };
    const bool restored = confirmed(285, always);
    resampling_ = resampling_ || confirmed(137, always);
    const std::vector<QByteArray>& pictures = pictureBytes();

    std::map<QString, QByteArray> names = before.templates;
    names.insert(now.templates.begin(), now.templates.end());
    for (const auto& entry : names) {
        const QString& name = entry.first;
        const auto was = before.templates.find(name);
        const auto is = now.templates.find(name);
        const QByteArray after = is == now.templates.end() ? QByteArray() : is->second;
        if (was != before.templates.end() && was->second == after) continue;
        const int c = name.mid(6, 1).toInt() - 1;
        const auto group = groups_.templates.find(name);
        const bool ok =
            (restored &&
             after == (group == groups_.templates.end() ? QByteArray() : group->second)) ||
            (resampling_ &&
             (after.isEmpty() ? !name.endsWith(QLatin1String("template0.bmp"))
                              : std::count(pictures.begin(), pictures.end(), after) != 0)) ||
            confirmed(108,
                      [&](const Box& b) { return after.isEmpty() || b.shown[c].frame == after; });
        if (!ok)
            violate(QStringLiteral("%1 changed without a confirmed answer about what was shown")
                        .arg(name));
    }
    for (int c = 0; c < kCameras; ++c) {
        const QByteArray& was = before.masks[c];
        const QByteArray& is = now.masks[c];
        if (was != is) {
            const bool cleared = std::count(is.begin(), is.end(), 0) == is.size();
            const auto onlyShown = [&](const Box& b) {
                if (is.size() != b.shown[c].found.size()) return false;
                for (int i = 0; i < is.size(); ++i)
                    if (is[i] && !(was.size() == is.size() && was[i]) && !b.shown[c].found[i])
                        return false;
                return true;
            };
            const bool ok = (restored && is == groups_.masks[c]) ||
                            ((resampling_ || confirmed(116, always)) && cleared) ||
                            confirmed(113, onlyShown);
            if (!ok)
                violate(QStringLiteral("the ignore points of camera %1 changed without a "
                                       "confirmed answer about what was shown")
                            .arg(c + 1));
        }
        if (before.areas[c] != now.areas[c]) {
            const bool ok =
                (restored && now.areas[c] == groups_.areas[c]) ||
                confirmed(72, [&](const Box& b) { return b.shown[c].edit == now.areas[c]; });
            if (!ok)
                violate(QStringLiteral("the areas of camera %1 changed without a confirmed answer "
                                       "about what was edited")
                            .arg(c + 1));
        }
    }
}

void heard(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (gWalk && QThread::currentThread() == qApp->thread()) gWalk->heard(text);
    if (gPreviousHandler) gPreviousHandler(type, context, text);
}

// Prints the case of a walk that does not end, before the test's time-out ends it silently.
class Watchdog {
public:
    explicit Watchdog(const QString& what)
        : what_(what.toStdString()), thread_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (ended_.wait_for(lock, std::chrono::seconds(kWalkBoundS),
                                  [this] { return done_; }))
                  return;
              std::fprintf(stderr, "walk stuck after %d s: %s\n", kWalkBoundS, what_.c_str());
              std::fflush(stderr);
              std::abort();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        ended_.notify_all();
        thread_.join();
    }

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

// Two simulation cameras in standard mode with the product step off, the demonstration's areas
// and templates, two template slots; backs up the configuration as group "same", and as group
// "other" of the two-colour mode. Returns the files the groups hold.
std::unique_ptr<WindowRig> startWindow(const Case& c, Disk* groups) {
    cycletest::RigScenes scenes;
    scenes.pictures = [](int) { return pictures(); };
    scenes.regions = [](QSqlDatabase& db, int) {
        workdirdemo::DemoOptions demo;
        demo.pictureRoot = QDir::current().filePath(QStringLiteral("sim"));
        demo.display = QSize(gShowW, gShowH);
        return workdirdemo::seedDemoRegions(db, demo).ok;
    };
    auto rig = std::make_unique<WindowRig>(
        kCameras,
        [&c](WizardPara& p) {
            cycletest::setOptions(p, "detectMode=0 detectProdEnable=0 detectEnable[0]=0");
            p.tempNum = 2;
            p.picNumNG = p.picNumOK = 5;
            p.alarmArea = 20;  // the missing pin fails too
            p.isPswUsed = p.pswAddTemp = p.pswNotDetect = p.pswStopDetect = c.password;
            p.setPassword(QStringLiteral("2468"));
            p.moldNGTimedRelease = c.timedRelease;
            p.output4Pulse = 600;  // released by the walk's "time" only
        },
        testsupport::recorder(), scenes);
    if (!rig->ok()) return rig;
    DeRaRazovi& w = rig->window();
    w.setGeometry(0, 0, gShowW, gShowH);
    w.show();
    {
        dialogs::ScopedAnswerer yes([](QDialog* d) {
            if (auto* password = qobject_cast<PasswordBox*>(d)) {
                password->setEnteredPassword(gpWPara->passwordText());
                password->accept();
            }
            return int(QDialog::Accepted);
        });
        w.SlotSystemPara();
        settings::ParamGroupsPage& page = *w.wizardParaWidget->groupsPage();
        for (const char* name : {"other", "same"}) {
            page.nameField()->setText(QLatin1String(name));
            page.backup();
        }
        w.wizardParaWidget->reject();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "walkGroup");
            db.setDatabaseName(QStringLiteral("paraGroup/other/PARAM.db"));
            auto para = std::make_unique<WizardPara>();
            int language = gLan, steps = 0;
            if (db.open() && para->readStored(db, &language, &steps)) {
                para->detectMode = para->detectModeNext = 1;
                para->SaveDatatoFile(db);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("walkGroup"));
        page.reload();
    }
    w.loginLevel = Unlogged;
    *groups = readDisk();
    return rig;
}

}  // namespace

TEST(RandomWalk, SequencesFromFixedSeedsBreakNoInvariant) {
    std::vector<std::pair<QString, Case>> cases;
    for (const char* kept : kKeptCases)
        cases.emplace_back(QStringLiteral("kept case"), Case::parse(QLatin1String(kept)));
    const int first = qEnvironmentVariableIsSet("MOULDMON_WALK_FIRST")
                          ? qEnvironmentVariableIntValue("MOULDMON_WALK_FIRST")
                          : 1;
    const int seeds = qEnvironmentVariableIsSet("MOULDMON_WALK_SEEDS")
                          ? qEnvironmentVariableIntValue("MOULDMON_WALK_SEEDS")
                          : kSeeds;
    for (int seed = first; seed < first + seeds; ++seed)
        cases.emplace_back(QStringLiteral("seed %1").arg(seed), drawCase(quint32(seed)));
    if (qEnvironmentVariableIsSet("MOULDMON_WALK_CASE"))
        cases = {{QStringLiteral("case"), Case::parse(qEnvironmentVariable("MOULDMON_WALK_CASE"))}};

    const int language = gLan;
    gPreviousHandler = qInstallMessageHandler(heard);
    for (const auto& [name, c] : cases) {
        Watchdog watchdog(name + QStringLiteral(": ") + c.line());
        testsupport::recorder().clear();
        Disk groups;
        std::unique_ptr<WindowRig> rig = startWindow(c, &groups);
        ASSERT_TRUE(rig->ok()) << rig->error().toStdString();
        Walk walk(*rig, c, groups);
        gWalk = &walk;
        walk.run();
        gWalk = nullptr;
        rig.reset();
        gLan = language;
        EXPECT_TRUE(walk.violations().isEmpty())
            << name.toStdString() << "\n  case: " << c.line().toStdString()
            << "\n  walked:" << walk.trace().toStdString() << "\n  "
            << walk.violations().join(QStringLiteral("\n  ")).toStdString();
    }
    qInstallMessageHandler(gPreviousHandler);
}
