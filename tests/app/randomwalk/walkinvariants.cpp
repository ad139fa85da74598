// What must hold after every step of a walk: the files change only by confirmed answers about
// what was shown, declined or stale answers do nothing, the page shows what its caption names,
// every interface counts what the model counted, and the outputs hold what the model says.
#include <QDir>
#include <QJsonArray>
#include <QSettings>
#include <algorithm>

#include "apidocuments.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "drawroiwidget.h"
#include "globals.h"
#include "interfacecounts.h"
#include "modbusdatasource.h"
#include "startup.h"
#include "statisticsconstants.h"
#include "viewlimits.h"
#include "walkdriver.h"
#include "windowrig.h"
#include "wizardpara.h"

namespace walk {

namespace {

constexpr int kClamp = 0;
constexpr int kAlarmOutput = 2;
// The stop waits for the statistics at most this long; the roads unwind within the rest.
constexpr int kStopBoundMs = stats::kStopSaveWaitMs + 2000;

// What an answer records when it acts (language entries of the question and of the record).
const struct {
    int question;
    int record;
} kDeeds[] = {
    {102, 103}, {105, 106}, {108, 109}, {113, 114}, {116, 117},
    {137, 139}, {140, 141}, {285, 286}, {291, 292}, {318, 319},
};
// The questions whose confirm changes what judges a picture: templates, ignore points, the
// re-sampling, a group restored, the areas saved.
const int kJudgementChanges[] = {108, 113, 116, 137, 140, 285, 72};

QByteArray greyBytes(const QString& path) {
    if (!QFile::exists(path)) return {};
    return rowsOf(QImage(path).convertToFormat(QImage::Format_Grayscale8));
}

QByteArray bytesOf(const std::vector<uchar>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

}  // namespace

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

void Walk::check(const QString& step, int askedBefore) {
    if (stopped_)
        finishStop();
    else
        settle();
    checkDeeds();
    const Disk now = stopped_ ? diskAtStop_ : readDisk();
    checkDisk(disk_, now);
    disk_ = now;
    // Once what judges a picture changed, the model no longer knows a picture's result.
    if (!(now == started_)) model_.judgementChanged();
    for (const Box& b : answered_)
        for (int entry : kJudgementChanges)
            if (b.acts() && fits(b.text, lan(entry))) model_.judgementChanged();
    for (int i = askedBefore; i < answers_->count(); ++i)
        if (!answers_->asked()[i].aboutSubject)
            violate(QStringLiteral("a box asked without a subject: %1 %2")
                        .arg(answers_->asked()[i].className,
                             answers_->asked()[i].text.simplified().left(40)));
    // The program's stop cuts the pulses short.
    if (stopped_) pulses_->take();
    if (!stopped_) {
        checkOutputs(step);
        checkPulses();
        checkPageShows();
        checkCounts(false);
    }
    checkSeen(step);
}

void Walk::finishStop() {
    stopBeforeWindowGoes();
    if (stopClock_.elapsed() > kStopBoundMs)
        violate(QStringLiteral("the stop took %1 ms").arg(stopClock_.elapsed()));
    if (records() != recordsAtStop_) violate(QStringLiteral("records written after the stop"));
    if (!(readDisk() == diskAtStop_)) violate(QStringLiteral("files changed after the stop"));
}

// Every interface counts the cycles and failed cycles the model counted: the register server
// and the HTTP API (read in the process, or at the end of a walk by clients we did not write),
// the counter file the next start reads and the cameras' "NG / Total".
void Walk::checkCounts(bool byClients) {
    // Frames on every camera start cycles the model does not count.
    if (countsTold_ || case_.extTrigger) return;
    const Counts& want = model_.expected();
    std::vector<std::pair<QString, Counts>> seen;
    const auto wholeOnly = [&](int cycles, int anyFailed) {
        // An interface that tells the busiest camera's cycles alone.
        const int busiest =
            want.cycles.isEmpty() ? 0 : *std::max_element(want.cycles.begin(), want.cycles.end());
        Counts c = want;
        if (cycles != busiest) c.cycles = {cycles};
        c.anyFailed = anyFailed;
        return c;
    };
    if (byClients) {
        // A step held for a camera's frame may run while the clients read: read again then.
        cycletest::InterfaceCounts read;
        for (int tries = 0; tries < 3; ++tries) {
            const Counts before = want;
            read = cycletest::readInterfaceCounts(w_);
            if (want == before) break;
        }
        if (!read.error.isEmpty()) return violate(read.error);
        seen.emplace_back(QStringLiteral("the Modbus master"),
                          wholeOnly(read.modbusCycles, read.modbusFailedCycles));
        Counts api{read.apiCycles, read.apiFailedCycles, read.apiFailedCyclesAny};
        seen.emplace_back(QStringLiteral("the API client"), api);
        seen.emplace_back(QStringLiteral("the API client's busiest camera"),
                          wholeOnly(read.apiBusiestCycles, read.apiFailedCyclesAny));
    } else {
        const modbus::HoldingRegisters registers = modbus::holdingRegistersFor({});
        seen.emplace_back(QStringLiteral("the registers"), wholeOnly(registers[2], registers[3]));
        const QJsonObject infos = httpapi::productInfos({});
        Counts api;
        for (const QJsonValue& v : infos.value(QStringLiteral("detect_all_detail")).toArray())
            api.cycles << v.toInt();
        for (const QJsonValue& v : infos.value(QStringLiteral("detect_ng_detail")).toArray())
            api.failed << v.toInt();
        api.anyFailed = infos.value(QStringLiteral("detect_ng")).toInt();
        api.cycles = api.cycles.mid(0, numCamera);
        api.failed = api.failed.mid(0, numCamera);
        seen.emplace_back(QStringLiteral("the API"), api);
        seen.emplace_back(
            QStringLiteral("the API's busiest camera"),
            wholeOnly(infos.value(QStringLiteral("detect_all")).toInt(), api.anyFailed));
    }
    const QSettings file(QStringLiteral("cnt_net/workspace/count.ini"), QSettings::IniFormat);
    Counts stored;
    const QStringList all = file.value(QStringLiteral("list_allcyclenum")).toStringList();
    const QStringList failed = file.value(QStringLiteral("list_failcyclenum")).toStringList();
    for (int c = 0; c < numCamera; ++c) {
        stored.cycles << all.value(c, QStringLiteral("0")).toInt();
        stored.failed << failed.value(c, QStringLiteral("0")).toInt();
    }
    stored.anyFailed = file.value(QStringLiteral("gSyncNGcycleNum"), 0).toInt();
    seen.emplace_back(QStringLiteral("count.ini"), stored);
    Counts screen;
    for (int c = 0; c < numCamera; ++c)
        screen.cycles << gAllCycleNum[c], screen.failed << gFailCycleNum[c];
    screen.anyFailed = want.anyFailed;
    seen.emplace_back(QStringLiteral("the pictures' NG / Total"), screen);
    for (const auto& [who, counts] : seen) {
        if (counts == want) continue;
        violate(QStringLiteral("%1 counts %2; the walk counted %3")
                    .arg(who, counts.text(), want.text()));
        countsTold_ = true;
    }
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

// The alarm the model expects stands on screen, holds the alarm output, and the clamp is
// withheld whenever the model says it must be: from a cycle's start until its mould step passes
// or is answered, while an alarm stands, while a camera is away, while the count alarm stands,
// after the no-input time-out.
void Walk::checkOutputs(const QString& step) {
    const QString name = step.section(':', 0, 0);
    const bool alarm = w_.resultState == 2;
    const bool stale =
        std::any_of(answered_.begin(), answered_.end(), [](const Box& b) { return b.stale; });
    // The page's answers that may lift the alarm, and the roads the model does not follow.
    const bool answers = name == "redetect" || name == "addtemp" || name == "dontdetect" ||
                         name == "startstop" || name == "settings" || name == "restore" ||
                         name == "resample" || name == "areas" || name == "shutdown" ||
                         name == "restart";
    if (answers && !stale && !alarm) model_.alarmAnswered();
    // The alarm page turned from the live picture ends the alarm output of its alarm.
    if (alarm && page().isVisible() && gSource != cameraview::kSourceLive)
        quietAlarm_ = w_.cycle().alarmSerial();
    if (alarm && !rig_.output(kAlarmOutput) && quietAlarm_ != w_.cycle().alarmSerial())
        violate(QStringLiteral("an alarm is on screen and the alarm output is off"));
    if (model_.alarmExpected() && !alarm) {
        violate(QStringLiteral("a failed step stands unanswered and no alarm is on screen"));
        model_.alarmAnswered();  // told once
    }
    const QString hold = model_.clampHold(anyLost(), w_.productAlarm, w_.detectState == 1);
    if (!hold.isEmpty() && !rig_.output(kClamp))
        violate(QStringLiteral("the clamp is let go while %1").arg(hold));
    if (case_.okCount && !countUnknown_ && model_.countAlarmDue() != bool(w_.productAlarm))
        violate(model_.countAlarmDue()
                    ? QStringLiteral("%1 passing moulds and no count alarm").arg(case_.okCount)
                    : QStringLiteral("a count alarm before %1 passing moulds").arg(case_.okCount));
    resampling_ = resampling_ && retraining();
}

// Every pulse ran its set length and ended with its timer (walkpulses.h).
void Walk::checkPulses() {
    for (const QString& broken : pulses_->take()) violate(broken);
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
    const std::vector<QByteArray>& shots = pictureBytes();

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
                              : std::count(shots.begin(), shots.end(), after) != 0)) ||
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
                // The ignore points land on the camera the operator chose.
                if (b.camera >= 0 && b.camera != c) return false;
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

}  // namespace walk
