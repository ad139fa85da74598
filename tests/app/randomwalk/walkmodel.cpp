#include "walkmodel.h"

#include <QRegularExpression>
#include <algorithm>
#include <utility>

namespace walk {

bool Result::anyFailed() const {
    return std::count(failed.begin(), failed.end(), true) != 0;
}

bool Result::parse(const QString& line, int cameras, Result* r) {
    if (!line.startsWith(QLatin1String("Detection result: step "))) return false;
    r->step = line.section(' ', 3, 3).toInt() - 1;
    r->failed.assign(size_t(cameras), false);
    r->retry = line.contains(QLatin1String("detected again"));
    r->lost.assign(size_t(cameras), false);
    for (const QString& part : line.split(QLatin1String(", camera ")).mid(1)) {
        const QString numbers = part.section(QRegularExpression(" (without|delivered) "), 0, 0);
        if (numbers != part)
            for (const QString& n : numbers.split(QLatin1String(", ")))
                if (n.toInt() >= 1 && n.toInt() <= cameras) r->lost[size_t(n.toInt() - 1)] = true;
    }
    if (line.contains(QLatin1String("NG (camera "))) {
        const QStringList numbers = line.section(QLatin1String("NG (camera "), 1)
                                        .section(')', 0, 0)
                                        .split(QLatin1String(", "));
        for (const QString& n : numbers)
            if (n.toInt() >= 1 && n.toInt() <= cameras) r->failed[size_t(n.toInt() - 1)] = true;
    }
    return r->step >= 0;
}

QString Counts::text() const {
    QStringList per;
    for (int c = 0; c < cycles.size(); ++c)
        per << QStringLiteral("%1/%2").arg(failed.value(c)).arg(cycles.value(c));
    return QStringLiteral("NG/Total %1, cycles any camera failed %2")
        .arg(per.join(' '))
        .arg(anyFailed);
}

CycleModel::CycleModel(const Case& c, int cameras)
    : c_(c),
      cameras_(cameras),
      cycleFailed_(size_t(cameras), false),
      fresh_(size_t(cameras), true),
      shown_(size_t(cameras), Clean),
      before_(size_t(cameras), -1) {
    for (int cam = 0; cam < cameras; ++cam) counts_.cycles << 0, counts_.failed << 0;
}

void CycleModel::cycleStarts() {
    startPending_ = false;
    std::fill(std::begin(kindCounted_), std::end(kindCounted_), false);
    cycleFailed_.assign(size_t(cameras_), false);
    cycleCounted_ = false;
    cycleOpen_ = true;
    productOpen_ = c_.productStep();
    noInput_ = false;
    std::fill(before_.begin(), before_.end(), -1);
    retries_ = 0;
    retriesKnown_ = true;
}

void CycleModel::cameraLost(int camera) {
    fresh_[size_t(camera)] = false;
}

void CycleModel::frameArrived(int camera) {
    fresh_[size_t(camera)] = true;
}

void CycleModel::pictureShown(int camera, int picture) {
    if (c_.extTrigger) before_[size_t(camera)] = shown_[size_t(camera)];
    shown_[size_t(camera)] = picture;
}

void CycleModel::countersReset() {
    std::fill(counts_.cycles.begin(), counts_.cycles.end(), 0);
    std::fill(counts_.failed.begin(), counts_.failed.end(), 0);
    ++resets_;
}

void CycleModel::roadUnknown() {
    cycleOpen_ = productOpen_ = false;
    noInput_ = false;
    retriesKnown_ = false;
}

void CycleModel::resampleReturned(int step) {
    const int kind = kindOf(step);
    if (kind >= 0 && kind < kStepsKept) count(kind, std::vector<bool>(size_t(cameras_), false));
}

void CycleModel::alarmAnswered() {
    if (alarmShown_ && alarmKind_ == 1) cycleOpen_ = false;
    productOpen_ = productOpen_ && !alarmShown_;
    alarmShown_ = false;
    timerFor_ = 0;
}

bool CycleModel::pulses(int kind) const {
    if (c_.okNgPulse) return true;
    if (kind == 0 && c_.productPulse) return true;
    // In the multi-step mode every step has an alarm of its own: no mould pulse there.
    return kind == 1 && c_.mouldPulse && c_.mode != MultiStep;
}

bool CycleModel::expectedFailure(int camera, int kind, bool earlier) const {
    const int picture = (earlier ? before_ : shown_)[size_t(camera)];
    // The mould step that looks at the upper half alone sees only the part left there.
    if (kind == 1 && c_.upperOnly) return picture == PartLeft;
    return picture != Clean;
}

// A kind counts once a cycle, its first result (also a failure a retry then passes); the cycle
// counts when its last kind (the mould step) is counted, failed on a camera that failed any
// kind of it; a product step judged after the mould step still fails the cycle it belongs to.
void CycleModel::count(int kind, const std::vector<bool>& failed) {
    if (kindCounted_[kind]) return;
    kindCounted_[kind] = true;
    const bool wasFailed = std::count(cycleFailed_.begin(), cycleFailed_.end(), true) != 0;
    if (kind != 1 && cycleCounted_) {
        bool any = false;
        // A reset since then started each camera's cycles again: only the cycles any camera
        // failed, which the reset keeps, take the failure.
        for (int c = 0; c < cameras_; ++c) {
            if (!failed[size_t(c)]) continue;
            if (!cycleFailed_[size_t(c)] && cycleResets_ == resets_) ++counts_.failed[c];
            cycleFailed_[size_t(c)] = any = true;
        }
        if (any && !wasFailed) ++counts_.anyFailed;
        return;
    }
    for (int c = 0; c < cameras_; ++c)
        if (failed[size_t(c)]) cycleFailed_[size_t(c)] = true;
    if (kind != 1) return;
    cycleCounted_ = true;
    cycleResets_ = resets_;
    bool any = false;
    for (int c = 0; c < cameras_; ++c) {
        ++counts_.cycles[c];
        if (cycleFailed_[size_t(c)]) ++counts_.failed[c], any = true;
    }
    if (any) ++counts_.anyFailed;
}

QStringList CycleModel::judged(const Result& r, bool byMachine) {
    QStringList broken;
    const int kind = kindOf(r.step);
    if (kind < 0 || kind >= kStepsKept || int(r.failed.size()) != cameras_) return broken;
    for (int c = 0; c < cameras_ && byMachine; ++c) {
        if (!fresh_[size_t(c)]) {
            if (!r.failed[size_t(c)])
                broken << QStringLiteral(
                              "a step passed camera %1 on a frame from before its "
                              "trigger")
                              .arg(c + 1);
            continue;
        }
        // In the two-colour mode the second signal may run the mould step armed in the cycle
        // before on a frame from before the edge's pictures: the model does not know its
        // results.
        const bool either =
            before_[size_t(c)] >= 0 && expectedFailure(c, kind, true) == r.failed[size_t(c)];
        if (oracle_ && !c_.okNgPulse && c_.mode != TwoColour && !either &&
            expectedFailure(c, kind, false) != r.failed[size_t(c)])
            broken << QStringLiteral("step %1 judged camera %2 %3 on picture '%4'")
                          .arg(r.step + 1)
                          .arg(c + 1)
                          .arg(r.failed[size_t(c)] ? "NG" : "OK")
                          .arg(kPictureLetters[shown_[size_t(c)]]);
    }
    count(kind, r.failed);
    if (kind == 1 && !r.retry && std::exchange(startPending_, false) &&
        !(r.anyFailed() && !pulses(kind) && !alarmShown_)) {
        cycleStarts();
        return broken;
    }
    if (r.anyFailed()) {
        if (r.retry) return broken;
        if (pulses(kind)) {
            if (kind == 1) cycleOpen_ = false;
        } else if (!alarmShown_) {
            alarmShown_ = true;
            alarmKind_ = kind;
            ++alarmId_;
            if (c_.timedRelease && kind == 1) timerFor_ = alarmId_;
        }
        return broken;
    }
    if (kind == 1) {
        cycleOpen_ = false;
        if (byMachine) ++okMoulds_;
    } else {
        productOpen_ = false;
    }
    const bool lifts = c_.mode == MultiStep ? !(kind == 0 && c_.productPulse)
                                            : (kind == 0 && !c_.productPulse) || kind == 1;
    if (alarmShown_ && lifts) {
        // Lifting the mould's alarm starts detection again with every output let go.
        productOpen_ = false;
        alarmShown_ = false;
        timerFor_ = 0;
    }
    return broken;
}

// Only the mould step is retried, and only where its failure raises an alarm; the retries are
// the cycle's, shared by its mould steps. A camera that delivered no frame fails for good.
QStringList CycleModel::tried(const Result& r, bool byMachine) {
    QStringList broken;
    const int kind = kindOf(r.step);
    const int allowed =
        c_.mode != MultiStep && !c_.okNgPulse && !c_.mouldPulse && kind == 1 ? c_.reDetect : 0;
    const bool lost = std::count(r.lost.begin(), r.lost.end(), true) != 0;
    if (r.retry) {
        if (allowed == 0 || (retriesKnown_ && ++retries_ > allowed))
            broken << QStringLiteral("step %1 detected again beyond the %2 retries set")
                          .arg(r.step + 1)
                          .arg(allowed);
        return broken;
    }
    if (kind != 1 || !r.anyFailed()) return broken;
    if (retriesKnown_ && byMachine && !alarmShown_ && !lost && retries_ < allowed)
        broken << QStringLiteral("step %1 failed for good after %2 of its %3 retries")
                      .arg(r.step + 1)
                      .arg(retries_)
                      .arg(allowed);
    retries_ = allowed;
    return broken;
}

QStringList CycleModel::releasedByTimer() {
    QStringList broken;
    if (!c_.timedRelease)
        broken << QStringLiteral("an alarm released by a timer the set-up does not have");
    else if (!alarmShown_)
        broken << QStringLiteral("a timer released an alarm when none stood");
    else if (alarmKind_ != 1)
        broken << QStringLiteral("the product's alarm released by the mould's timer");
    else if (timerFor_ != alarmId_)
        broken << QStringLiteral("an alarm released by the timer of an earlier alarm");
    // The release judges the mould again with every camera passing: a passing mould to the
    // count alarm.
    if (alarmShown_ && alarmKind_ == 1) {
        cycleOpen_ = productOpen_ = false;
        ++okMoulds_;
    }
    alarmShown_ = false;
    timerFor_ = 0;
    return broken;
}

QString CycleModel::clampHold(bool anyLost, bool countAlarm, bool running) const {
    if (anyLost && running) return QStringLiteral("a camera is away");
    if (c_.okNgPulse || c_.mode == MultiStep) return {};
    if (countAlarm) return QStringLiteral("the count alarm stands");
    if (alarmShown_ && alarmKind_ == 1) return QStringLiteral("the mould's alarm stands");
    const bool startHolds = c_.preCut == 0 && !c_.cutOnAlarm && !c_.mouldPulse;
    if (alarmShown_ && alarmKind_ == 0 && startHolds)
        return QStringLiteral("the product's alarm stands");
    if (cycleOpen_ && startHolds) return QStringLiteral("the cycle's mould step is not judged");
    if (noInput_) return QStringLiteral("the no-input time-out fired");
    return {};
}

// From a cycle's start the ejector is withheld until its product step passes or is answered,
// and while the product's alarm stands; in the multi-step mode the ejector is the product
// step's own output. A product answered by a pulse, or cut only on its alarm, starts free.
QString CycleModel::ejectorHold(bool startKnown) const {
    if (c_.okNgPulse || c_.productPulse) return {};
    if (alarmShown_ && alarmKind_ == 0) return QStringLiteral("the product's alarm stands");
    // An alarm stops the cycle: a product step still to come is not run.
    if (productOpen_ && startKnown && !alarmShown_ && !c_.cutEjector)
        return QStringLiteral("the cycle's product step is not judged");
    return {};
}

}  // namespace walk
