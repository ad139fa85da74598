#include "testsupport.h"

#include <QThread>

namespace testsupport {

sys::RecordingSystemActions& recorder() {
    return static_cast<sys::RecordingSystemActions&>(sys::actions());
}

WorkDir::WorkDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }

WorkDir::~WorkDir() { QDir::setCurrent(previous_); }

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QString sourceDir() { return qEnvironmentVariable("MOULDMON_SOURCE_DIR"); }

}  // namespace testsupport
