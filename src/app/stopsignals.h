#pragma once
// SIGTERM and SIGINT as a request to stop: the service manager's stop and Ctrl-C end the event
// loop like closing the window, instead of reaching the crash handler, whose stack trace would
// make a normal stop look like a crash in the log.

#include <signal.h>

#include <QObject>

class QSocketNotifier;

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Takes SIGTERM and SIGINT over until destroyed (then the handlers before it are back), and
    // lets through those that holdBack() held. One at a time per process; a second one stays
    // inactive.
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool isActive() const { return notifier_ != nullptr; }
    // A stop signal has been taken from the queue (by any event processing, also before the
    // event loop runs).
    bool stopRequested() const { return requested_ != 0; }
    // Takes what arrived now, without waiting for the event loop to look (sigStop comes first).
    void takePending() {
        if (notifier_) readPending();
    }

    // Holds SIGTERM and SIGINT back in the calling thread, and in the threads it starts, until
    // a StopSignals takes them over: a stop in the first moments of the start, before there is
    // anything to take it, waits for it instead of ending the process at once. Call before any
    // thread starts.
    static void holdBack();

signals:
    // Emitted in the object's thread when a stop signal arrived.
    void sigStop(int signalNumber);

private:
    static void onSignal(int signalNumber);
    void readPending();

    QSocketNotifier* notifier_ = nullptr;
    int requested_ = 0;  // the first signal taken, 0 none
    struct sigaction previousTerm_ {};
    struct sigaction previousInt_ {};
};
