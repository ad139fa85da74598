#pragma once
// The random walk's watch on the output pulses: the mould's pulse, the product's pulse on the
// ejector and the OK/NG pulses. A pulse is timed where the program makes it, on the output words
// it publishes to the IO board: the board sees them a poll later, and on a loaded machine a
// starved IO thread shortens or swallows a pulse there that the program gave whole. A pulse is
// an output's rise that starts its pulse timer; it must run its timer's set length (not less,
// measured from the published rise to the published fall) and end when that timer runs out.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <chrono>
#include <vector>

#include "walkconfigs.h"

class DeRaRazovi;
class QTimer;

namespace walk {

class PulseWatch {
public:
    PulseWatch(const Case& c, DeRaRazovi& w);
    ~PulseWatch();
    PulseWatch(const PulseWatch&) = delete;
    PulseWatch& operator=(const PulseWatch&) = delete;

    // What broke since the last call.
    QStringList take();
    // Pulses timed whole so far.
    int timed() const { return timed_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Kind {
        QString name;
        int bit = 0;
        QPointer<QTimer> timer;  // the window goes before the walk
        int ms = 0;
        int serial = 0;          // of the rise under way, 0 none
        int cutMs = -1;          // how long it held before it was cut while its timer ran
        int before = -1;         // the timer's time left when the rise was published, -1 idle
        bool confirmed = false;  // its timer started for it
        Clock::time_point rose;
    };
    bool startedFor(const Kind& kind) const;
    void published();
    void started(size_t k, int serial);
    void due(size_t k, int serial);

    std::vector<Kind> kinds_;
    quint32 word_ = 0;  // the operator levels last published
    int serials_ = 0;
    int timed_ = 0;
    bool cutsAllowed_ = false;
    QStringList broken_;
    QObject context_;  // the checks queued and the probes die with the watch
    QMetaObject::Connection connection_;
};

}  // namespace walk
