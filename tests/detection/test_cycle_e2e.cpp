// The main road end to end: the main window with simulated cameras, the IO-board simulator on
// a pseudo-terminal, an input edge at the board, the configured delay, the inspection and the
// output word back at the board; records, counters and statistics on the way.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "cammerwidget.h"
#include "controlport.h"
#include "deraRazovi.h"
#include "globals.h"
#include "iothread.h"
#include "testsupport.h"
#include "warnbox.h"
#include "windowrig.h"
#include "wizardpara.h"

using cycletest::WindowRig;
using Clock = WindowRig::Clock;

namespace {

constexpr int kClamp = 0;
constexpr int kEjector = 1;
constexpr int kAlarm = 2;
constexpr int kWaitMs = 5000;
constexpr int kRoundingMs = 2;

qint64 msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// The stages of the statistics records emitted so far.
std::vector<int> stages(const QSignalSpy& spy) {
    std::vector<int> result;
    for (const QList<QVariant>& args : spy) result.push_back(args.at(0).toInt());
    return result;
}

void resetCounters() {
    std::fill(std::begin(gAllNum), std::end(gAllNum), 0);
    std::fill(std::begin(gFailNum), std::end(gFailNum), 0);
    std::fill(std::begin(gAllCycleNum), std::end(gAllCycleNum), 0);
    std::fill(std::begin(gFailCycleNum), std::end(gFailCycleNum), 0);
    gSyncNGNum = gSyncNGCycleNum = 0;
}

}  // namespace

class CycleEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::recorder().clear();
        resetCounters();
    }
    std::unique_ptr<WindowRig> start(int cameras,
                                     const std::function<void(WizardPara&)>& configure) {
        auto rig = std::make_unique<WindowRig>(cameras, configure, testsupport::recorder());
        EXPECT_TRUE(rig->ok()) << rig->error().toStdString();
        return rig;
    }
};

TEST_F(CycleEndToEnd, OkSceneReleasesClampAndEjectorAfterTheDelays) {
    auto rig = start(2, [](WizardPara& p) {
        p.detectMode = 0;
        p.detectProdEnable = 1;
        p.trigInDelay[0] = 3;  // product step 0.3 s after the edge
        p.trigInDelay[1] = 5;  // mould step 0.5 s after the product step
    });
    ASSERT_TRUE(rig->ok());
    QSignalSpy statistics(&rig->window(), &DeRaRazovi::sendRecord);
    EXPECT_FALSE(rig->output(kClamp));

    const Clock::time_point edge = Clock::now();
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitOutput(kClamp, true, kWaitMs)) << "the cycle start withholds closing";
    ASSERT_TRUE(rig->waitOutput(kEjector, false, kWaitMs));
    ASSERT_TRUE(rig->waitOutput(kClamp, false, kWaitMs)) << "mould OK allows closing";
    EXPECT_FALSE(rig->output(kAlarm));

    const Clock::time_point withheld = rig->firstChange(kEjector, true, edge);
    const Clock::time_point ejectorFree = rig->firstChange(kEjector, false, withheld);
    const Clock::time_point clampFree = rig->firstChange(kClamp, false, withheld);
    // The edge is taken before the board reports it, so neither comes before its delay
    // (allowing the timers' millisecond rounding).
    EXPECT_GE(msBetween(edge, ejectorFree), 300 - kRoundingMs) << "not before the product delay";
    EXPECT_GE(msBetween(edge, clampFree), 800 - kRoundingMs) << "not before both delays";

    EXPECT_EQ(gAllNum[0], 2);
    EXPECT_EQ(gAllNum[1], 2);
    EXPECT_EQ(gAllCycleNum[1], 1);
    EXPECT_EQ(gFailNum[0], 0);
    EXPECT_EQ(stages(statistics), (std::vector<int>{0, 1}));
    EXPECT_TRUE(rig->counterFile().contains(QStringLiteral("list_allcyclenum=1, 1, 0")))
        << rig->counterFile().toStdString();
}

