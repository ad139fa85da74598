// A random walk over the whole main window. Each seed draws the machine's set-up (1 to 4
// cameras, the product step, semi-automatic with its two step delays in either order, pulses
// instead of the mould's or the product's alarm, the production-count alarm, the safety door's
// options, the timed release, the camera-loss box) and a sequence of what the machine and the
// operator do: mould-open edges, second signals and both in one pass, door closes, with clean or
// faulty moulds, a camera unplugged and plugged in again, the alarm's release timer, the count
// box's answers, the page's answers and sources, the tool bar, the settings confirm, group
// restores, Shut Down and Restart, and the program's stop. A box stays open across the machine's
// events (its answerer runs them) until the sequence answers it; a box still open when the
// sequence ends is confirmed then. After every step the invariants are read from the IO board's
// outputs, the files on disk, the window and the remote interfaces' counts:
//  - an alarm on screen holds the clamp, and an NG judged and not answered by a pulse keeps its
//    alarm on screen; a mould-open edge that starts a step while detection runs is judged;
//  - a step passes a camera only on a frame taken after its trigger;
//  - a template, an ignore mask or an area changes only by a confirmed answer whose subject held,
//    and only to what was on screen when it was asked (a group restore: to the group's);
//  - the page on the recent failures shows the kept frame its caption names;
//  - an answer declined, or given after its subject changed, records no deed;
//  - the register server, the HTTP API and the counter file count the same cycles;
//  - the panel is neither restarted nor powered off under an alarm;
//  - every box is asked about a subject; the program's stop ends every road within its bound and
//    nothing acts after it.
// MOULDMON_WALK_SEEDS=N walks N seeds from MOULDMON_WALK_FIRST (default 1) instead of kSeeds;
// MOULDMON_WALK_CASE walks one case line alone. A failing walk prints its seed and its case
// line; such lines are kept in kKeptCases.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QListWidget>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSettings>
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

#include "apidocuments.h"
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
#include "modbusdatasource.h"
#include "mouldscene.h"
#include "outputplan.h"
#include "paramgroupspage.h"
#include "passwordbox.h"
#include "productalarmwarnbox.h"
#include "recordingsystemactions.h"
#include "settingssession.h"
#include "startup.h"
#include "statisticsconstants.h"
#include "steprules.h"
#include "systemcommands.h"
#include "testsupport.h"
#include "viewlimits.h"
#include "windowrig.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

using cycletest::WindowRig;

namespace {

constexpr int kClamp = 0;
constexpr int kAlarmOutput = 2;
constexpr int kMouldOpen = 0;     // input terminal 1
constexpr int kDoor = 1;          // the safety door: closing it re-detects during an alarm
constexpr int kSecondSignal = 2;  // input terminal 3: the mould step's signal in semi-automatic
constexpr int kMouldStep = 1;
constexpr int kStepsKept = 2;  // the standard mode's product and mould steps
constexpr int kWaitMs = 10000;
constexpr int kPassSoonMs = 5;
// Under the sanitizers a walk is several times slower and looks for memory faults, not new
// sequences: fewer seeds there, the kept cases all the same.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSeeds = 12;
#else
constexpr int kSeeds = 30;
#endif
constexpr int kSteps = 20;
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
    // Semi-automatic, the product step waiting longer than the mould step, both signals in one
    // pass: the passing mould raised the count alarm, the failed product its NG alarm, and the
    // count box's confirm let the clamp and the alarm output go under the NG alarm.
    "prod,upper,semi=3/1,okn=1 | both:pc count:y",
    // On the area page's recent failures with pulses answering failed moulds: a failure kept
    // while "Add As Temp" was open landed in the slot on show and became the template.
    "mpulse | areas:2 addtemp:0 edge:cr yes",
    // The same on the chosen camera's empty ring: the failure became its template.
    "mpulse | areas:2 addtemp:0 edge:pc yes",
    // The re-sampling's question open while an alarm came and its timer released it: the
    // confirm re-sampled the moulds nobody looked at.
    "release | resample edge:pc time yes",
    // A timed release after a re-check held for a camera without a new frame wrote a result
    // line that passed the camera on its frame from before the loss.
    "release,cams=3,prod,semi=3/1,doorreset | both:ccl lose:0 edge:cpc redetect:1 dontdetect:0 "
    "time yes",
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

// How a walk's machine is set up. The defaults are the set-up the first kept cases were found
// in; a seed draws every member.
struct Case {
    bool password = false;      // the operator password is on and guards the answers
    bool timedRelease = false;  // the mould alarm has a release timer ("time" fires it)
    int cameras = 2;            // 1..4
    bool product = false;       // the product step runs before the mould step
    bool upperOnly = false;     // the mould step looks at the upper half only (product: both)
    // Semi-automatic: the product step on the mould-open input, the mould step on the second
    // signal, each after its own delay (tenths of a second).
    bool semi = false;
    int delays[kStepsKept] = {0, 0};
    bool mouldPulse = false;    // a failed mould pulses the clamp and the alarm, no alarm page
    bool productPulse = false;  // a failed product pulses the ejector, no alarm page
    int okCount = 0;            // every okCount-th passing mould raises the count alarm
    bool doorReset = false;     // the alarm's answers want the safety door open
    bool doorTrigger = false;   // the door's close re-runs the mould step
    bool lostBox = false;       // a camera loss shows the power-off box
    QStringList steps;

