#include "mapplication.h"

#include <QDateTime>
#include <QDebug>
#include <QEvent>
#include <QThread>
#include <QTimer>

#include "cameramanager.h"
#include "deraRazovi.h"
#include "devicehelpers.h"
#include "globals.h"
#include "panellimits.h"
#include "systemactions.h"
#include "touchsupervisor.h"
#include "warnbox.h"
#include "wizardpara.h"

namespace {
constexpr int kEntryReleaseForCalibration = 370;
}  // namespace

// The supervisor's view of the process: the main window's timers and backlight, the camera
// manager and the system-action seam.
class MApplication::Host : public panel::TouchHost {
public:
    explicit Host(QTimer* holdTimer) : hold_(holdTimer) {}

    qint64 nowMs() override { return sys::actions().nowMSecsSinceEpoch(); }
    QString timeStamp() override {
        return sys::actions().now().toString(QStringLiteral("yyyyMMdd_hhmmss.zzz"));
    }
    bool simulatedCameras() override { return CameraManager::getInstance()->isSimulated; }
    bool windowExists() override { return gpWin != nullptr; }
    int autoLogoutSeconds() override {
        return gpWPara && gpWin && gpWin->logoutTimer ? gpWPara->autoLogout : 0;
    }
    int screenOffSeconds() override {
        return gpWPara && gpWin && gpWin->lcdTimer ? gpWPara->screenOffTime : 0;
    }
    void restartLogoutTimer(int ms) override { gpWin->logoutTimer->start(ms); }
    void restartScreenOffTimer(int ms) override { gpWin->lcdTimer->start(ms); }
    bool screenOff() override { return gpWin && gpWin->isScreenOff; }
    void switchBacklightOn() override {
        LCDOnOff(1);
        // The window's own flag follows the backlight, or every later press would be eaten.
        gpWin->isScreenOff = 0;
    }

    void startHoldTimer(int ms) override { hold_->start(ms); }
    void stopHoldTimer() override { hold_->stop(); }
    bool holdTimerActive() override { return hold_->isActive(); }
    void showCalibrationMessage() override {
        auto* box = new WarnBox(nullptr);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setText(lan(kEntryReleaseForCalibration));
        box->show();
    }
    void runCalibrator() override {
        sys::actions().run(QLatin1String(panel::kCalibratorProgram), {}, -1);
    }
    void rebootAfterCalibration() override {
        sys::actions().sleepMs(panel::kCalibrationRebootWaitMs);
        gpWin->HandPanelToSystem(QStringLiteral("reboot"));
    }
    void log(const QString& line) override { qInfo().noquote() << line; }

private:
    QTimer* hold_;
};

MApplication* MApplication::_instance = nullptr;

MApplication::MApplication(int& argc, char** argv) : QApplication(argc, argv) {
    _instance = this;
    tscTimer = new QTimer(this);
    host_ = std::make_unique<Host>(tscTimer);
    supervisor_ = std::make_unique<panel::TouchSupervisor>(*host_);
    connect(tscTimer, &QTimer::timeout, this, [this] { supervisor_->holdElapsed(); });
}

MApplication::~MApplication() {
    if (_instance == this) _instance = nullptr;
}

bool MApplication::notify(QObject* receiver, QEvent* event) {
    // Input events arrive in the GUI thread only; everything else passes at the cost of the
    // type check.
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress && supervisor_->press()) return true;
    if (type == QEvent::MouseButtonRelease) supervisor_->release();
    return QApplication::notify(receiver, event);
}

void MApplication::manualStopTscTimeup() {
    supervisor_->stopHold();
}
