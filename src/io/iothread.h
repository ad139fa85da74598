#pragma once
#include <QThread>
#include <atomic>

#include "ioboardpoller.h"
#include "iolimits.h"

namespace io {
class BoardPort;
}

// The IO board thread: every poll period one pass of the board protocol over the serial line,
// as long as the GUI thread keeps the heartbeat fresh. It reports a changed input word with
// sigIOChange (queued into the GUI thread by the connection) after gDataIn holds it.
// The clock is the system seam's, so tests can age the heartbeat without waiting.
class IOThread : public QThread {
    Q_OBJECT
public:
    // The port is owned by the caller and used only by this thread while it runs.
    explicit IOThread(io::BoardPort* port, QObject* parent = nullptr);
    ~IOThread() override;  // stops and waits

    // Refreshes the heartbeat to the seam's current time (any thread).
    void touchHeartbeat();
    // Asks the loop to end after the current pass; stopAndWait also waits for it.
    void requestStop();
    void stopAndWait();

    void setHeartbeatTimeoutMs(int ms) { heartbeatTimeoutMs_.store(ms); }
    // True while the heartbeat is stale and the board is not polled.
    bool pollingSuspended() const { return suspended_.load(); }

    // Milliseconds since the epoch of the last refresh.
    std::atomic<qint64> heartbeat{0};

signals:
    void sigIOChange();

protected:
    void run() override;

private:
    bool heartbeatStale();

    io::BoardPort* port_;
    io::IoBoardPoller poller_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> suspended_{false};
    std::atomic<int> heartbeatTimeoutMs_{io::kHeartbeatTimeoutMs};
};