TEST_F(CycleEndToEnd, NgSceneRaisesAlarmRecordsAndCounts) {
    auto rig = start(1, [](WizardPara& p) {
        p.detectMode = 0;
        p.detectProdEnable = 1;
        p.trigInDelay[0] = 2;
        p.trigInDelay[1] = 6;
    });
    ASSERT_TRUE(rig->ok());
    QSignalSpy statistics(&rig->window(), &DeRaRazovi::sendRecord);

    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitOutput(kEjector, true, kWaitMs));
    ASSERT_TRUE(rig->waitOutput(kEjector, false, kWaitMs)) << "the product step passes";
    rig->setScene(0, true);  // the mould step sees the NG scene
    ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs));
    EXPECT_TRUE(rig->output(kClamp)) << "closing stays withheld";
    EXPECT_EQ(rig->window().resultState, 2);
    EXPECT_EQ(rig->window().detectState, 3);

    // "Camera %1 " of each failing camera, the last character removed, then "Alarm".
    const QString alarmRecord = lan(151).arg(1).chopped(1) + lan(152);
    EXPECT_TRUE(rig->records().contains(alarmRecord)) << rig->records().join('|').toStdString();
    EXPECT_EQ(gFailNum[0], 1);
    EXPECT_EQ(gFailCycleNum[0], 1);
    EXPECT_EQ(gSyncNGCycleNum, 1);
    ASSERT_EQ(statistics.size(), 2);
    EXPECT_EQ(statistics.at(1).at(2).value<QList<bool>>(), QList<bool>{false});
    EXPECT_TRUE(rig->counterFile().contains(QStringLiteral("list_failnum=1, 0")));

    // Edges while the alarm is shown start nothing; clearing the alarm lifts it.
    rig->setInput(0, false);
    rig->waitFor([] { return false; }, 200);
    rig->setInput(0, true);
    rig->waitFor([] { return false; }, 300);
    EXPECT_TRUE(rig->output(kAlarm));
    EXPECT_EQ(gAllNum[0], 2);
    rig->window().SlotClearNGAlarm();
    EXPECT_TRUE(rig->waitOutput(kAlarm, false, kWaitMs));
    EXPECT_EQ(rig->window().detectState, 1);
    EXPECT_EQ(gAllNum[0], 2) << "clearing counts nothing again";
}

TEST_F(CycleEndToEnd, RetryThatPassesRaisesNoAlarm) {
    auto rig = start(1, [](WizardPara& p) {
        p.detectMode = 0;
        p.detectProdEnable = 1;
        p.reDetectNum = 1;
        p.trigInDelay[0] = 2;
        p.trigInDelay[1] = 4;
    });
    ASSERT_TRUE(rig->ok());
    QSignalSpy statistics(&rig->window(), &DeRaRazovi::sendRecord);
    DeRaRazovi& w = rig->window();

    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitOutput(kEjector, true, kWaitMs));
    ASSERT_TRUE(rig->waitOutput(kEjector, false, kWaitMs));
    rig->setScene(0, true);
    ASSERT_TRUE(rig->waitFor([&] { return w.reCheckPending == 1; }, kWaitMs));
    rig->setScene(0, false);  // the re-detection sees the OK scene
    ASSERT_TRUE(rig->waitOutput(kClamp, false, kWaitMs));

    for (const cycletest::OutputChange& change : rig->changes())
        EXPECT_FALSE(rig->levelIn(change.word, kAlarm)) << "the alarm never went on";
    EXPECT_EQ(w.resultState == 2, false);
    EXPECT_EQ(gAllNum[0], 2);
    EXPECT_EQ(gFailNum[0], 0) << "the failed try is not the step's result";
    EXPECT_EQ(gFailCycleNum[0], 0);
    EXPECT_EQ(stages(statistics), (std::vector<int>{0, 1}));
}

TEST_F(CycleEndToEnd, ProductNgPulsesItsGroupAndEjectorForThePulseTime) {
    auto rig = start(1, [](WizardPara& p) {
        p.detectMode = 0;
        p.detectProdEnable = 1;
        p.ejectorPulseOnProdNG = 1;
        p.ejectorPulse = 4;
        p.trigInDelay[0] = 2;
        p.trigInDelay[1] = 20;
    });
    ASSERT_TRUE(rig->ok());
    rig->setScene(0, true);
    const Clock::time_point edge = Clock::now();
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitOutput(5, true, kWaitMs)) << "NG group 1 of the failed region";
    EXPECT_TRUE(rig->output(kEjector));
    EXPECT_FALSE(rig->output(kAlarm)) << "a pulse answer raises no alarm";
    ASSERT_TRUE(rig->waitOutput(5, false, kWaitMs));
    EXPECT_FALSE(rig->output(kEjector));
    const Clock::time_point on = rig->firstChange(5, true, edge);
    const Clock::time_point off = rig->firstChange(5, false, on);
    EXPECT_GE(msBetween(on, off), 390) << "the pulse lasts its 0.4 s";
    EXPECT_NE(rig->window().resultState, 2);
}

// --- the step order of every detection mode ------------------------------------------------

TEST_F(CycleEndToEnd, TwoColourRunsProductOnOpenAndMouldOnItsSecondSignal) {
    auto rig = start(1, [](WizardPara& p) {
        p.detectMode = 1;
        p.moldSide = 0;  // left mould: steps 0 and 1
        p.detectProdEnable = 1;
    });
    ASSERT_TRUE(rig->ok());
    QSignalSpy statistics(&rig->window(), &DeRaRazovi::sendRecord);
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 1; }, kWaitMs));
    rig->setInput(2, true);
    ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 2; }, kWaitMs));
    EXPECT_EQ(stages(statistics), (std::vector<int>{0, 1}));
    EXPECT_EQ(gAllCycleNum[0], 1);
}

