#include "boardport.h"

#include <QDebug>

#include "systemactions.h"

namespace io {

bool BoardPort::openNow(int portNumber) {
    sinceAttempt_.start();
    const QString path = sys::actions().serialDevicePath(portNumber);
    if (path.isEmpty()) {
        if (!reportedNoDevice_) {
            qWarning().noquote() << "IO board: no serial device configured for port" << portNumber
                                 << "- the board is not polled";
            reportedNoDevice_ = true;
        }
        return false;
    }
    reportedNoDevice_ = false;
    if (link_.open(path)) {
        if (failing_) qInfo().noquote() << "IO board: opened" << path;
        failing_ = false;
        reportedPath_.clear();
        reportedError_.clear();
        return true;
    }
    failing_ = true;
    if (path != reportedPath_ || link_.errorString() != reportedError_) {
        qWarning().noquote() << "IO board: cannot open" << path << "-" << link_.errorString()
                             << "- trying again every" << retryMs_ << "ms";
        reportedPath_ = path;
        reportedError_ = link_.errorString();
    }
    return false;
}

bool BoardPort::ensureOpen(int portNumber) {
    if (link_.isOpen()) return true;
    if (sinceAttempt_.isValid() && sinceAttempt_.elapsed() < retryMs_) return false;
    return openNow(portNumber);
}

void BoardPort::dropAfterFailure() {
    qWarning().noquote() << "IO board:" << link_.path() << "failed -" << link_.errorString()
                         << "- reopening every" << retryMs_ << "ms";
    link_.close();
    failing_ = true;
    reportedPath_ = link_.path();
    reportedError_.clear();
    sinceAttempt_.start();
}

}  // namespace io
