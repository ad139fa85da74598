#include "savefialimagethread.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QMutexLocker>

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

bool SaveFialImageThread::pause(int ms) {
    QMutexLocker lock(&waitMutex_);
    QDeadlineTimer deadline(qMax(ms, 0));
    while (!stopping_ && !deadline.hasExpired()) wake_.wait(&waitMutex_, deadline);
    return !stopping_;
}

void SaveFialImageThread::run() {
    const auto pauseFor = [this](int ms) { return pause(ms); };
    while (saver_.scanOnce(pauseFor) && pause(saver_.pacing().scanMs)) {
    }
}
