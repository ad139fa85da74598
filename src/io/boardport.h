#pragma once
#include <QElapsedTimer>
#include <QString>

#include "iolimits.h"
#include "seriallink.h"

namespace io {

// Keeps the IO board's serial line open: opens the device the system seam names for the
// configured port number, says in the log why it cannot (once per device and reason, never
// silently), and tries again after a retry period. With no device configured (a development
// machine without the simulator) it says so once.
class BoardPort {
public:
    explicit BoardPort(int retryMs = kPortRetryMs) : retryMs_(retryMs) {}

    // Tries to open now; true when the line is open afterwards.
    bool openNow(int portNumber);
    // True when the line is open; otherwise tries again once the retry period has passed.
    bool ensureOpen(int portNumber);
    // The line failed while in use: closes it and logs why; it is reopened later.
    void dropAfterFailure();

    SerialLink& link() { return link_; }
    bool isOpen() const { return link_.isOpen(); }

private:
    int retryMs_;
    SerialLink link_;
    QElapsedTimer sinceAttempt_;
    QString reportedPath_;
    QString reportedError_;
    bool reportedNoDevice_ = false;
    bool failing_ = false;
};

}  // namespace io
