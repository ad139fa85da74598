// The settings screen on the main window with simulated cameras: saving every frame as a test
// image, a refused shut-down and leaving the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QMutexLocker>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

#include "cammerrecong.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "cyclefakes.h"
#include "deraRazovi.h"
#include "dialogseam.h"
#include "drawroiwidget.h"
#include "edit.h"
#include "faildirectory.h"
#include "failimagelimits.h"
#include "failslots.h"
#include "globals.h"
#include "lostcamerawarnbox.h"
#include "paramgroupspage.h"
#include "paramlimits.h"
#include "resstatisticsdatabase.h"
#include "resstatisticsparam.h"
#include "savefialimagethread.h"
#include "startup.h"
#include "systemactions.h"
#include "templatefiles.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

using cycletest::WindowRig;

namespace {
constexpr int kWaitMs = 10000;
constexpr int kCameras = 2;

// One step a cycle and no operator password: the settings screen opens without a question.
void modeZeroWithoutPassword(WizardPara& p) {
    cycletest::setOptions(p, "detectMode=0");
    p.isPswUsed = 0;
}
}  // namespace

TEST(SettingsOnTheWindow, TestImagesRefusedShutDownAndExitClosingEveryCamera) {
    testsupport::recorder().clear();
    WindowRig rig(kCameras, modeZeroWithoutPassword, testsupport::recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    DeRaRazovi& m = rig.window();
    WizardParaWidget& screen = *m.wizardParaWidget;
    m.show();  // pages count as open only on a window that is shown
    dialogs::ScopedAnswerer yes({}, QDialog::Accepted);

    // Saving every frame: the next cycle writes one bitmap per camera for its (mould) step.
    m.SlotSystemPara();
    ASSERT_TRUE(screen.openSection(WizardParaWidget::Camera));
    screen.saveAllImagesSwitch()->setChecked(true);
    screen.accept();
    ASSERT_EQ(m.saveAllImages, 1);
    rig.setInput(0, true);
    auto saved = [&](int c) {
        return QDir(QStringLiteral("originalimage/cammer%1%2").arg(c + 1).arg(2))
            .entryList({QStringLiteral("template*.bmp")}, QDir::Files);
    };
    ASSERT_TRUE(rig.waitFor([&] { return !saved(0).isEmpty() && !saved(1).isEmpty(); }, kWaitMs));
    EXPECT_TRUE(
        QRegExp(QStringLiteral("template\\d{8}-\\d{6}-\\d{3}\\.bmp")).exactMatch(saved(0).value(0)))
        << saved(0).value(0).toStdString();
    rig.setInput(0, false);

    // Shut Down that the system refuses: the databases were closed when it was asked; the
    // operator is told and the program goes on with its databases and detection.
    bool closedWhenAsked = false;
    testsupport::recorder().scriptCommand(QStringLiteral("poweroff"), [&](const QStringList&) {
        closedWhenAsked = !m.recordDb.isOpen() && !m.paramDb.isOpen();
        return sys::CommandResult{true, 1, {}};
    });
    const int asked = yes.count();
    m.SlotSystemPara();
    screen.findChild<ColorButton*>(QStringLiteral("stop1"))->click();
    EXPECT_EQ(yes.count() - asked, 2) << "asked, then told";
    EXPECT_TRUE(closedWhenAsked);
    EXPECT_EQ(rig.records().last(), lan(292));
    m.InsertRecord(QStringLiteral("after"));
    EXPECT_EQ(rig.records().last(), QString("after")) << "records are stored again";
    EXPECT_NE(m.detectState, 3);
    screen.reject();
    // The power-off after a lost camera, refused alike: told, and records are stored again.
    const int beforeLoss = yes.count();
    m.askPowerOffAfterCameraLoss();
    gpLostCameraWarnBox->accept();
    EXPECT_EQ(yes.count() - beforeLoss, 1) << "told";
    m.InsertRecord(QStringLiteral("after the loss"));
    EXPECT_EQ(rig.records().last(), QString("after the loss"));
    testsupport::recorder().scriptCommand(QStringLiteral("poweroff"),
                                          sys::CommandResult{true, 0, {}});

    // Exit: asked, recorded, every camera stopped and closed, the event loop ends with 0.
    testsupport::recorder().clear();
    QTimer::singleShot(0, [&] {
        m.SlotSystemPara();
        screen.findChild<ColorButton*>(QStringLiteral("stop0"))->click();
    });
    EXPECT_EQ(QApplication::exec(), 0);
    for (int c = 0; c < kCameras; ++c) EXPECT_FALSE(m.cammerWidgets[c]->isOpen) << c;
    EXPECT_EQ(rig.records().last(), lan(295));
    EXPECT_FALSE(testsupport::recorder().ran(QStringLiteral("poweroff")));
    EXPECT_FALSE(testsupport::recorder().ran(QStringLiteral("reboot")));
}

// A statistics store that does not answer (a disk that hangs) holds every stop within one bound:
// Shut Down (which off the panel goes on), then Exit and the end of the event loop wait for it
// once in all, and the program still ends with 0.
TEST(SettingsOnTheWindow, AStoreThatDoesNotAnswerIsWaitedForOnceOnEveryRoadOfTheStop) {
    testsupport::recorder().clear();
    WindowRig rig(
        1, [](WizardPara& p) { p.isPswUsed = 0; }, testsupport::recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    DeRaRazovi& m = rig.window();
    WizardParaWidget& screen = *m.wizardParaWidget;
    m.show();
    dialogs::ScopedAnswerer yes({}, QDialog::Accepted);
    // Shared: the store left behind may still be leaving acquire() when the test ends.
    auto stuck = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        gpResStatisticsParam->store(), [stuck] { stuck->acquire(); }, Qt::QueuedConnection);
    testsupport::MessageCatcher warnings;

    m.SlotSystemPara();
    screen.findChild<ColorButton*>(QStringLiteral("stop1"))->click();
    screen.reject();
    QTimer::singleShot(0, [&] {
        m.SlotSystemPara();
        screen.findChild<ColorButton*>(QStringLiteral("stop0"))->click();
    });
    EXPECT_EQ(QApplication::exec(), 0);
    stopBeforeWindowGoes();
    // As the window's end does.
    delete gpResStatisticsParam;
    gpResStatisticsParam = nullptr;
    EXPECT_EQ(warnings.count("was not saved within") + warnings.count("did not finish within"), 1)
        << warnings.messages().join('\n').toStdString();
    stuck->release();
}

// Every road of the stop lets go of each database connection before removing it, so that the
// warning of a connection still in use is never a false one.
TEST(SettingsOnTheWindow, EveryRoadOfTheStopLetsTheConnectionsGoBeforeTheyAreRemoved) {
    testsupport::MessageCatcher warnings;
    {
        testsupport::recorder().clear();
        WindowRig rig(1, modeZeroWithoutPassword, testsupport::recorder());
        ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
        DeRaRazovi& m = rig.window();
        WizardParaWidget& screen = *m.wizardParaWidget;
        m.show();
        dialogs::ScopedAnswerer yes({}, QDialog::Accepted);
        // Shut Down refused by the system, Restart resumed off the panel, then Exit.
        testsupport::recorder().scriptCommand(QStringLiteral("poweroff"),
                                              sys::CommandResult{true, 1, {}});
        for (const char* stop : {"stop1", "stop2"}) {
            m.SlotSystemPara();
            screen.findChild<ColorButton*>(QLatin1String(stop))->click();
            screen.reject();
        }
        ASSERT_TRUE(testsupport::recorder().ran(QStringLiteral("poweroff")) &&
                    testsupport::recorder().ran(QStringLiteral("reboot")));
        QTimer::singleShot(0, [&] {
            m.SlotSystemPara();
            screen.findChild<ColorButton*>(QStringLiteral("stop0"))->click();
        });
        EXPECT_EQ(QApplication::exec(), 0);
        stopBeforeWindowGoes();
    }
    EXPECT_EQ(warnings.count("removeDatabase"), 0)
        << warnings.messages().filter("removeDatabase").join('\n').toStdString();
}

// Fail pictures the saver has not reached when the program stops are written on the way out,
// also when the display goes (the stop then runs with the window still there): here a failed
// step whose re-detection passed, its NG and OK pictures in its NG folder under two names.
TEST(SettingsOnTheWindow, FailPicturesStillMarkedAreWrittenByTheStop) {
    WindowRig rig(1, modeZeroWithoutPassword, testsupport::recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    // The saver rests between passes for longer than the test: the pictures wait for the stop.
    gpSaveFialImageThread->setPacing({600000, 600000, failimage::kPauseAfterUnreportedMs});
    QThread::msleep(3 * failimage::kScanPeriodMs);
    const int step = gDNum - 1;
    {
        QMutexLocker lock(pMutexSaveFail);
        for (int kind : {failimage::kKindNG, failimage::kKindOK})
            gisSaveFail[failimage::slotIndex(0, step, kind)] = true;
    }
    stopBeforeWindowGoes();
    const QDir folder(
        failimage::failFolderPath(failimage::kDefaultFolderRoot, 0, step, failimage::kKindNG));
    EXPECT_EQ(folder.entryList({failimage::kPictureFilter}, QDir::Files).size(), 2);
}

// A group restored off the panel, where the restart is only logged: the camera inspects with
// the group's area and ignore points, and a later save on the editing page keeps the area. Where
// the system refuses the restart, the group is in force before the refusal is told. Where the
// editing page holds copies of the areas, they wait until it closes; the ignore points, which
// its answers write into, are the group's at once.
TEST(SettingsOnTheWindow, ARestoreWithoutRestartPutsTheGroupsAreasInForce) {
    testsupport::recorder().clear();
    WindowRig rig(1, modeZeroWithoutPassword, testsupport::recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    DeRaRazovi& m = rig.window();
    m.show();
    std::function<void()> inNotice;
    dialogs::ScopedAnswerer yes([&](QDialog* d) {
        if (d == gpWarnBox && inNotice) std::exchange(inNotice, nullptr)();
        return int(QDialog::Accepted);
    });
    CammerWidget& view = *m.cammerWidgets[0];
    constexpr int step = 1;
    const QRect backedUp = view.liveParam->rects[step][0].showRect;
    auto* groups = m.wizardParaWidget->findChild<settings::ParamGroupsPage*>();
    m.SlotSystemPara();
    groups->nameField()->setText(QStringLiteral("mould A"));
    ASSERT_TRUE(groups->backup());

    // Then the area grows and ignore points are taken, both stored and in force.
    const auto grow = [&] {
        view.liveParam->rects[step][0].showRect.adjust(0, 0, 30, 30);
        return view.saveRegions();
    };
    std::vector<uchar> points(size_t(view.pixelCount), uchar(255));
    const auto ignore = [&] {
        view.context.ignoreMask[step] = points;
        view.recong->VarTrain(step);
        return failimage::saveIgnoreMask(0, step, points.data(), view.imageW, view.imageH);
    };
    ASSERT_TRUE(grow());
    ASSERT_TRUE(ignore());

    groups->list()->setCurrentItem(groups->list()->findItems("mould A", Qt::MatchExactly)[0]);
    ASSERT_TRUE(groups->restore());
    EXPECT_EQ(view.liveParam->rects[step][0].showRect, backedUp);
    EXPECT_EQ(cv::countNonZero(view.recong->detMask[step]), view.pixelCount)
        << "trained without the ignore points";

    m.wizardParaWidget->reject();
    m.SlotAdjustArea();
    ASSERT_TRUE(m.drawROIWidget->page().holdsCopies());
    ++view.editParam->roiParam2[step][0];
    m.drawROIWidget->SlotReturn();
    auto stored = std::make_unique<CammerSingleton>(0);
    stored->LoadDatafromFile(WizardPara::paramDatabase(), 1.0f, 1.0f, nullptr);
    EXPECT_EQ(stored->rects[step][0].showRect, backedUp);
    EXPECT_EQ(stored->roiParam2[step][0], view.liveParam->roiParam2[step][0]) << "saved";

    ASSERT_TRUE(grow());
    testsupport::recorder().scriptCommand(QStringLiteral("reboot"),
                                          sys::CommandResult{true, 1, {}});
    QRect inForceWhenTold;
    inNotice = [&] { inForceWhenTold = view.liveParam->rects[step][0].showRect; };
    m.SlotSystemPara();
    ASSERT_TRUE(groups->restore());
    ASSERT_FALSE(inNotice) << "the refusal was told";
    EXPECT_EQ(inForceWhenTold, backedUp);
    m.wizardParaWidget->reject();

    ASSERT_TRUE(grow());
    ASSERT_TRUE(ignore());
    const QRect grown = view.liveParam->rects[step][0].showRect;
    m.SlotAdjustArea();
    ASSERT_TRUE(m.drawROIWidget->page().holdsCopies());
    ASSERT_TRUE(groups->restore());
    EXPECT_EQ(view.liveParam->rects[step][0].showRect, grown);
    EXPECT_EQ(cv::countNonZero(view.context.ignoreMask[step]), 0);
    m.drawROIWidget->SlotReturn();
    EXPECT_TRUE(
        rig.waitFor([&] { return view.liveParam->rects[step][0].showRect == backedUp; }, kWaitMs));
    testsupport::recorder().scriptCommand(QStringLiteral("reboot"),
                                          sys::CommandResult{true, 0, {}});
}

// A group of another detection mode restored where the restart does not happen: the running
// mode, and what the start sized from it, stays in force until the next start, the group's
// mode waiting to be started as one chosen on the screen does. The next failed mould raises
// its alarm and holds the clamp.
TEST(SettingsOnTheWindow, ARestoreOfAnotherModeWithoutRestartKeepsTheRunningMode) {
    constexpr int kClamp = 0;
    constexpr int kAlarm = 2;
    testsupport::recorder().clear();
    WindowRig rig(1, modeZeroWithoutPassword, testsupport::recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    DeRaRazovi& m = rig.window();
    m.show();
    dialogs::ScopedAnswerer yes({}, QDialog::Accepted);
    auto* groups = m.wizardParaWidget->findChild<settings::ParamGroupsPage*>();
    const auto confirmMode = [&](int mode) {
        m.SlotSystemPara();
        gpWParaBak->detectModeNext = mode;
        m.wizardParaWidget->accept();
    };
    confirmMode(params::kModeTwoColor);
    m.SlotSystemPara();
    groups->nameField()->setText(QStringLiteral("two colours"));
    ASSERT_TRUE(groups->backup());
    m.wizardParaWidget->reject();
    confirmMode(params::kModeStandard);

    m.SlotSystemPara();
    groups->list()->setCurrentItem(groups->list()->findItems("two colours", Qt::MatchExactly)[0]);
    ASSERT_TRUE(groups->restore());
    ASSERT_TRUE(testsupport::recorder().ran(QStringLiteral("reboot")));
    EXPECT_EQ(gpWPara->detectMode, params::kModeStandard);
    EXPECT_EQ(gpWPara->detectModeNext, params::kModeTwoColor);
    m.wizardParaWidget->reject();

    rig.setScene(0, true);
    rig.setInput(0, true);
    EXPECT_TRUE(rig.waitOutput(kAlarm, true, kWaitMs));
    EXPECT_EQ(m.resultState, 2);
    EXPECT_TRUE(rig.output(kClamp));
}
