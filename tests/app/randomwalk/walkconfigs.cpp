#include "walkconfigs.h"

#include <QRandomGenerator>
#include <algorithm>
#include <array>

#include "mouldscene.h"

namespace walk {

const char kPictureLetters[] = "cprl";

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

const std::vector<QByteArray>& pictureBytes() {
    static const std::vector<QByteArray> bytes = [] {
        std::vector<QByteArray> all;
        for (const QImage& picture : pictures()) all.push_back(rowsOf(picture));
        return all;
    }();
    return bytes;
}

QString Case::line() const {
    QStringList config;
    if (mode != Standard) config << QStringLiteral("mode=%1").arg(mode);
    if (password) config << QStringLiteral("psw");
    if (timedRelease) config << QStringLiteral("release");
    if (cameras != 2) config << QStringLiteral("cams=%1").arg(cameras);
    if (product) config << QStringLiteral("prod");
    if (upperOnly) config << QStringLiteral("upper");
    if (semi) config << QStringLiteral("semi=%1/%2").arg(delays[0]).arg(delays[1]);
    if (mouldPulse) config << QStringLiteral("mpulse");
    if (productPulse) config << QStringLiteral("ppulse");
    if (okNgPulse) config << QStringLiteral("okng");
    if (clampPulse) config << QStringLiteral("cpulse=%1").arg(clampPulse);
    if (ejectorPulse) config << QStringLiteral("epulse=%1").arg(ejectorPulse);
    if (okCount) config << QStringLiteral("okn=%1").arg(okCount);
    if (reDetect) config << QStringLiteral("redet=%1").arg(reDetect);
    if (doorReset) config << QStringLiteral("doorreset");
    if (doorTrigger) config << QStringLiteral("doortrig");
    if (lostBox) config << QStringLiteral("lostbox");
    if (extTrigger) config << QStringLiteral("ext");
    if (cutOnAlarm) config << QStringLiteral("cutalarm");
    if (preCut) config << QStringLiteral("precut=%1").arg(preCut);
    if (cutAfterOk) config << QStringLiteral("cutok");
    if (cutEjector) config << QStringLiteral("cutej");
    if (stopClamp) config << QStringLiteral("stopclamp");
    if (noInput) config << QStringLiteral("noinput=%1").arg(noInput);
    return (config.isEmpty() ? QStringLiteral("-") : config.join(',')) + QStringLiteral(" | ") +
           steps.join(' ');
}

Case Case::parse(const QString& line) {
    Case c;
    for (const QString& token : line.section('|', 0, 0).simplified().split(',')) {
        const QString name = token.section('=', 0, 0);
        const QString value = token.section('=', 1);
        if (name == "mode") c.mode = value.toInt();
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
        c.okNgPulse |= name == "okng";
        if (name == "cpulse") c.clampPulse = value.toInt();
        if (name == "epulse") c.ejectorPulse = value.toInt();
        if (name == "okn") c.okCount = value.toInt();
        if (name == "redet") c.reDetect = value.toInt();
        c.doorReset |= name == "doorreset";
        c.doorTrigger |= name == "doortrig";
        c.lostBox |= name == "lostbox";
        c.extTrigger |= name == "ext";
        c.cutOnAlarm |= name == "cutalarm";
        if (name == "precut") c.preCut = value.toInt();
        c.cutAfterOk |= name == "cutok";
        c.cutEjector |= name == "cutej";
        c.stopClamp |= name == "stopclamp";
        if (name == "noinput") c.noInput = value.toInt();
    }
    c.steps = line.section('|', 1).split(' ', Qt::SkipEmptyParts);
    return c;
}

namespace {

constexpr int kSteps = 20;

// What a sequence does, with how often each is drawn (the second weight where the set-up
// gives the step more to do: the second signal in semi-automatic, the count box with a count
// alarm, the area page with pulses). edge and door carry the pictures of the cameras (a letter
// each); sig2 is the second signal, both the mould-open edge and the second signal in one pass; a
// press on the page the camera chosen first (the camera count: all); settings what the confirm
// changes (l the language, p the password); restore the group (other: one of another detection
// mode); areas the page's source; count confirms the count alarm's box; lose takes a camera away,
// back brings the lost ones back (a road's openlose opens the mould on the pictures shown and
// takes a camera away while the step counts its delay down), lostok confirms the camera-loss
// box; reset is a Modbus master
// resetting the counts; idle lets the no-input time-out pass.
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
    {"lostok", 1, 1, noSetUp},
    {"reset", 1, 1, noSetUp},
    {"idle", 1, 1, noSetUp},
};
const char* const kPagePresses[] = {"addtemp",    "ignore",   "delignore",
                                    "dontdetect", "redetect", "livetemp"};
const char* const kWithPictures[] = {"edge", "door", "sig2", "both"};

}  // namespace

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
    c.clampPulse = 1 + r.bounded(3);
    c.ejectorPulse = 1 + r.bounded(3);
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
    const QString modePass = QStringLiteral("both");
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
            // Or every result a pulse: the OK and NG pulses.
            c.okNgPulse = r.bounded(4) == 0;
            focus = QStringList{"edge", "both",   "areas",     "addtemp", "source",
                                "next", "yes",    "no",        "return",  "door",
                                "time", "ignore", "delignore", "livetemp"};
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
            if ((seed / 4) % 3 == 0) {
                c.okCount = c.product || c.doorTrigger ? 0 : c.okCount;
                road = QStringList{"resample", (c.doorTrigger ? "door" : pass) + ":F",
                                   c.product ? "door:C" : "time", "yes"};
            } else if ((seed / 4) % 3 == 1) {
                road = QStringList{"resample", "yes", pass + ":C", pass + ":U", "return"};
            } else {
                // The door's close re-runs the mould step alone: a mould's alarm beside the
                // product step, which its timer releases. The next one lifted by the door on a
                // clean mould (or by an answer), then the product's alarm: the release timer of
                // the lifted alarm must not release it.
                c.product = c.upperOnly = c.doorTrigger = true;
                c.productPulse = c.doorReset = false;
                c.okCount = 0;
                road = QStringList{pass + ":C",    "door:U",    "time",      "yes", "door:U",
                                   "door:C",       pass + ":M", "time",      "yes", "door:U",
                                   "dontdetect:T", "yes",       pass + ":M", "time"};
            }
            break;
        default:
            // The machine's options: the detection mode, retries, pulses with their lengths, the
            // output options, a camera lost and back on the same picture (the step must wait
            // for a frame of the returned link), the counts reset by a Modbus master, the
            // camera-loss box confirmed, the no-input time-out.
            focus = QStringList{"edge", "both",   "sig2",     "door",       "yes",
                                "no",   "time",   "lose",     "back",       "reset",
                                "idle", "lostok", "redetect", "dontdetect", "count"};
            c.mode = std::array<int, 4>{Standard, TwoColour, MultiStep, MultiStep}[r.bounded(4)];
            // The count alarm's box would stand over the road: the count family walks it.
            c.okCount = 0;
            // The multi-step mode mostly without the product step, whose failure would stand
            // before every failure of the mould step (the product step sees both halves).
            c.product =
                c.mode == TwoColour || (c.mode == MultiStep ? r.bounded(3) == 0 : c.product);
            // Retries, where a failed mould is answered by an alarm.
            c.reDetect = r.bounded(4) != 0 ? 1 + r.bounded(2) : 0;
            // A failed product pulses there, so that the mould step runs and fails.
            if (c.reDetect && c.mode != MultiStep) {
                c.mouldPulse = false;
                c.productPulse = c.productStep();
            }
            c.okNgPulse = r.bounded(8) == 0;
            c.cutOnAlarm = r.bounded(4) == 0;
            c.preCut = r.bounded(4) == 0 ? 1 + r.bounded(3) : 0;
            c.cutAfterOk = r.bounded(4) == 0;
            c.cutEjector = r.bounded(4) == 0;
            c.stopClamp = r.bounded(2);
            c.noInput = r.bounded(2) == 0 ? 5 : 0;
            c.extTrigger = r.bounded(2);
            // The cycle's first step waits a little: a camera lost meanwhile holds it.
            c.delays[c.productStep() ? 0 : 1] = 3;
            // In the multi-step mode the mould's pulse is set, and is no answer there; a failed
            // product mostly pulses, so that its mould step runs and fails on the same picture.
            if (c.mode == MultiStep) {
                c.mouldPulse = true;
                c.productPulse = r.bounded(4) != 0;
                c.upperOnly = false;
            }
            // The no-input time-out after a passing mould; a camera lost while the cycle's
            // first step counts its delay down, and back on the picture it showed (the step
            // must wait for a frame of the new link); then failures the mould step sees also
            // on its upper half (retries act on them) and their answers.
            {
                const QString p = c.mouldOnSecondSignal() ? modePass : pass;
                road = QStringList{p + ":C",       "idle", "openlose:T", "back",       p + ":U",
                                   "dontdetect:T", "yes",  p + ":U",     "redetect:T", "yes"};
                // With more cameras the last one alone fails and "Ignore Alarm P" is confirmed
                // for it: its record and its ignore points are that camera's, not the first's.
                if (c.cameras > 1)
                    road << p + ":L"
                         << "ignore:L"
                         << "yes";
                // Running free, a camera back may take a frame of its new link before the step
                // runs or not, as its clock has it: the camera is lost between cycles there.
                if (!c.extTrigger) road.replace(2, QStringLiteral("lose:T"));
                // The camera-loss box's confirm powers off.
                if (c.lostBox) road.insert(3, QStringLiteral("lostok"));
                // Detection stopped (its password and its question) judges no failed mould.
                road << "startstop"
                     << "yes";
                if (c.password) road << "yes";
                road << p + ":F"
                     << "startstop";
            }
            break;
    }
    // The password is asked once, at the road's first guarded step.
    for (int i = 0; c.password && i < road.size(); ++i) {
        if (road[i].startsWith(QLatin1String("areas")) || road[i] == "resample" ||
            road[i].startsWith(QLatin1String("dontdetect"))) {
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
        if (kind == "C" || kind == "S") {
            shown.fill('c');
        } else if (kind == "F" || (kind == "U" && !c.upperOnly)) {
            shown[target] = QChar(kPictureLetters[1 + r.bounded(PictureCount - 1)]);
        } else if (kind == "U") {
            shown[target] = QChar(kPictureLetters[PartLeft]);
        } else if (kind == "L") {
            shown.fill('c');
            shown[c.cameras - 1] = QChar(kPictureLetters[1 + r.bounded(PictureCount - 1)]);
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
            else if (arg == "L")
                c.steps << name + QStringLiteral(":%1").arg(c.cameras - 1);
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
    // Where the mould step waits for the second signal, a mould opened before the stop counts
    // its product step alone, which only the stop saves: half the seeds of the count family and
    // of the machine's options end so.
    const bool stops = r.bounded(4) == 0;
    if (stops || ((seed % 4 == 0 || seed % 4 == 3) && (seed / 4) % 2)) {
        if (c.productStep() && c.mouldOnSecondSignal())
            c.steps << QStringLiteral("edge:") + showing(QStringLiteral("C"));
        c.steps << QStringLiteral("stop");
    }
    return c;
}

// Cases walks once failed on, shrunk to the steps that broke an invariant (a failing walk prints
// its case line), walked on every run.
const std::vector<const char*> kKeptCases = {
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
    // Multi-step on the external trigger: an opening while the mould step waited took a picture
    // of every camera, the unchanged scene too; the walk gave none, and the next step's camera
    // failed for the picture it owed that opening.
    "mode=3,prod,ext | both:cc edge:cc edge:rc both:cp",
};

const std::vector<const char*>& keptCases() {
    return kKeptCases;
}

}  // namespace walk
