#include "walkpulses.h"

#include <QTimer>
#include <algorithm>

#include "controlport.h"
#include "deraRazovi.h"
#include "globals.h"
#include "wizardpara.h"

namespace walk {

namespace {

constexpr int kEjector = 1;
constexpr int kAlarmOutput = 2;
constexpr int kTenthMs = 100;
// A precise timer fires on its millisecond; the rise is published just before it starts.
constexpr int kEarlyMs = 2;

quint32 operatorLevels(quint32 physical) {
    quint32 word = 0;
    for (int bit = 0; bit < 9; ++bit)
        if ((((physical >> bit) & 1u) != 0) != (gpWPara && gpWPara->outputInvert[bit] != 0))
            word |= 1u << bit;
    return word;
}

}  // namespace

// The multi-step mode drives the ejector and the clamp as its steps' outputs: its pulses are
// not watched.
PulseWatch::PulseWatch(const Case& c, DeRaRazovi& w) {
    if (!gpControlIO || !gpWPara || c.mode == MultiStep) return;
    cutsAllowed_ = c.extTrigger;
    const int clampMs = gpWPara->clampPulse * kTenthMs;
    const int ejectorMs = gpWPara->ejectorPulse * kTenthMs;
    const auto watch = [this](const char* name, int bit, QTimer* timer, int ms) {
        Kind kind;
        kind.name = QLatin1String(name);
        kind.bit = bit;
        kind.timer = timer;
        kind.ms = ms;
        kinds_.push_back(kind);
    };
    if (c.okNgPulse) {
        watch("NG pulse", kAlarmOutput, w.notAllowCloseTimer, clampMs);
        watch("OK pulse", kEjector, w.notAllowCloseTimer, clampMs);
    } else {
        if (c.mouldPulse) watch("mould's pulse", kAlarmOutput, w.notAllowCloseTimer, clampMs);
        if (c.productPulse && c.productStep())
            watch("product's pulse", kEjector, w.outNGTimer, ejectorMs);
    }
    if (kinds_.empty()) return;
    word_ = operatorLevels(gpControlIO->lastPublished);
    connection_ = QObject::connect(
        gpControlIO, &ControlPort::sigIOChange, &context_, [this] { published(); },
        Qt::DirectConnection);
}

PulseWatch::~PulseWatch() {
    QObject::disconnect(connection_);
}

QStringList PulseWatch::take() {
    return std::exchange(broken_, {});
}

// Whether the kind's timer started (again) since its rise was published.
bool PulseWatch::startedFor(const Kind& kind) const {
    return kind.timer && kind.timer->isActive() &&
           (kind.before < 0 || kind.timer->remainingTime() > kind.before);
}

// The pulse timer starts right after the rise is published: whether it started for this rise is
// seen once the handler that published it is done, or at its fall if that comes first. A rise
// that started no timer is no pulse (an alarm's output, or a pulse already running).
void PulseWatch::published() {
    const Clock::time_point now = Clock::now();
    const quint32 word = operatorLevels(gpControlIO->lastPublished);
    const auto on = [](quint32 w, int bit) { return ((w >> bit) & 1u) != 0; };
    std::vector<size_t> rising;
    for (size_t k = 0; k < kinds_.size(); ++k)
        if (!on(word_, kinds_[k].bit) && on(word, kinds_[k].bit)) rising.push_back(k);
    for (size_t k = 0; k < kinds_.size(); ++k) {
        Kind& kind = kinds_[k];
        if (kind.serial == 0 || !on(word_, kind.bit) || on(word, kind.bit)) continue;
        if (!kind.confirmed && !startedFor(kind)) {
            kind.serial = 0;
            continue;
        }
        kind.confirmed = true;
        const auto held =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - kind.rose).count();
        // Cut while its timer runs: another pulse of the timer may take over (a next cycle's
        // failure); if none does before the timer runs out, it was cut short.
        if (kind.timer && kind.timer->isActive()) {
            kind.cutMs = int(held);
            // A result that restarts the timer right after (its own output already on) takes
            // it over.
            const int left = kind.timer->remainingTime();
            const int serial = kind.serial;
            QMetaObject::invokeMethod(
                &context_,
                [this, k, serial, left] {
                    Kind& cut = kinds_[k];
                    if (cut.serial == serial && cut.timer && cut.timer->isActive() &&
                        cut.timer->remainingTime() > left)
                        cut.serial = 0;
                },
                Qt::QueuedConnection);
            continue;
        }
        kind.serial = 0;
        if (held < kind.ms - kEarlyMs)
            broken_ << QStringLiteral("the %1 lasted %2 ms, set to %3 ms")
                           .arg(kind.name)
                           .arg(held)
                           .arg(kind.ms);
        else
            ++timed_;
    }
    word_ = word;
    // A pulse cut by another of its timer's pulses is taken over.
    for (size_t r : rising)
        for (Kind& kind : kinds_)
            if (kind.timer == kinds_[r].timer && kind.serial != 0 && !on(word, kind.bit))
                kind.serial = 0;
    for (size_t k : rising) {
        Kind& kind = kinds_[k];
        if (!kind.timer) continue;
        kind.serial = ++serials_;
        kind.rose = now;
        kind.cutMs = -1;
        kind.confirmed = false;
        kind.before = kind.timer->isActive() ? kind.timer->remainingTime() : -1;
        const int serial = kind.serial;
        QMetaObject::invokeMethod(
            &context_,
            [this, k, serial] {
                Kind& kind = kinds_[k];
                if (kind.serial != serial) return;
                if (!kind.confirmed && !startedFor(kind)) {
                    kind.serial = 0;
                    return;
                }
                kind.confirmed = true;
                started(k, serial);
            },
            Qt::QueuedConnection);
    }
}

void PulseWatch::started(size_t k, int serial) {
    Kind& kind = kinds_[k];
    if (kind.timer->interval() != kind.ms)
        broken_ << QStringLiteral("the %1's timer runs %2 ms, set to %3 ms")
                       .arg(kind.name)
                       .arg(kind.timer->interval())
                       .arg(kind.ms);
    due(k, serial);
}

// A probe due just after the pulse timer: the event loop fires the timer first, whatever load
// delays both.
void PulseWatch::due(size_t k, int serial) {
    Kind& kind = kinds_[k];
    if (kind.serial != serial || !kind.timer) return;
    if (kind.timer->isActive()) {
        QTimer::singleShot(std::max(0, kind.timer->remainingTime()) + 1, Qt::PreciseTimer,
                           &context_, [this, k, serial] { due(k, serial); });
        return;
    }
    kind.serial = 0;
    // Under the external trigger the walk's snaps start cycles back to back, faster than any
    // machine: a cycle's start takes back the output of the pulse before.
    if (kind.cutMs >= 0 && cutsAllowed_) return;
    if (kind.cutMs >= 0)
        broken_ << QStringLiteral("the %1 was cut after %2 ms, set to %3 ms")
                       .arg(kind.name)
                       .arg(kind.cutMs)
                       .arg(kind.ms);
    else
        broken_ << QStringLiteral("the %1 did not end when its timer ran out").arg(kind.name);
}

}  // namespace walk
