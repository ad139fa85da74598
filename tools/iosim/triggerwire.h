#pragma once
// The wire from the machine's mould-open signal to the simulation cameras' trigger lines, as on
// a panel whose cameras run on the external trigger: every rising edge of one input terminal
// bumps a count in a file, and each simulation camera (plugins/simcamera) that watches the file
// takes one picture per edge. The file holds the count in decimal and a newline; it is replaced
// whole at every edge, so a reader never sees half a number.

#include <QString>
#include <QtGlobal>
#include <mutex>

namespace iosim {

// The factory wiring: terminal 1 (bit 0), the mould-open input.
constexpr int kDefaultTriggerBit = 0;

class TriggerWire {
public:
    // file: the count's file; bit: the input (0..9, terminal bit + 1) whose rising edges count.
    TriggerWire(const QString& file, int bit);

    // Writes the count, going on from one a file left behind holds (cameras that watched it
    // take no picture for the edges they already saw). False (see errorString) when the file
    // cannot be written.
    bool start();
    QString errorString() const { return error_; }

    // The inputs went from `before` to `after`: a rising edge of the wired bit is counted.
    // False when the new count could not be written.
    bool inputsChanged(quint32 before, quint32 after);
    quint64 edges() const;

private:
    bool write(quint64 count);

    const QString file_;
    const int bit_;
    mutable std::mutex mutex_;
    quint64 edges_ = 0;
    QString error_;
};

}  // namespace iosim
