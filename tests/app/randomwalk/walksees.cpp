// What a walk sees besides the cycle's counts and the clamp: what each result line adds to the
// step counts (also under the external trigger) and the counter file after it and after the
// stop; the alarm's record naming its cameras; the record of each confirmed answer naming the
// camera the operator chose, and the re-check of "Don't Detect" passing that camera; the
// ejector and the fourth output; no camera failed for a missing frame whose frame came; nothing
// judged and no alarm raised while detection is stopped.
#include <QDirIterator>
#include <QSettings>
#include <algorithm>

#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "globals.h"
#include "walkdriver.h"
#include "windowrig.h"

namespace walk {

namespace {

constexpr int kMouldStep = 1;
constexpr int kClamp = 0;
constexpr int kEjector = 1;
constexpr int kFourthOutput = 3;
constexpr int kRunning = 1;

bool fits(const QString& text, const QString& entry) {
    const QStringList parts = entry.split(QStringLiteral("%1"));
    if (parts.size() == 1) return text.contains(entry);
    return text.startsWith(parts.first()) && text.endsWith(parts.last());
}

// Per camera its steps, failed steps, cycles and failed cycles; then the steps and the cycles
// any camera failed.
std::vector<int> countsNow() {
    std::vector<int> v;
    for (int c = 0; c < numCamera; ++c)
        v.insert(v.end(), {gAllNum[c], gFailNum[c], gAllCycleNum[c], gFailCycleNum[c]});
    v.insert(v.end(), {gSyncNGNum, gSyncNGCycleNum});
    return v;
}

std::vector<int> countsInFile() {
    const QSettings file(QStringLiteral("cnt_net/workspace/count.ini"), QSettings::IniFormat);
    std::vector<QStringList> lists;
    for (const char* key : {"list_allnum", "list_failnum", "list_allcyclenum", "list_failcyclenum"})
        lists.push_back(file.value(QLatin1String(key)).toStringList());
    std::vector<int> v;
    for (int c = 0; c < numCamera; ++c)
        for (const QStringList& list : lists) v.push_back(list.value(c).trimmed().toInt());
    v.push_back(file.value(QStringLiteral("gSyncNGNum"), 0).toInt());
    v.push_back(file.value(QStringLiteral("gSyncNGcycleNum"), 0).toInt());
    return v;
}

QString text(const std::vector<int>& v) {
    QStringList parts;
    for (int n : v) parts << QString::number(n);
    return parts.join(' ');
}

}  // namespace

// A result line: its counting is read at the next line or step (the program counts it after
// writing it), from its own cycle's memory as the program held it.
void Walk::seeResult(const Result& r) {
    readCounting();
    const int kind = model_.kindOf(r.step);
    seen_.pending = kind >= 0 && kind < kStepsKept;
    seen_.line = r;
    seen_.counted = seen_.pending && !w_.stepCounted[kind];
    seen_.cycleCounted = w_.cycleCounted;
    seen_.cycleFailed.clear();
    for (int c = 0; c < numCamera; ++c) seen_.cycleFailed.push_back(w_.camCycleNG[c]);
    seen_.counts = countsNow();
    for (int c = 0; c < numCamera; ++c)
        if (r.failed[size_t(c)]) seen_.failed.emplace(c, r.step);
    if (byMachine_ && seen_.stopped && w_.detectState != kRunning)
        violate(QStringLiteral("step %1 judged while detection is stopped").arg(r.step + 1));
    for (int c = 0; c < numCamera; ++c)
        if (r.lost[size_t(c)] && model_.fresh(c))
            violate(QStringLiteral("step %1 failed camera %2 for a missing frame, though a frame "
                                   "of its link came")
                        .arg(r.step + 1)
                        .arg(c + 1));
    // A step judges the pictures of its own trigger: no frame a camera took after it was shown
    // the next opening's.
    const auto& judged = w_.cycle().lastJudgement();
    for (int c = 0; c < numCamera && byMachine_; ++c)
        if ((judged.cameras >> c & 1) && c < int(seen_.shownAt.size()) &&
            judged.trigger < seen_.shownAt[size_t(c)] &&
            seen_.shownAt[size_t(c)] < judged.frames[c].moment)
            violate(QStringLiteral("step %1 judged camera %2 on the picture of an opening after "
                                   "its trigger")
                        .arg(r.step + 1)
                        .arg(c + 1));
    if (byMachine_ || seen_.marked < 0) return;
    ++seen_.markedLines;
    if (seen_.marked < numCamera && r.failed[size_t(seen_.marked)])
        violate(
            QStringLiteral("\"Don't Detect\" confirmed for camera %1 and its re-check failed it")
                .arg(seen_.marked + 1));
}

// The alarm the model raised on this line is recorded with the cameras that failed.
void Walk::seeAlarmRaised(const Result& r) {
    QString cameras;
    for (int c = 0; c < numCamera; ++c)
        if (r.failed[size_t(c)]) cameras += lan(151).arg(c + 1);
    cameras.chop(1);
    seen_.alarmRecords.emplace_back(records(), cameras + lan(152));
}

void Walk::readCounting() {
    if (!std::exchange(seen_.pending, false) || seen_.told) return;
    const Result& r = seen_.line;
    std::vector<int> want = seen_.counts;
    const std::vector<int> now = countsNow();
    const int kind = model_.kindOf(r.step);
    bool any = false, cycleAny = false;
    for (int c = 0; c < numCamera && seen_.counted; ++c) {
        const size_t at = size_t(c) * 4;
        ++want[at];
        if (r.failed[size_t(c)]) ++want[at + 1], any = true;
        if (kind == kMouldStep && !seen_.cycleCounted) {
            ++want[at + 2];
            if (r.failed[size_t(c)] || seen_.cycleFailed[size_t(c)])
                ++want[at + 3], cycleAny = true;
        } else {
            // A failure after its cycle was counted goes to it unless a reset came between.
            want[at + 3] = now[at + 3];
        }
    }
    const size_t sync = size_t(numCamera) * 4;
    if (any) ++want[sync];
    if (cycleAny) ++want[sync + 1];
    if (seen_.counted && !(kind == kMouldStep && !seen_.cycleCounted))
        want[sync + 1] = now[sync + 1];
    if (now != want) {
        seen_.told = true;
        return violate(
            QStringLiteral("after step %1's result the counts are %2; the line counts %3")
                .arg(r.step + 1)
                .arg(text(now), text(want)));
    }
    // The cycle counted goes to the counter file at once.
    if (seen_.counted && (kind == kMouldStep || seen_.cycleCounted) && countsInFile() != now) {
        seen_.told = true;
        violate(QStringLiteral("count.ini holds %1 after step %2 counted %3")
                    .arg(text(countsInFile()))
                    .arg(r.step + 1)
                    .arg(text(now)));
    }
}

// "Don't Detect" pressed on the page for a camera (the count: all).
void Walk::markCamera(const QString& arg, const std::function<void()>& press) {
    const size_t boxes = answered_.size();
    const bool alarm = w_.resultState == 2;
    const quint32 serial = w_.cycle().alarmSerial();
    seen_.marked = arg.isEmpty() ? -1 : arg.toInt();
    seen_.markedLines = 0;
    press();
    seen_.marked = -1;
    const bool stands = alarm && w_.resultState == 2 && w_.cycle().alarmSerial() == serial;
    for (size_t i = boxes; i < answered_.size(); ++i)
        if (answered_[i].acts() &&
            (fits(answered_[i].text, lan(105)) || fits(answered_[i].text, lan(102))) && stands &&
            seen_.markedLines == 0)
            violate(QStringLiteral("a confirmed \"Don't Detect\" lifted nothing and said nothing"));
}

void Walk::checkSeen(const QString& step) {
    readCounting();
    if (stopped_) {
        // The stop saves what was counted since the last cycle.
        if (!seen_.told && countsInFile() != countsNow())
            violate(QStringLiteral("count.ini holds %1 after the stop, the program counted %2")
                        .arg(text(countsInFile()), text(countsNow())));
        return;
    }
    const QStringList records = rig_.records();
    const auto written = [&](int from, const QString& what, bool exact) {
        for (int i = std::max(from, 0); i < records.size(); ++i)
            if (exact ? records[i] == what : records[i].startsWith(what)) return true;
        return false;
    };
    for (const auto& [from, what] : seen_.alarmRecords)
        if (!written(from, what, false))
            violate(QStringLiteral("an alarm was raised without the record \"%1\"").arg(what));
    seen_.alarmRecords.clear();
    // A confirmed answer records its deed on the camera the operator chose.
    const struct {
        int question, record;
        bool camera;
    } deeds[] = {
        {102, 103, false}, {105, 106, true}, {113, 114, true}, {116, 117, true}, {140, 141, false}};
    bool stopAsked = false;
    for (const Box& b : answered_) {
        for (const auto& d : deeds) {
            if (!b.acts() || !fits(b.text, lan(d.question))) continue;
            stopAsked |= d.question == 140;
            const QString what = d.camera ? lan(d.record).arg(b.camera + 1) : lan(d.record);
            if (!written(b.recordsAtAnswer, what, true))
                violate(QStringLiteral("%1 confirmed and no record \"%2\"").arg(b.label, what));
        }
    }
    // The pictures of a failed step go to its NG folder: none where no line failed the step.
    for (QDirIterator it(QStringLiteral("alarmimage"), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QStringList path = it.next().split('/', Qt::SkipEmptyParts);
        const int c = path.value(path.size() - 4).mid(6).toInt() - 1;
        const int d = path.value(path.size() - 3).mid(6).toInt() - 1;
        if (path.value(path.size() - 2) == "NG" && seen_.failed.emplace(c, d).second)
            violate(QStringLiteral("an NG picture of camera %1's step %2, which no line failed: %3")
                        .arg(c + 1)
                        .arg(d + 1)
                        .arg(path.last()));
    }
    // A camera back without a frame leaves the edge it kept to a pass still to come; a
    // re-sampling takes the cycle's product step as a template, judging nothing.
    const bool resampled = std::exchange(seen_.resampling, resampling_ || retraining());
    const QString ejector =
        model_.ejectorHold(!(awaitsFrame() && !anyLost()) && !resampled && !seen_.resampling);
    if (!ejector.isEmpty() && !rig_.output(kEjector))
        violate(QStringLiteral("the ejector is let go while %1").arg(ejector));
    if (case_.timedRelease && model_.alarmExpected() && model_.alarmKind() == kMouldStep &&
        w_.resultState == 2 && !rig_.output(kFourthOutput))
        violate(
            QStringLiteral("the mould's alarm with its timed release stands and the fourth "
                           "output is off"));
    // The multi-step mode withholds the clamp as the mould step's own output.
    if (case_.mode == MultiStep && !case_.okNgPulse && model_.alarmExpected() &&
        model_.alarmKind() == kMouldStep && w_.resultState == 2 && !rig_.output(kClamp))
        violate(QStringLiteral("the mould step's output is let go while its alarm stands"));
    const QString name = step.section(':', 0, 0);
    const bool machineStep = name == "edge" || name == "door" || name == "sig2" || name == "both" ||
                             name == "back" || name == "time";
    if (seen_.stopped && machineStep && w_.cycle().alarmSerial() != seen_.alarmSerial)
        violate(QStringLiteral("an alarm raised while detection is stopped"));
    seen_.stopped = w_.detectState != kRunning && (seen_.stopped || stopAsked);
    seen_.alarmSerial = w_.cycle().alarmSerial();
}

}  // namespace walk
