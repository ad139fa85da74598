#include "iothread.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMutexLocker>

#include "boardport.h"
#include "globals.h"
#include "systemactions.h"

IOThread::IOThread(io::BoardPort* port, QObject* parent) : QThread(parent), port_(port) {}

IOThread::~IOThread() {
    stopAndWait();
}

void IOThread::touchHeartbeat() {
    heartbeat.store(sys::actions().nowMSecsSinceEpoch());
}

void IOThread::requestStop() {
    stop_.store(true);
}

void IOThread::stopAndWait() {
    requestStop();
    if (isRunning()) wait();
}

bool IOThread::heartbeatStale() {
    // A clock that stepped backwards gives a negative age, which counts as fresh.
    const qint64 age = sys::actions().nowMSecsSinceEpoch() - heartbeat.load();
    return age >= heartbeatTimeoutMs_.load();
}

void IOThread::run() {
    touchHeartbeat();
    QElapsedTimer sinceWarning;
    bool wasOpen = port_->isOpen();
    while (!stop_.load()) {
        if (heartbeatStale()) {
            if (!sinceWarning.isValid() || sinceWarning.elapsed() >= io::kStaleWarningIntervalMs) {
                qWarning("controlport_thread - main_thread > 10s will timeout exit");
                sinceWarning.start();
            }
            suspended_.store(true);
            msleep(io::kPollPeriodMs);
            continue;
        }
        if (suspended_.exchange(false)) {
            qInfo("IO board: the main thread answers again, polling resumes");
            sinceWarning.invalidate();
        }

        quint32 out;
        {
            QMutexLocker lock(pMutexIO);
            out = gDataOut;
        }
        if (gIOID == 0 || !port_->ensureOpen(gisCOM)) {
            wasOpen = false;
            msleep(io::kPollPeriodMs);
            continue;
        }
        if (!wasOpen) poller_.reset();
        wasOpen = true;

        const io::IoBoardPoller::PassResult result = poller_.pass(port_->link(), out);
        if (result.lineFailed) {
            port_->dropAfterFailure();
            wasOpen = false;
        }
        if (result.inputChanged) emit sigIOChange();
        msleep(io::kPollPeriodMs);
    }
}