    QString line() const {
        QStringList config;
        if (password) config << QStringLiteral("psw");
        if (timedRelease) config << QStringLiteral("release");
        if (cameras != 2) config << QStringLiteral("cams=%1").arg(cameras);
        if (product) config << QStringLiteral("prod");
        if (upperOnly) config << QStringLiteral("upper");
        if (semi) config << QStringLiteral("semi=%1/%2").arg(delays[0]).arg(delays[1]);
        if (mouldPulse) config << QStringLiteral("mpulse");
        if (productPulse) config << QStringLiteral("ppulse");
        if (okCount) config << QStringLiteral("okn=%1").arg(okCount);
        if (doorReset) config << QStringLiteral("doorreset");
        if (doorTrigger) config << QStringLiteral("doortrig");
        if (lostBox) config << QStringLiteral("lostbox");
        return (config.isEmpty() ? QStringLiteral("-") : config.join(',')) + QStringLiteral(" | ") +
               steps.join(' ');
    }
    static Case parse(const QString& line) {
        Case c;
        for (const QString& token : line.section('|', 0, 0).simplified().split(',')) {
            const QString name = token.section('=', 0, 0);
            const QString value = token.section('=', 1);
            c.password |= name == "psw";
            c.timedRelease |= name == "release";
            if (name == "cams") c.cameras = std::clamp(value.toInt(), 1, 4);
            c.product |= name == "prod";
            c.upperOnly |= name == "upper";
            if (name == "semi") {
                c.semi = true;
                c.delays[0] = value.section('/', 0, 0).toInt();
                c.delays[1] = value.section('/', 1).toInt();
            }
            c.mouldPulse |= name == "mpulse";
            c.productPulse |= name == "ppulse";
            if (name == "okn") c.okCount = value.toInt();
            c.doorReset |= name == "doorreset";
            c.doorTrigger |= name == "doortrig";
            c.lostBox |= name == "lostbox";
        }
        c.steps = line.section('|', 1).split(' ', Qt::SkipEmptyParts);
        return c;
    }
};

// What a sequence does, with how often each is drawn (the second weight where the set-up
// gives the step more to do: the second signal in semi-automatic, the count box with a count
// alarm, the area page with pulses). edge and door carry the pictures of the cameras (a letter
// each); sig2 is the second signal, both the mould-open edge and the second signal in one pass; a
// press on the page the camera chosen first (the camera count: all); settings what the confirm
// changes (l the language, p the password); restore the group (other: one of another detection
// mode); areas the page's source; count confirms the count alarm's box; lose takes a camera away,
// back brings the lost ones back.
struct Draw {
    const char* name;
    int weight;
    int drawnFor;  // the weight where the set-up calls for it
    bool (*calls)(const Case&);
};
bool noSetUp(const Case&) {
    return false;
}
bool semiAutomatic(const Case& c) {
    return c.semi;
}
bool countAlarm(const Case& c) {
    return c.okCount != 0;
}
// Failed moulds answered by a pulse leave the area page open and fill its recent failures.
bool pulsesMoulds(const Case& c) {
    return c.mouldPulse;
}
bool releasesByTimer(const Case& c) {
    return c.timedRelease;
}
// Alarms a timer releases make room for the re-sampling and the area check it ends with.
bool resamplesUnderAlarms(const Case& c) {
    return c.timedRelease && !c.mouldPulse;
}
const Draw kAlphabet[] = {
    {"edge", 6, 6, noSetUp},
    {"door", 3, 3, noSetUp},
    {"time", 2, 4, releasesByTimer},
    {"yes", 6, 6, noSetUp},
    {"no", 3, 3, noSetUp},
    {"addtemp", 3, 5, pulsesMoulds},
    {"ignore", 2, 2, noSetUp},
    {"delignore", 1, 1, noSetUp},
    {"dontdetect", 2, 2, noSetUp},
    {"redetect", 2, 2, noSetUp},
    {"livetemp", 1, 1, noSetUp},
    {"edit", 1, 1, noSetUp},
    {"return", 2, 4, resamplesUnderAlarms},
    {"startstop", 1, 1, noSetUp},
    {"settings", 1, 1, noSetUp},
    {"resample", 2, 4, resamplesUnderAlarms},
    {"areas", 2, 6, pulsesMoulds},
    {"restore", 1, 1, noSetUp},
    {"shutdown", 1, 1, noSetUp},
    {"restart", 1, 1, noSetUp},
    {"sig2", 1, 3, semiAutomatic},
    {"both", 1, 5, semiAutomatic},
    {"count", 1, 4, countAlarm},
    {"source", 1, 1, noSetUp},
    {"next", 1, 1, noSetUp},
    {"lose", 1, 1, noSetUp},
    {"back", 1, 1, noSetUp},
};
const char* const kPagePresses[] = {"addtemp",    "ignore",   "delignore",
                                    "dontdetect", "redetect", "livetemp"};
const char* const kWithPictures[] = {"edge", "door", "sig2", "both"};

Case drawCase(quint32 seed) {
    QRandomGenerator r(seed);
    Case c;
    c.password = r.bounded(3) == 0;
    c.timedRelease = r.bounded(2);
    c.cameras = 1 + r.bounded(4);
    c.product = r.bounded(3) != 0;
    c.upperOnly = c.product && r.bounded(4) != 0;
    // Semi-automatic mostly with the product step, its two delays apart in either order.
    c.semi = c.product ? r.bounded(2) : r.bounded(4) == 0;
    if (c.semi) {
        c.delays[0] = r.bounded(4);
        c.delays[1] = (c.delays[0] + 1 + r.bounded(3)) % 4;
    }
    c.mouldPulse = r.bounded(3) == 0;
    c.productPulse = c.product && r.bounded(4) == 0;
    c.okCount = r.bounded(3) ? 1 + r.bounded(2) : 0;
    c.doorReset = r.bounded(4) == 0;
    c.doorTrigger = r.bounded(4) == 0;
    c.lostBox = r.bounded(2);
    // Every set-up is drawn, but the seeds take turns at the families whose settings only act
    // together: the count alarm beside the product step in semi-automatic, pulses answering
    // failed moulds beside the area page, alarms a timer releases beside the re-sampling.
    // A family's seeds draw its steps as drawn elsewhere and the rest seldom, and mostly walk
    // its road: the steps that only together reach what the set-up shares, in the order they
    // must come, each drawn in turn three times in four and otherwise any step between them.
    // A road's machine step shows on its camera a failure ("F"), one the mould step fails also
    // where it looks at the upper half only ("U"), clean moulds ("C") or, on some camera, a
    // picture the upper half passes and the whole fails ("M"); a road starts again once walked.
    QStringList focus;
    QStringList road;
    // The camera a road's page presses choose and its failures show on: camera 1 most often.
    const int target = std::max(int(r.bounded(c.cameras + 2)) - 2, 0);
    const QString pass = c.semi ? QStringLiteral("both") : QStringLiteral("edge");
    switch (seed % 4) {
        case 0:
            // The machine's cycle is both signals: the mould-open input alone judges the
            // product step only. The product step waits longer, so a mould the mould step
            // passed first raises the count alarm before the product's failure raises its
            // alarm beside it, and the count box is confirmed under that alarm.
            focus = QStringList{"both",     "sig2",       "count",   "yes", "no",
                                "redetect", "dontdetect", "addtemp", "time"};
            c.product = c.semi = true;
            c.upperOnly = r.bounded(8) != 0;
            c.delays[0] = r.bounded(4);
            c.delays[1] = (c.delays[0] + 1 + r.bounded(3)) % 4;
            if (r.bounded(8) != 0 && c.delays[0] < c.delays[1]) std::swap(c.delays[0], c.delays[1]);
            c.okCount = r.bounded(8) ? 1 : 2;
            c.productPulse = false;
            road = QStringList{"both:M", "count:y"};
            break;
        case 1:
            // A failure kept while "Add As Temp" on an empty ring of recent failures is asked
            // takes the slot on show; failed products pulse too, so no alarm ends the page.
            c.mouldPulse = true;
            c.productPulse = c.product;
            focus = QStringList{"edge", "both", "areas",  "addtemp", "source", "next",
                                "yes",  "no",   "return", "door",    "time"};
            road = QStringList{"areas:2", "addtemp:T", pass + ":F", "yes"};
            break;
        case 2:
            // A re-sampling asked while an alarm comes and its timer releases it, or confirmed
            // and a mould failed while its areas are checked before the return.
            c.timedRelease = true;
            c.mouldPulse = false;
            focus = QStringList{"edge",     "door",   "time",  "yes",     "no",
                                "resample", "return", "areas", "redetect"};
            // The timer releases a mould's alarm; the door closed on a clean mould any alarm,
            // and its passing mould no count alarm, whose box would stand over the re-sampling.
            // The re-sampling takes the templates from the next mould, the check its failures.
            if ((seed / 4) % 2 == 0) {
                c.okCount = c.product || c.doorTrigger ? 0 : c.okCount;
                road = QStringList{"resample", (c.doorTrigger ? "door" : pass) + ":F",
                                   c.product ? "door:C" : "time", "yes"};
            } else {
                road = QStringList{"resample", "yes", pass + ":C", pass + ":U", "return"};
            }
            break;
        default:
            break;
    }
    // The password is asked once, at the road's first guarded step.
    for (int i = 0; c.password && i < road.size(); ++i) {
        if (road[i].startsWith(QLatin1String("areas")) || road[i] == "resample") {
            road.insert(i + 1, QStringLiteral("yes"));
            break;
        }
    }
    const auto weight = [&c, &focus](const Draw& a) {
        const int w = a.calls(c) ? a.drawnFor : a.weight;
        return focus.isEmpty() || focus.contains(QLatin1String(a.name)) ? w : std::min(w, 1);
    };
    int total = 0;
    for (const auto& a : kAlphabet) total += weight(a);
    // Camera 1 shows a fault more often than the others.
    const auto picture = [&r](int cleanWeight) {
        const int k = r.bounded(cleanWeight + PictureCount - 1);
        return QChar(kPictureLetters[k < cleanWeight ? Clean : k - cleanWeight + 1]);
    };
    const auto showing = [&](const QString& kind) {
        QString shown;
        for (int cam = 0; cam < c.cameras; ++cam) shown += picture(cam == 0 ? 3 : 6);
        if (kind == "C") {
            shown.fill('c');
        } else if (kind == "F" || (kind == "U" && !c.upperOnly)) {
            shown[target] = QChar(kPictureLetters[1 + r.bounded(PictureCount - 1)]);
        } else if (kind == "U") {
            shown[target] = QChar(kPictureLetters[PartLeft]);
        } else if (kind == "M") {
            // A part left fails the upper half too.
            shown.replace('l', 'c');
            if (!shown.contains('p') && !shown.contains('r'))
                shown[int(r.bounded(c.cameras))] = r.bounded(2) ? 'p' : 'r';
        }
        return shown;
    };
    int onRoad = 0;
    for (int i = 0; i < kSteps; ++i) {
        if (!road.isEmpty() && r.bounded(4) != 0) {
            const QString piece = road[onRoad++ % road.size()];
            const QString name = piece.section(':', 0, 0);
            const QString arg = piece.section(':', 1);
            if (std::count(std::begin(kWithPictures), std::end(kWithPictures), name))
                c.steps << name + ':' + showing(arg);
            else if (arg == "T")
                c.steps << name + QStringLiteral(":%1").arg(target);
            else
                c.steps << piece;
            continue;
        }
        int pick = r.bounded(total);
        const auto* a = std::begin(kAlphabet);
        while (pick >= weight(*a)) pick -= weight(*a++);
        QString step = QLatin1String(a->name);
        if (std::count(std::begin(kWithPictures), std::end(kWithPictures), step)) {
            step += ':' + showing({});
        } else if (std::count(std::begin(kPagePresses), std::end(kPagePresses), step)) {
            // Camera 1 most often: the one that fails most.
            const int k = r.bounded(c.cameras + 2);
            step += QStringLiteral(":%1").arg(c.cameras == 1 ? 0 : std::max(k - 2, 0));
        } else if (step == "settings") {
            step += ':';
            if (r.bounded(2)) step += 'l';
            if (r.bounded(2)) step += 'p';
        } else if (step == "restore") {
            step += r.bounded(2) ? QStringLiteral(":other") : QStringLiteral(":same");
        } else if (step == "areas" || step == "source") {
            // Template, live, recent NG, OK and NG records; recent NG most often.
            const int k = r.bounded(7);
            step += QStringLiteral(":%1").arg(k < 3 ? 2 : k - 3);
        } else if (step == "count") {
            step += r.bounded(4) ? QStringLiteral(":y") : QStringLiteral(":n");
        } else if (step == "lose") {
            step += QStringLiteral(":%1").arg(r.bounded(c.cameras));
        }
        c.steps << step;
    }
    if (r.bounded(4) == 0) c.steps << QStringLiteral("stop");
    return c;
}

// The stored areas of a camera's product and mould steps, as far as an answer can change them.
QVector<int> areasOf(const CammerSingleton& p) {
    QVector<int> f;
    for (int d = 0; d < kStepsKept; ++d) {
        f << p.roiCount[d];
        for (int i = 0; i < std::clamp(p.roiCount[d], 0, roi::kMaxRois); ++i) {
            const QRect r = p.rects[d][i].showRect;
            f << p.roiFunc[d][i] << p.roiParam1[d][i] << p.roiParam2[d][i] << p.roiParam3[d][i]
              << p.roiShapeType[d][i] << r.x() << r.y() << r.width() << r.height();
        }
    }
    return f;
}

// The files an answer may change: templates, ignore masks, areas.
struct Disk {
    std::map<QString, QByteArray> templates;  // "cammer12/template1.bmp": grey bytes
    std::vector<QByteArray> masks;            // per camera and step, empty without a file
    std::vector<QVector<int>> areas;          // per camera
    bool operator==(const Disk& o) const {
        return templates == o.templates && masks == o.masks && areas == o.areas;
    }
};

Disk readDisk() {
    Disk d;
    for (int c = 0; c < numCamera; ++c) {
        for (int step = 0; step < kStepsKept; ++step) {
            const QDir folder(QStringLiteral("cammer%1%2").arg(c + 1).arg(step + 1));
            for (const QString& name :
                 folder.entryList({QStringLiteral("template*.bmp")}, QDir::Files))
                d.templates[folder.path() + '/' + name] = greyBytes(folder.filePath(name));
            d.masks.push_back(greyBytes(folder.filePath(QStringLiteral("ignorepoint.bmp"))));
        }
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
    void inputs(const std::vector<int>& bits, bool on);
    void signal(const std::vector<int>& bits, const QString& pictures);
    bool edgeJudges(const std::vector<int>& bits);
    void loseCamera(int c);
    void camerasBack();
    bool anyLost() const;
    void checkJudged(const QString& text);
    void checkPageShows();
    void checkCounts();
    QByteArray shownFrame(int c);
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
    bool level_[3] = {};       // the mould open, the door closed, the second signal
    std::vector<bool> lost_;   // per camera: taken away by the walk
    std::vector<int> wanted_;  // per camera: the picture of the last edge
    std::vector<bool> fresh_;  // per camera: a frame of the last edge was taken
    bool byMachine_ = false;   // the innermost step running is the machine's
    quint32 quietAlarm_ = 0;   // the alarm whose output the switch to the templates ended
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
        checkJudged(text);
        // "Detection result: step N of M ...": a failure answered by a pulse raises no alarm.
        const int step = text.section(' ', 3, 3).toInt() - 1;
        const bool pulse =
            gpWPara && detection::ngIsPulse(*gpWPara, detection::kindOf(gpWPara->detectMode, step));
        if (text.endsWith(QLatin1String(" OK")))
            unanswered_ = false;
        else if (!text.contains(QLatin1String("detected again")) && !pulse)
            unanswered_ = true;
    } else if (text.startsWith(QLatin1String("NG alarm released by its timer"))) {
        ++releases_;
        unanswered_ = false;
    }
}

// A step passes a camera only on a frame taken after its trigger: a camera that was away
// when the mould opened has none until it returns. An operator's answer judges again the
// frames the operator looked at.
void Walk::checkJudged(const QString& text) {
    if (!byMachine_) return;
    QStringList failed;
    if (text.contains(QLatin1String("NG (camera ")))
        failed = text.section(QLatin1String("NG (camera "), 1)
                     .section(')', 0, 0)
                     .split(QLatin1String(", "));
    for (int c = 0; c < int(fresh_.size()); ++c)
        if (!fresh_[size_t(c)] && !failed.contains(QString::number(c + 1)))
            violate(QStringLiteral("a step passed camera %1 on a frame from before its trigger")
                        .arg(c + 1));
}

// The page on the recent failures shows the kept frame its caption counts.
void Walk::checkPageShows() {
    if (!page().isVisible() || gSource != cameraview::kSourceRecentNg) return;
    const int d = w_.editDetect;
    if (d < 0 || d >= kMaxDetections) return;
    for (int c = 0; c < numCamera; ++c) {
        if (c != w_.curCamera) continue;
        CammerWidget& v = view(c);
        const int stored = std::min(v.recentNgCount[d], int(v.recentNgBuf[d].size()));
        if (stored > 0 && (v.recentNgShown < 0 || v.recentNgShown >= stored)) {
            violate(QStringLiteral("camera %1's page names recent failure %2 of %3")
                        .arg(c + 1)
                        .arg(v.recentNgShown + 1)
                        .arg(stored));
            continue;
        }
        if (v.recentNgShown < 0 || v.recentNgShown >= int(v.recentNgBuf[d].size())) continue;
        QByteArray kept = bytesOf(v.recentNgBuf[d][size_t(v.recentNgShown)]);
        if (kept.isEmpty()) kept = QByteArray(int(v.showBuf.size()), '\0');
        if (bytesOf(v.showBuf) != kept)
            violate(QStringLiteral("camera %1's page shows another frame than recent failure %2")
                        .arg(c + 1)
                        .arg(v.recentNgShown + 1));
    }
}

// The register server, the HTTP API and the counter file the next start reads count the same
// cycles and the same failed ones.
void Walk::checkCounts() {
    const modbus::HoldingRegisters registers = modbus::holdingRegistersFor({});
    const QJsonObject infos = httpapi::productInfos({});
    const int all = infos.value(QStringLiteral("detect_all")).toInt();
    const int failed = infos.value(QStringLiteral("detect_ng")).toInt();
    if (registers[2] != quint16(all) || registers[3] != quint16(failed))
        violate(QStringLiteral("the registers count %1 cycles, %2 failed; the API %3, %4")
                    .arg(registers[2])
                    .arg(registers[3])
                    .arg(all)
                    .arg(failed));
    const QSettings file(QStringLiteral("cnt_net/workspace/count.ini"), QSettings::IniFormat);
    const QStringList stored = file.value(QStringLiteral("list_allcyclenum")).toStringList();
    const QJsonArray perCamera = infos.value(QStringLiteral("detect_all_detail")).toArray();
    for (int c = 0; c < numCamera && c < perCamera.size(); ++c)
        if (stored.value(c, QStringLiteral("0")).toInt() != perCamera[c].toInt())
            violate(QStringLiteral("camera %1: the API counts %2 cycles, the counter file %3")
                        .arg(c + 1)
                        .arg(perCamera[c].toInt())
                        .arg(stored.value(c)));
}

// What the operator sees of camera c: the kept failure on the recent failures, else the frame
// judged last.
QByteArray Walk::shownFrame(int c) {
    if (page().isVisible() && gSource == cameraview::kSourceRecentNg)
        return bytesOf(view(c).showBuf);
    return bytesOf(view(c).context.alignedBuf);
}

bool Walk::retraining() {
    bool pending = gFromTrain != 0;
    for (int c = 0; c < numCamera; ++c)
        for (int d = 0; d < kMaxDetections; ++d) pending |= view(c).reTrainPending[d] != 0;
    return pending;
}

bool Walk::anyLost() const {
    return std::count(lost_.begin(), lost_.end(), true) != 0;
}

void Walk::settle() {
    const bool lost = anyLost();
    rig_.waitFor(
        [&] {
            // A step due while a camera is away may wait for it.
            for (QTimer* t : w_.timerUp)
                if (t && t->isActive() && !lost) return false;
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
    lost_.assign(size_t(numCamera), false);
    fresh_.assign(size_t(numCamera), true);
    wanted_.assign(size_t(numCamera), 0);
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
    if (name == "edge") return machine([&] { signal({kMouldOpen}, arg); });
    if (name == "door") return machine([&] { signal({kDoor}, arg); });
    if (name == "sig2") return machine([&] { signal({kSecondSignal}, arg); });
    if (name == "both") return machine([&] { signal({kMouldOpen, kSecondSignal}, arg); });
    if (name == "lose") return machine([&] { loseCamera(arg.toInt()); });
    if (name == "back") return machine([&] { camerasBack(); });
    if (name == "time") return machine([&] { timePasses(); });
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

// Whether the edges start a step the cycle judges now: the mould-open input starts the product
// step, or the mould step where no second signal is waited for.
bool Walk::edgeJudges(const std::vector<int>& bits) {
    if (w_.detectState != 1 || w_.resultState == 2 || w_.productAlarm || retraining() || anyLost())
        return false;
    // The second signal only arms the mould step of a cycle the mould-open input started.
    return std::count(bits.begin(), bits.end(), kMouldOpen) && (case_.product || !case_.semi);
}

// The mould opens and closes again (on the mould-open input, the second signal or both in one
// pass), or the safety door (closed between its steps) is opened and closed again: closed
// during an alarm, it re-detects. The cameras show `pictures` (one letter a camera) from the
// moment the mould or the door is open; a camera away shows them once it is back.
void Walk::signal(const std::vector<int>& bits, const QString& pictures) {
    // The door rests closed and is opened first; the mould rests closed, but is still open when
    // the step of an edge asked what this box is about.
    // The door opened ends the alarm output of the alarm on screen.
    if (std::count(bits.begin(), bits.end(), kDoor) && w_.resultState == 2)
        quietAlarm_ = w_.cycle().alarmSerial();
    std::vector<int> raised;
    for (int bit : bits)
        if (level_[bit]) raised.push_back(bit);
    if (!raised.empty()) inputs(raised, false);
    std::vector<int> shown;
    for (int c = 0; c < numCamera; ++c) {
        const int letter = c < pictures.size() ? pictures.at(c).toLatin1() : 'c';
        shown.push_back(std::max(0, int(QByteArray(kPictureLetters).indexOf(char(letter)))));
        wanted_[size_t(c)] = shown.back();
        fresh_[size_t(c)] = !lost_[size_t(c)];
        if (!lost_[size_t(c)]) rig_.showPicture(c, shown.back());
    }
    // A pass waiting inside a box takes the newest frames with the edge itself.
    if (w_.runTimer->isActive() && !rig_.waitFor([&] { return grabbed(shown); }, kWaitMs))
        violate(QStringLiteral("the cameras did not show %1").arg(pictures));
    const bool judges = edgeJudges(bits);
    const qint64 judged = judgements_;
    inputs(bits, true);
    std::vector<int> mould;
    for (int bit : bits)
        if (bit != kDoor) mould.push_back(bit);
    if (!mould.empty()) inputs(mould, false);
    if (judges && judgements_ == judged)
        violate(QStringLiteral("a mould edge while detection runs judged nothing"));
}

// Camera c is unplugged: its next grab reports the loss.
void Walk::loseCamera(int c) {
    if (c < 0 || c >= numCamera || lost_[size_t(c)]) return void(trace_ += '-');
    lost_[size_t(c)] = true;
    rig_.unplug(c, true);
    if (w_.runTimer->remainingTime() > kPassSoonMs) w_.runTimer->start(kPassSoonMs);
    if (!rig_.waitFor([&] { return !view(c).isConnected; }, kWaitMs))
        violate(QStringLiteral("camera %1's loss was not seen").arg(c + 1));
    settle();
}

// The lost cameras are plugged in again and show the pictures of the last edge.
void Walk::camerasBack() {
    if (!anyLost()) return void(trace_ += '-');
    for (int c = 0; c < numCamera; ++c)
        if (lost_[size_t(c)]) rig_.unplug(c, false);
    const bool back = rig_.waitFor(
        [&] {
            for (int c = 0; c < numCamera; ++c)
                if (!view(c).isConnected) return false;
            return true;
        },
        kWaitMs);
    if (!back) violate(QStringLiteral("a camera did not come back"));
    for (int c = 0; c < numCamera; ++c) {
        if (!lost_[size_t(c)]) continue;
        rig_.showPicture(c, wanted_[size_t(c)]);
        lost_[size_t(c)] = false;
        fresh_[size_t(c)] = true;
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
        if (arg == "n")
            gpProductAlarmWarnBox->reject();
        else
            gpProductAlarmWarnBox->accept();
        return settle();
    }
    // The tool bar and the settings screen are under the page while it is shown.
    WizardParaWidget& screen = *w_.wizardParaWidget;
    if (p.isVisible() || screen.isVisible()) return skipped();
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

int Walk::answer(QDialog* d) {
    Box box;
    box.text = d->property("text").toString();
    box.label = QString::fromLatin1(d->metaObject()->className());
    for (int entry : kNamedBoxes)
        if (!box.text.isEmpty() && fits(box.text, lan(entry)))
            box.label = QStringLiteral("#%1").arg(entry);
    box.where = where();
    box.asked = reading(box.where);
    for (int c = 0; c < numCamera; ++c)
        box.shown.push_back(
            {shownFrame(c), bytesOf(view(c).context.resultMask), areasOf(*view(c).editParam)});
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
    if (!stopped_) {
        checkOutputs(step);
        checkPageShows();
        checkCounts();
    }
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
    // The alarm page turned from the live picture ends the alarm output of its alarm.
    if (alarm && page().isVisible() && gSource != cameraview::kSourceLive)
        quietAlarm_ = w_.cycle().alarmSerial();
    // With a pulse answering a failed mould the cycle does not withhold the clamp, so neither
    // does a product alarm; a mould alarm always does.
    const bool clampWithheld = w_.curDetect == kMouldStep || !case_.mouldPulse;
    if (alarm && clampWithheld && !rig_.output(kClamp))
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
    for (int m = 0; m < int(now.masks.size()); ++m) {
        const int c = m / kStepsKept;
        const QByteArray& was = before.masks[m];
        const QByteArray& is = now.masks[m];
        if (was != is) {
            const bool cleared = std::count(is.begin(), is.end(), 0) == is.size();
            const auto onlyShown = [&](const Box& b) {
                if (is.size() != b.shown[c].found.size()) return false;
                for (int i = 0; i < is.size(); ++i)
                    if (is[i] && !(was.size() == is.size() && was[i]) && !b.shown[c].found[i])
                        return false;
                return true;
            };
            const bool ok = (restored && is == groups_.masks[m]) ||
                            ((resampling_ || confirmed(116, always)) && cleared) ||
                            confirmed(113, onlyShown);
            if (!ok)
                violate(QStringLiteral("the ignore points of camera %1 changed without a "
                                       "confirmed answer about what was shown")
                            .arg(c + 1));
        }
    }
    for (int c = 0; c < numCamera; ++c) {
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

// Lays the demonstration's areas and templates into the product and the mould step (the
// demonstration fills the steps on the mould-open input only, so semi-automatic waits for
// them); with upperOnly the mould step keeps its upper area alone.
bool seedRegions(QSqlDatabase& db, int cameras, const Case& c) {
    auto para = std::make_unique<WizardPara>();
    para->LoadDatafromFile(db);
    para->semiAuto = 0;
    bool ok = para->SaveDatatoFile(db);
    workdirdemo::DemoOptions demo;
    demo.pictureRoot = QDir::current().filePath(QStringLiteral("sim"));
    demo.display = QSize(gShowW, gShowH);
    ok = ok && workdirdemo::seedDemoRegions(db, demo).ok;
    para->semiAuto = c.semi;
    ok = ok && para->SaveDatatoFile(db);
    for (int cam = 0; cam < cameras && ok && c.upperOnly; ++cam) {
        auto table = std::make_unique<CammerSingleton>(cam);
        table->LoadDatafromFile(db, 1.0f, 1.0f, nullptr);
        table->roiCount[kMouldStep] = std::min(table->roiCount[kMouldStep], 1);
        ok = table->SaveDatatoFile(db);
    }
    return ok;
}

// The case's simulation cameras in standard mode, the demonstration's areas and templates, two
// template slots; backs up the configuration as group "same", and as group "other" of the
// two-colour mode. Returns the files the groups hold.
std::unique_ptr<WindowRig> startWindow(const Case& c, Disk* groups) {
    cycletest::RigScenes scenes;
    scenes.pictures = [](int) { return pictures(); };
    scenes.regions = [&c](QSqlDatabase& db, int cameras) { return seedRegions(db, cameras, c); };
    auto rig = std::make_unique<WindowRig>(
        c.cameras,
        [&c](WizardPara& p) {
            cycletest::setOptions(p, "detectMode=0 detectProdEnable=0 detectEnable[0]=0");
            p.detectProdEnable = c.product;
            p.semiAuto = c.semi;
            for (int d = 0; d < kStepsKept; ++d) p.trigInDelay[d] = c.delays[d];
            p.clampPulseOnMoldNG = c.mouldPulse;
            p.ejectorPulseOnProdNG = c.productPulse;
            p.moldOKNum = c.okCount;
            // Drawn on, or left as the factory has them.
            if (c.doorReset) p.safeDoorResetAlarm = 1;
            if (c.doorTrigger) p.safeDoorTrigger = 1;
            if (c.lostBox) p.cameraLostOpt = 1;
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
    // MOULDMON_WALK_KEPT=0 leaves the kept cases out: what the seeds alone find.
    if (!qEnvironmentVariableIsSet("MOULDMON_WALK_KEPT") ||
        qEnvironmentVariableIntValue("MOULDMON_WALK_KEPT") != 0)
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
