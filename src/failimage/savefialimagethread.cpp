#include "savefialimagethread.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QMutexLocker>
#include <algorithm>

#include "mon_netmn.h"

namespace {

// Reports through the monitoring link in the link's own thread.
failimage::FailImageSaver::Reporter monitoringLinkReporter() {
    MON_NETMN* link = MON_NETMN::getInstance();
    return [link](const QJsonObject& info, const QString& path) {
        QMetaObject::invokeMethod(
            link, [link, info, path] { link->sndAlarmPicture(info, path); }, Qt::QueuedConnection);
    };
}

}  // namespace

SaveFialImageThread::SaveFialImageThread(failimage::FailImageSaver::Reporter reporter,
                                         QObject* parent)
    : QThread(parent) {
    saver_.setReporter(reporter ? std::move(reporter) : monitoringLinkReporter());
    saver_.setWriteOutcome(
        [this](bool written, const QString& root) { emit sigPictureWritten(written, root); });
}

SaveFialImageThread::~SaveFialImageThread() {
    stop();
    wait();
}

void SaveFialImageThread::stop() {
    QMutexLocker lock(&waitMutex_);
    stopping_ = true;
    wake_.wakeAll();
}

void SaveFialImageThread::finish(QDeadlineTimer deadline) {
    QMutexLocker lock(&waitMutex_);
    finishing_ = true;
    finishBy_ = deadline;
    wake_.wakeAll();
}

bool SaveFialImageThread::pause(int ms, Why why) {
    QMutexLocker lock(&waitMutex_);
    const QDeadlineTimer paused(qMax(ms, 0));
    for (;;) {
        if (stopping_) return false;
        QDeadlineTimer until = paused;
        if (finishing_) {
            if (finishBy_.hasExpired()) return false;
            // Nothing waits for the load any more, but the names of a step's two pictures
            // must still differ. The pass goes on rather than ending here: a failed step's OK
            // picture left to a later pass would no longer be known to belong in the NG folder.
            if (why == Why::Load) return true;
            until = std::min(paused, finishBy_);
        }
        if (paused.hasExpired()) return true;
        wake_.wait(&waitMutex_, until);
    }
}

bool SaveFialImageThread::finishAsked() {
    QMutexLocker lock(&waitMutex_);
    return finishing_;
}

void SaveFialImageThread::run() {
    const auto pauseFor = [this](int ms, Why why) { return pause(ms, why); };
    for (;;) {
        // A pass begun after the finish was asked sees every picture marked before it.
        const bool last = finishAsked();
        if (!saver_.scanOnce(pauseFor) || last || !pause(saver_.pacing().scanMs, Why::Load)) return;
    }
}
