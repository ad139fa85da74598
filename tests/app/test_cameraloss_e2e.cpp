// A camera unplugged under the main window, as the operator meets it: the loss is told once,
// on the camera-loss box or on the warning box, and once confirmed the panel is the operator's
// while the same loss lasts. Taps take the window system's road, so a box over the panel
// keeps them from what lies under it.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "cammerwidget.h"
#include "colorbutton.h"
#include "cyclefakes.h"
#include "deraRazovi.h"
#include "dialogseam.h"
#include "globals.h"
#include "indexbutton.h"
#include "lostcamerawarnbox.h"
#include "testsupport.h"
#include "warnbox.h"
#include "windowrig.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

using cycletest::WindowRig;

namespace {

constexpr int kWaitMs = 30000;
constexpr int kCameraUnavailable = 39;
constexpr int kCamerasBack = 656;

void tap(QWidget* button) {
    ASSERT_TRUE(button && button->isVisible());
    QWidget* top = button->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(top, button->rect().center()));
}

QWidget* confirmOf(WarnBox* box) {
    return box->findChild<QWidget*>(QStringLiteral("confirm"));
}

// Red pixels on the band of the view's line that says its camera is away.
int redOnLossLine(CammerWidget& view) {
    const QImage image = view.grab().toImage();
    int red = 0;
    for (int y = int(50 * view.winScaleH); y < int(100 * view.winScaleH); ++y)
        for (int x = int(700 * view.winScaleW); x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            red += qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
        }
    return red;
}

bool shows(int entry) {
    return gpWarnBox->isVisible() && gpWarnBox->text() == lan(entry);
}

}  // namespace

class CameraLoss : public ::testing::Test {
protected:
    void start(bool lossBox) {
        testsupport::recorder().clear();
        rig = std::make_unique<WindowRig>(
            2,
            [lossBox](WizardPara& p) {
                cycletest::setOptions(p, "detectMode=0");
                p.isPswUsed = 0;
                p.cameraLostOpt = lossBox;
            },
            testsupport::recorder());
        ASSERT_TRUE(rig->ok()) << rig->error().toStdString();
        // Over the rig's own: every question is confirmed.
        yes = std::make_unique<dialogs::ScopedAnswerer>(std::vector<int>{}, QDialog::Accepted);
        window().show();
    }
    DeRaRazovi& window() { return rig->window(); }
    CammerWidget& view(int c) { return *window().cammerWidgets[c]; }
    void lose(int c) {
        ASSERT_TRUE(rig->unplug(c, true));
        ASSERT_TRUE(rig->waitFor([&] { return !view(c).isConnected; }, kWaitMs));
    }
    // Passes of the cycle that found a camera away: each would tell the loss again.
    void passesWhileLost(int passes) {
        QSignalSpy spy(window().runTimer, &QTimer::timeout);
        ASSERT_TRUE(rig->waitFor([&] { return spy.size() >= passes; }, kWaitMs));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<WindowRig> rig;
    std::unique_ptr<dialogs::ScopedAnswerer> yes;
};

// One tap on the loss box's confirm powers the panel off: no warning comes up over the box.
TEST_F(CameraLoss, OneTapOnTheLossBoxPowersOff) {
    ASSERT_NO_FATAL_FAILURE(start(true));
    ASSERT_NO_FATAL_FAILURE(lose(1));
    ASSERT_TRUE(rig->waitFor([] { return gpLostCameraWarnBox->isVisible(); }, kWaitMs));
    ASSERT_NO_FATAL_FAILURE(passesWhileLost(2));
    EXPECT_FALSE(gpWarnBox->isVisible()) << "the loss box alone tells the loss";
    tap(confirmOf(gpLostCameraWarnBox));
    EXPECT_TRUE(testsupport::recorder().ran(QStringLiteral("poweroff")));
}

// The warning confirmed once stays down while the same loss lasts and the tool bar works; a
// second camera lost is told, and so is the return.
TEST_F(CameraLoss, AConfirmedLossLeavesThePanelToTheOperator) {
    ASSERT_NO_FATAL_FAILURE(start(false));
    ASSERT_NO_FATAL_FAILURE(lose(1));
    ASSERT_TRUE(rig->waitFor([] { return shows(kCameraUnavailable); }, kWaitMs));
    tap(confirmOf(gpWarnBox));
    ASSERT_NO_FATAL_FAILURE(passesWhileLost(2));
    EXPECT_FALSE(gpWarnBox->isVisible()) << "not told again";
    EXPECT_TRUE(rig->output(0)) << "closing withheld";
    EXPECT_GT(redOnLossLine(view(1)), 0) << "the view says its camera is away";
    EXPECT_EQ(redOnLossLine(view(0)), 0);

    IndexButton& bar = *window().indexButton;
    tap(bar.findChild<QWidget*>(QStringLiteral("startstop")));
    EXPECT_EQ(window().detectState, 3) << "detection stopped";
    tap(bar.findChild<QWidget*>(QStringLiteral("systempara")));
    EXPECT_TRUE(window().wizardParaWidget->isVisible()) << "the settings screen opened";
    window().wizardParaWidget->hide();

    ASSERT_NO_FATAL_FAILURE(lose(0));
    EXPECT_TRUE(rig->waitFor([] { return shows(kCameraUnavailable); }, kWaitMs))
        << "a new loss is told";
    tap(confirmOf(gpWarnBox));
    ASSERT_TRUE(rig->unplug(0, false) && rig->unplug(1, false));
    EXPECT_TRUE(rig->waitFor([] { return shows(kCamerasBack); }, kWaitMs)) << "the return";
    EXPECT_EQ(redOnLossLine(view(1)), 0);
}
