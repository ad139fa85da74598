// The application object on the real main window: touches restart the logout and screen-off
// times, a touch on a dark screen only wakes it, and the calibration hold with simulated
// cameras ends in "./tsc" and a reboot asked of the system seam.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>

#include "appfixture.h"
#include "cameramanager.h"
#include "colorbutton.h"
#include "deraRazovi.h"
#include "dialogseam.h"
#include "edit.h"
#include "globals.h"
#include "mapplication.h"
#include "networksettingdialog.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "panellimits.h"
#include "touchsupervisor.h"
#include "warnbox.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

using apptest::installFactoryFiles;
using apptest::prepareProcessGlobals;
using testsupport::recorder;

namespace {

// Counts the presses a widget receives.
class PressCounter : public QObject {
public:
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        presses += event->type() == QEvent::MouseButtonPress;
        return false;
    }
};

void send(QWidget* target, QEvent::Type type) {
    QMouseEvent event(type, QPointF(5, 5), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A touch on the target: press, `heldMs` on the seam's clock, release; then the next touch is
// a new one.
void tap(QWidget* target, int heldMs = 100) {
    send(target, QEvent::MouseButtonPress);
    recorder().advanceMs(heldMs);
    send(target, QEvent::MouseButtonRelease);
    recorder().advanceMs(panel::kDuplicatePressMs + 1);
}

QStringList commandsRun() {
    QStringList programs;
    for (const sys::RecordedAction& a : recorder().recorded())
        if (a.kind == QLatin1String("run") || a.kind == QLatin1String("sleep"))
            programs << (a.kind == QLatin1String("run") ? a.program : a.kind);
    return programs;
}

}  // namespace

class Application : public ::testing::Test {
protected:
    void SetUp() override {
        prepareProcessGlobals();
        recorder().clear();
        recorder().setNow(QDateTime(QDate(2026, 3, 2), QTime(8, 0)));
        installFactoryFiles();
        {
            dialogs::ScopedAnswerer startup({}, QDialog::Accepted);
            window = std::make_unique<DeRaRazovi>(nullptr);
        }
        window->show();
        // The application object lives through every case: its first counted press after start,
        // which it only notes, is made here whichever case runs first.
        CameraManager::getInstance()->isSimulated = true;
        tap(window->helpButton);
        gpWPara->autoLogout = 60;
        gpWPara->screenOffTime = 30;
        CameraManager::getInstance()->isSimulated = false;
        window->helpButton->installEventFilter(&counter);
        linux_kernel_proc_version = QStringLiteral("Linux version 6.5.0-14-generic");  // sysfs
    }
    void TearDown() override {
        window.reset();
        linux_kernel_proc_version.clear();
    }
    testsupport::WorkDir dir;
    PressCounter counter;
    std::unique_ptr<DeRaRazovi> window;
};

TEST_F(Application, EveryTouchRestartsTheLogoutAndTheLogoutComesAfterTheIdleTime) {
    window->loginLevel = 1;
    window->logoutTimer->stop();
    tap(window->helpButton);
    EXPECT_EQ(counter.presses, 1) << "with the screen on the press reaches the widget";
    ASSERT_TRUE(window->logoutTimer->isActive());
    EXPECT_EQ(window->logoutTimer->interval(), 60'000);
    EXPECT_EQ(window->lcdTimer->interval(), 30'000);
    // The idle time runs out: the operator is logged out.
    QMetaObject::invokeMethod(window->logoutTimer, "timeout");
    EXPECT_EQ(window->loginLevel, 0);
    EXPECT_FALSE(window->logoutTimer->isActive());
}

TEST_F(Application, TheScreenGoesDarkAndTheWakingPressIsConsumed) {
    QMetaObject::invokeMethod(window->lcdTimer, "timeout");
    ASSERT_EQ(window->isScreenOff, 1);
    ASSERT_EQ(recorder().recorded().last().data, QByteArray("1\n")) << "backlight off";

    send(window->helpButton, QEvent::MouseButtonPress);
    EXPECT_EQ(counter.presses, 0) << "the waking press reaches no widget";
    EXPECT_EQ(window->isScreenOff, 0);
    EXPECT_EQ(recorder().recorded().last().data, QByteArray("0\n")) << "backlight on";
    EXPECT_TRUE(window->lcdTimer->isActive() && window->logoutTimer->isActive());
}

TEST_F(Application, CalibrationHoldRunsTheCalibratorAndAsksForAReboot) {
    auto* app = MApplication::_instance;
    ASSERT_NE(app, nullptr);
    CameraManager::getInstance()->isSimulated = true;
    // A press released before 5 s: the hold ends, nothing else happens.
    send(window->helpButton, QEvent::MouseButtonPress);
    ASSERT_TRUE(app->tscTimer->isActive());
    EXPECT_EQ(app->tscTimer->interval(), panel::kCalibrationHoldMs);
    recorder().advanceMs(panel::kCalibrationHoldMs - 1);
    send(window->helpButton, QEvent::MouseButtonRelease);
    EXPECT_FALSE(app->tscTimer->isActive());
    recorder().advanceMs(1000);

    // Held until the hold timer runs out: armed, the message is shown.
    recorder().clear();
    send(window->helpButton, QEvent::MouseButtonPress);
    QMetaObject::invokeMethod(app->tscTimer, "timeout");
    EXPECT_TRUE(app->touchSupervisor().armed());
    EXPECT_FALSE(app->tscTimer->isActive());
    WarnBox* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<WarnBox*>(w); box && box->isVisible() && box != gpWarnBox)
            shown = box;
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->property("text").toString(), lan(370));
    EXPECT_TRUE(commandsRun().isEmpty());

    // Lifting the finger: the calibrator, then the files flushed and the reboot asked for; off
    // the panel nothing reboots, so the program goes on with its databases open again.
    send(window->helpButton, QEvent::MouseButtonRelease);
    EXPECT_EQ(commandsRun(), QStringList({"./tsc", "sleep", "sleep", "sync", "reboot"}));
    EXPECT_TRUE(window->recordDb.isOpen());
    EXPECT_FALSE(app->touchSupervisor().armed());
    shown->close();
}

TEST_F(Application, PressesOnTheNetworkSettingsStartNoCalibrationHold) {
    auto* app = MApplication::_instance;
    ASSERT_NE(app, nullptr);
    ASSERT_NE(gpNumCharPad, nullptr);
    CameraManager::getInstance()->isSimulated = true;
    auto hold = [&] { return QString(app->tscTimer->isActive() ? "holding" : "idle"); };
    // A finger still down elsewhere when the dialog opens.
    send(window->helpButton, QEvent::MouseButtonPress);
    ASSERT_EQ(hold(), "holding");

    QStringList seen;  // the hold right after each press, finger still down
    {
        dialogs::ScopedAnswerer answers([&](QDialog* dialog) {
            auto* network = qobject_cast<NetworkSettingDialog*>(dialog);
            if (!network) return int(QDialog::Rejected);
            seen << "opened: " + hold();
            send(window->helpButton, QEvent::MouseButtonRelease);
            network->show();
            const struct {
                const char* name;
                QWidget* target;
            } presses[] = {{"device name", network->deviceNameField()},
                           {"keypad", gpNumCharPad},
                           {"server port", network->serverPortField()}};
            for (const auto& p : presses) {
                recorder().advanceMs(panel::kDuplicatePressMs + 1);
                send(p.target, QEvent::MouseButtonPress);
                seen << QString(p.name) + ": " + hold();
                send(p.target, QEvent::MouseButtonRelease);
                if (p.target == network->deviceNameField()) {
                    EXPECT_TRUE(gpNumCharPad->isVisible()) << "the field opens its keypad";
                }
            }
            return int(QDialog::Rejected);
        });
        window->wizardParaWidget->SlotNetworkDialog();
        ASSERT_EQ(answers.count(), 1);
    }
    // Once the dialog is closed a hold starts again.
    recorder().advanceMs(panel::kDuplicatePressMs + 1);
    send(window->helpButton, QEvent::MouseButtonPress);
    seen << "closed: " + hold();
    send(window->helpButton, QEvent::MouseButtonRelease);
    EXPECT_EQ(seen, QStringList({"opened: idle", "device name: idle", "keypad: idle",
                                 "server port: idle", "closed: holding"}));
}
