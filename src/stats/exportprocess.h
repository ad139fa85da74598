#pragma once
// Outside programs of the statistics export (the exporter, the move onto the disk), run to
// their end on the export thread with what they say in the log.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace stats {

// How a program ended.
struct ProcessEnd {
    bool started = false;
    bool crashed = false;   // ended by a signal, a kill past the time limit included
    bool timedOut = false;  // killed past its time limit
    bool stopped = false;   // killed because the export was asked to stop
    int exitCode = -1;      // valid when it ended by itself
    bool ok() const { return started && !crashed && exitCode == 0; }
};

// Takes one whole line of standard output (line end included); true when the line reports
// progress, which renews the time limit.
using LineHandler = std::function<bool(const QByteArray&)>;

// Runs program and waits for its end. Standard output goes line by line to onLine (when set)
// and to the log; standard error to the log as a warning. timeoutMs (-1: none) is how long
// the program may go without progress before it is killed; stop (when set) kills it at once.
ProcessEnd runProcess(const QString& program, const QStringList& arguments, int timeoutMs,
                      const LineHandler& onLine, const std::atomic<bool>* stop);

}  // namespace stats

// Runs program and logs its arguments, its output and its end; killed past timeoutMs
// (-1: no limit).
stats::ProcessEnd runAndPrintOutput(const QString& program, const QStringList& arguments,
                                    int timeoutMs);
