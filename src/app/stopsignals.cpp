#include "stopsignals.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

// The handler may only write to a pipe; the event loop reads the other end.
int gStopPipe[2] = {-1, -1};

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

void StopSignals::onSignal(int signalNumber) {
    const int saved = errno;
    const char byte = char(signalNumber);
    // A full pipe already holds a stop request; losing this one changes nothing.
    [[maybe_unused]] const ssize_t ignored = ::write(gStopPipe[1], &byte, 1);
    errno = saved;
}

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (gStopPipe[0] >= 0) {
        qWarning("Stop signals are taken over already; this handler stays inactive");
        return;
    }
    if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("No pipe for the stop signals (errno %d); SIGTERM ends the program at once",
                 errno);
        gStopPipe[0] = gStopPipe[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(gStopPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::readPending);

    struct sigaction action {};
    action.sa_handler = &StopSignals::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm_);
    sigaction(SIGINT, &action, &previousInt_);
    // A stop held back since the start reaches the handler now.
    const sigset_t set = stopSignalSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
    if (!notifier_) return;
    sigaction(SIGTERM, &previousTerm_, nullptr);
    sigaction(SIGINT, &previousInt_, nullptr);
    delete notifier_;
    ::close(gStopPipe[0]);
    ::close(gStopPipe[1]);
    gStopPipe[0] = gStopPipe[1] = -1;
}

void StopSignals::holdBack() {
    const sigset_t set = stopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void StopSignals::readPending() {
    char bytes[16];
    ssize_t got;
    while ((got = ::read(gStopPipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            const int signalNumber = bytes[i];
            if (requested_) continue;  // one stop is enough
            requested_ = signalNumber;
            qInfo("Signal %d received: the program stops", signalNumber);
            emit sigStop(signalNumber);
        }
    }
}