TEST_F(CycleEndToEnd, TurntableInputThreeRunsTheRightSide) {
    auto rig = start(1, [](WizardPara& p) {
        p.detectMode = 2;
        p.moldSide = 2;  // both sides
        p.detectProdEnable = 1;
    });
    ASSERT_TRUE(rig->ok());
    QSignalSpy statistics(&rig->window(), &DeRaRazovi::sendRecord);
    rig->setInput(3, true);
    ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 2; }, kWaitMs));
    EXPECT_EQ(stages(statistics), (std::vector<int>{2, 3}));
    rig->setInput(3, false);
    rig->waitFor([] { return false; }, 2500);  // past the OK display
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 4; }, kWaitMs));
    EXPECT_EQ(stages(statistics), (std::vector<int>{2, 3, 0, 1}));
}

TEST_F(CycleEndToEnd, MultiDetectionRunsItsStepsInOrder) {
    auto rig = start(1, [](WizardPara& p) {
        p.detectMode = 3;
        p.detectProdEnable = 1;
        p.detectNum = 3;
        p.sequentialDetect = 1;
        for (int j = 0; j < 8; ++j) p.outputOwner[j] = j < 3 ? j : -1;
        p.detectTrigIn[0] = 0;                 // input 0
        p.detectTrigIn[1] = 1;                 // input 2
        p.detectTrigIn[2] = 2;                 // input 3
        for (int& c : p.detectCutMode) c = 1;  // cut self
    });
    ASSERT_TRUE(rig->ok());
    QSignalSpy statistics(&rig->window(), &DeRaRazovi::sendRecord);
    const int inputs[3] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        rig->setInput(inputs[k], true);
        ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == k + 1; }, kWaitMs)) << k;
        rig->setInput(inputs[k], false);
        rig->waitFor([] { return false; }, 150);
    }
    EXPECT_EQ(stages(statistics), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(gAllCycleNum[0], 1) << "the last step ends the cycle";
    // OutputNo = {2, 4, 5, ...}: steps 0 and 1 use outputs 1 and 3, the last one output 0;
    // each was released by its OK.
    EXPECT_FALSE(rig->output(1));
    EXPECT_FALSE(rig->output(3));
    EXPECT_FALSE(rig->output(0));
}

TEST_F(CycleEndToEnd, AlarmShowsEveryCameraTiled) {
    auto rig = start(3, [](WizardPara& p) {
        p.detectMode = 0;
        p.detectProdEnable = 1;
    });
    ASSERT_TRUE(rig->ok());
    DeRaRazovi& w = rig->window();
    w.curCamera = 1;
    w.ChangeCammer();
    EXPECT_FALSE(w.cammerWidgets[0]->isVisibleTo(&w));
    EXPECT_EQ(w.cammerWidgets[1]->geometry(), QRect(0, 0, gShowW, gShowH));

    rig->setAllScenes(true);
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs));
    EXPECT_EQ(w.curCamera, 3);
    // Three cameras: 2 x 2 tiles of W/2 x H/2, the third bottom left.
    const int W = gShowW;
    const int h = gShowH / 2;
    EXPECT_EQ(w.cammerWidgets[0]->geometry(), QRect(0, 0, W / 2, h));
    EXPECT_EQ(w.cammerWidgets[1]->geometry(), QRect(W / 2, 0, W - W / 2, h));
    EXPECT_EQ(w.cammerWidgets[2]->geometry(), QRect(0, h, W / 2, gShowH - h));
    for (int c = 0; c < 3; ++c) {
        EXPECT_TRUE(w.cammerWidgets[c]->isVisibleTo(&w)) << c;
        EXPECT_FLOAT_EQ(w.cammerWidgets[c]->winScaleH, float(h) / float(gShowH)) << c;
        EXPECT_FLOAT_EQ(w.cammerWidgets[0]->winScaleW, float(W / 2) / float(W));
    }
    EXPECT_TRUE(rig->records().contains(lan(151).arg(1) + lan(151).arg(2) +
                                        lan(151).arg(3).chopped(1) + lan(152)));
}

TEST_F(CycleEndToEnd, LostCameraWithholdsClosingAndStopsTheBoardPolls) {
    auto rig = start(2, [](WizardPara& p) { p.detectMode = 0; });
    ASSERT_TRUE(rig->ok());
    DeRaRazovi& w = rig->window();
    IOThread* io = gpControlIO->ioThread;
    ASSERT_NE(io, nullptr);
    io->setHeartbeatTimeoutMs(400);

    w.cammerWidgets[1]->isConnected = false;
    ASSERT_TRUE(rig->waitOutput(kClamp, true, kWaitMs))
        << "closing withheld while a camera is lost";
    EXPECT_TRUE(gpWarnBox->isVisible()) << "the warning is up and the event loop runs on";
    EXPECT_TRUE(rig->waitFor([&] { return io->pollingSuspended(); }, kWaitMs))
        << "the passes stop refreshing the IO heartbeat";
    rig->setInput(0, true);
    rig->waitFor([] { return false; }, 300);
    EXPECT_EQ(gAllNum[0], 0) << "no cycle while a camera is lost";

    w.cammerWidgets[1]->isConnected = true;
    EXPECT_TRUE(rig->waitFor([&] { return !io->pollingSuspended(); }, kWaitMs));
    EXPECT_TRUE(w.camerasOkShown);
    EXPECT_TRUE(rig->records().contains(lan(656)));
}
