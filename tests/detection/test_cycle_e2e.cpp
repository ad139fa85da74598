// The main road end to end: the main window with simulated cameras, the IO-board simulator on
// a pseudo-terminal, an input edge at the board, the configured delay, the inspection and the
// output word back at the board; records, counters and statistics on the way.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>

#include "cammerwidget.h"
#include "controlport.h"
#include "cyclefakes.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "globals.h"
#include "iothread.h"
#include "lostcamerawarnbox.h"
#include "productalarmwarnbox.h"
#include "question.h"
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
// A bound, not a measure: waits end with their event, and a sanitizer build on a busy machine
// runs several times slower.
constexpr int kWaitMs = 30000;
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

}  // namespace

class CycleEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { testsupport::recorder().clear(); }
    // Standard mode with product detection, then `options` (see cycletest::setOptions); the
    // counters start at 0.
    std::unique_ptr<WindowRig> start(int cameras, const std::string& options) {
        for (int* counters : {gAllNum, gFailNum, gAllCycleNum, gFailCycleNum})
            std::fill(counters, counters + std::size(gAllNum), 0);
        gSyncNGNum = gSyncNGCycleNum = 0;
        auto rig = std::make_unique<WindowRig>(
            cameras,
            [&](WizardPara& p) {
                cycletest::setOptions(p, "detectMode=0 detectProdEnable " + options);
            },
            testsupport::recorder());
        EXPECT_TRUE(rig->ok()) << rig->error().toStdString();
        return rig;
    }
};

TEST_F(CycleEndToEnd, OkSceneReleasesClampAndEjectorAfterTheDelays) {
    // Product step 0.3 s after the edge, mould step 0.5 s after the product step.
    auto rig = start(2, "trigInDelay[0]=3 trigInDelay[1]=5");
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

TEST_F(CycleEndToEnd, NgSceneRaisesAlarmTilesEveryCameraRecordsAndCounts) {
    auto rig = start(3, "trigInDelay[0]=2 trigInDelay[1]=6");
    ASSERT_TRUE(rig->ok());
    DeRaRazovi& w = rig->window();
    QSignalSpy statistics(&w, &DeRaRazovi::sendRecord);
    w.curCamera = 1;
    w.ChangeCammer();
    EXPECT_FALSE(w.cammerWidgets[0]->isVisibleTo(&w));
    EXPECT_EQ(w.cammerWidgets[1]->geometry(), QRect(0, 0, gShowW, gShowH));

    // The mould step sees the NG scene: it is shown once the product step is decided.
    rig->whenBetweenEvents([&] { return statistics.size() == 1; },
                           [&] { rig->setAllScenes(true); });
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitOutput(kEjector, true, kWaitMs));
    ASSERT_TRUE(rig->waitOutput(kEjector, false, kWaitMs)) << "the product step passes";
    ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs));
    EXPECT_TRUE(rig->output(kClamp)) << "closing stays withheld";
    EXPECT_EQ(w.resultState, 2);
    EXPECT_EQ(w.detectState, 3);

    // Every camera tiled: 2 x 2 tiles of W/2 x H/2, the third bottom left.
    EXPECT_EQ(w.curCamera, 3);
    const int W = gShowW;
    const int h = gShowH / 2;
    EXPECT_EQ(w.cammerWidgets[0]->geometry(), QRect(0, 0, W / 2, h));
    EXPECT_EQ(w.cammerWidgets[1]->geometry(), QRect(W / 2, 0, W - W / 2, h));
    EXPECT_EQ(w.cammerWidgets[2]->geometry(), QRect(0, h, W / 2, gShowH - h));
    for (int c = 0; c < 3; ++c) {
        EXPECT_TRUE(w.cammerWidgets[c]->isVisibleTo(&w)) << c;
        EXPECT_FLOAT_EQ(w.cammerWidgets[c]->winScaleH, float(h) / float(gShowH)) << c;
    }
    EXPECT_FLOAT_EQ(w.cammerWidgets[0]->winScaleW, float(W / 2) / float(W));

    // "Camera %1 " of each failing camera, the last character removed, then "Alarm".
    const QString alarmRecord =
        lan(151).arg(1) + lan(151).arg(2) + lan(151).arg(3).chopped(1) + lan(152);
    EXPECT_TRUE(rig->records().contains(alarmRecord)) << rig->records().join('|').toStdString();
    EXPECT_EQ(gFailNum[0], 1);
    EXPECT_EQ(gFailNum[2], 1);
    EXPECT_EQ(gFailCycleNum[0], 1);
    EXPECT_EQ(gSyncNGCycleNum, 1);
    ASSERT_EQ(statistics.size(), 2);
    EXPECT_EQ(statistics.at(1).at(2).value<QList<bool>>(), (QList<bool>{false, false, false}));
    EXPECT_TRUE(rig->counterFile().contains(QStringLiteral("list_failnum=1, 1, 1, 0")))
        << rig->counterFile().toStdString();

    // Edges while the alarm is shown start nothing; clearing the alarm lifts it.
    rig->setInput(0, false);
    ASSERT_TRUE(rig->waitInputTaken(0, false, kWaitMs));
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitInputTaken(0, true, kWaitMs));
    EXPECT_TRUE(rig->output(kAlarm));
    EXPECT_EQ(gAllNum[0], 2);
    w.SlotClearNGAlarm();
    EXPECT_TRUE(rig->waitOutput(kAlarm, false, kWaitMs));
    EXPECT_EQ(w.detectState, 1);
    EXPECT_EQ(gAllNum[0], 2) << "clearing counts nothing again";
}

TEST_F(CycleEndToEnd, ProductNgPulsesForItsTimeAndAMouldRetryPassesWithoutAlarm) {
    auto rig = start(1,
                     "ejectorPulseOnProdNG ejectorPulse=4 reDetectNum=1 trigInDelay[0]=2 "
                     "trigInDelay[1]=20");
    ASSERT_TRUE(rig->ok());
    DeRaRazovi& w = rig->window();
    QSignalSpy statistics(&w, &DeRaRazovi::sendRecord);
    rig->setScene(0, true);
    const Clock::time_point edge = Clock::now();
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitOutput(5, true, kWaitMs)) << "NG group 1 of the failed region";
    EXPECT_TRUE(rig->output(kEjector));
    EXPECT_FALSE(rig->output(kAlarm)) << "a pulse answer raises no alarm";
    ASSERT_TRUE(rig->waitOutput(5, false, kWaitMs));
    EXPECT_FALSE(rig->output(kEjector));
    // Its length is the output plan's (checked on the virtual clock); here only that it ends.
    const Clock::time_point on = rig->firstChange(5, true, edge);
    ASSERT_NE(on, Clock::time_point::max());
    EXPECT_NE(rig->firstChange(5, false, on), Clock::time_point::max())
        << "the pulse ends by itself";

    // The mould step fails too and is retried; the re-detection sees the OK scene. The scene
    // changes before the retry's pass, which a poll could miss.
    rig->whenBetweenEvents([&] { return w.reCheckPending == 1; }, [&] { rig->setScene(0, false); });
    ASSERT_TRUE(rig->waitOutput(kClamp, false, kWaitMs));
    for (const cycletest::OutputChange& change : rig->changes())
        EXPECT_FALSE(rig->levelIn(change.word, kAlarm)) << "the alarm never went on";
    EXPECT_NE(w.resultState, 2);
    EXPECT_EQ(gAllNum[0], 2);
    EXPECT_EQ(gFailNum[0], 2) << "the mould's failed try counts although its retry passed";
    EXPECT_EQ(stages(statistics), (std::vector<int>{0, 1}));
}

// The step order of every detection mode, from edges at the board to statistics records.
TEST_F(CycleEndToEnd, EachModeRunsItsStepsInOrder) {
    const struct {
        const char* options;
        std::vector<std::pair<int, int>> edges;  // input, statistics records after its edge
        bool okDisplayEnds;                      // before each further edge
        std::vector<int> stages;
        int cycles;
    } rows[] = {
        // Two-colour, left mould: product on the open input, mould on its second signal.
        {"detectMode=1 moldSide=0", {{0, 1}, {2, 2}}, false, {0, 1}, 1},
        // Turntable, both sides: input 3 runs the right side, input 0 (after the OK display)
        // the left one.
        {"detectMode=2 moldSide=2", {{3, 2}, {0, 4}}, true, {2, 3, 0, 1}, 2},
        // Sequential multi-detection: rows 0..2 own steps 0..2, listen to inputs 0, 2 and 3
        // and each cuts itself.
        {"detectMode=3 detectNum=3 sequentialDetect outputOwner[0]=0 outputOwner[1]=1 "
         "outputOwner[2]=2 detectTrigIn[0]=0 detectTrigIn[1]=1 detectTrigIn[2]=2 "
         "detectCutMode[0]=1 detectCutMode[1]=1 detectCutMode[2]=1",
         {{0, 1}, {2, 2}, {3, 3}},
         false,
         {0, 1, 2},
         1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options);
        auto rig = start(1, row.options);
        ASSERT_TRUE(rig->ok());
        QSignalSpy statistics(&rig->window(), &DeRaRazovi::sendRecord);
        for (size_t i = 0; i < row.edges.size(); ++i) {
            const auto [input, records] = row.edges[i];
            rig->setInput(input, true);
            ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == records; }, kWaitMs))
                << "input " << input;
            rig->setInput(input, false);
            ASSERT_TRUE(rig->waitInputTaken(input, false, kWaitMs));
            if (row.okDisplayEnds) {
                ASSERT_TRUE(rig->waitFor([&] { return rig->window().resultState == 0; }, kWaitMs));
            }
        }
        EXPECT_EQ(stages(statistics), row.stages);
        EXPECT_EQ(gAllCycleNum[0], row.cycles);
        // Every step's OK released its interlock (multi-detection: OutputNo = {2, 4, 5, ...},
        // steps 0 and 1 use outputs 1 and 3, the last one output 0).
        for (int output : {0, 1, 3}) EXPECT_TRUE(rig->waitOutput(output, false, kWaitMs)) << output;
    }
}

TEST_F(CycleEndToEnd, LostCameraWithholdsClosingAndStopsTheBoardPolls) {
    auto rig = start(2, "");
    ASSERT_TRUE(rig->ok());
    DeRaRazovi& w = rig->window();
    IOThread* io = gpControlIO->ioThread;
    ASSERT_NE(io, nullptr);
    io->setHeartbeatTimeoutMs(2000);

    w.cammerWidgets[1]->isConnected = false;
    ASSERT_TRUE(rig->waitOutput(kClamp, true, kWaitMs))
        << "closing withheld while a camera is lost";
    EXPECT_TRUE(gpWarnBox->isVisible()) << "the warning is up and the event loop runs on";
    // The mould opens before the board polls stop: a pass takes the edge and starts nothing.
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitInputSeen(0, true, kWaitMs));
    ASSERT_TRUE(rig->waitInputTaken(0, true, kWaitMs));
    EXPECT_EQ(gAllNum[0], 0) << "no cycle while a camera is lost";
    EXPECT_TRUE(rig->waitFor([&] { return io->pollingSuspended(); }, kWaitMs))
        << "the passes stop refreshing the IO heartbeat";

    w.cammerWidgets[1]->isConnected = true;
    EXPECT_TRUE(rig->waitFor([&] { return !io->pollingSuspended(); }, kWaitMs));
    EXPECT_TRUE(w.camerasOkShown);
    EXPECT_TRUE(rig->records().contains(lan(656)));
}

// The count box is shown without blocking and asks about the count alarm that stands. Another
// road releases the alarm; the box, still up with the old question until the poll takes it down,
// asks nothing. Confirmed then, it releases nothing and the next alarm stands with its own
// question; confirmed right after the next alarm was raised, it releases that alarm.
TEST_F(CycleEndToEnd, ACountBoxConfirmedAfterItsAlarmWasReleasedLeavesTheNextAlarm) {
    for (const bool afterRaise : {false, true}) {
        SCOPED_TRACE(afterRaise ? "confirmed right after the next alarm" : "confirmed before it");
        auto rig = start(1, "detectProdEnable=0 detectEnable[0]=0 moldOKNum=1");
        ASSERT_TRUE(rig->ok());
        DeRaRazovi& w = rig->window();
        const auto countAlarm = [&](quint32 serial) {
            rig->setInput(0, true);
            EXPECT_TRUE(
                rig->waitFor([&] { return w.cycle().countAlarmSerial() >= serial; }, kWaitMs));
            rig->setInput(0, false);
        };
        const quint32 first = w.cycle().countAlarmSerial() + 1;
        countAlarm(first);
        ASSERT_TRUE(
            rig->waitFor([&] { return dialogs::isAsking(*gpProductAlarmWarnBox); }, kWaitMs));

        w.cycle().releaseProductAlarm();
        EXPECT_FALSE(dialogs::isAsking(*gpProductAlarmWarnBox)) << "the released alarm";
        ASSERT_TRUE(rig->waitInputTaken(0, false, kWaitMs));
        // Confirmed once the event that raised the alarm is done, as an operator's press comes.
        const auto confirm = [] { gpProductAlarmWarnBox->accept(); };
        if (afterRaise)
            rig->whenBetweenEvents([&] { return w.cycle().countAlarmSerial() == first + 2; },
                                   [confirm] {
                                       QMetaObject::invokeMethod(gpProductAlarmWarnBox, confirm,
                                                                 Qt::QueuedConnection);
                                   });
        else
            confirm();
        countAlarm(first + 2);
        if (!afterRaise) {
            EXPECT_EQ(w.productAlarm, 1) << "the next count alarm stands";
            EXPECT_TRUE(rig->waitOutput(kClamp, true, kWaitMs));
            ASSERT_TRUE(
                rig->waitFor([&] { return dialogs::isAsking(*gpProductAlarmWarnBox); }, kWaitMs));
            gpProductAlarmWarnBox->accept();
        }
        EXPECT_TRUE(
            rig->waitFor([&] { return w.cycle().countAlarmSerial() == first + 3; }, kWaitMs));
        EXPECT_EQ(w.productAlarm, 0);
        EXPECT_TRUE(rig->waitOutput(kAlarm, false, kWaitMs));
    }
}

// The camera-loss box asks about the loss: confirmed while the camera is away it powers the
// panel off; once the camera is back the question is gone and a confirm powers nothing off.
TEST_F(CycleEndToEnd, TheCameraLossBoxPowersOffOnlyWhileTheLossLasts) {
    for (const bool back : {true, false}) {
        SCOPED_TRACE(back ? "camera back" : "camera away");
        auto rig = start(2, "");
        ASSERT_TRUE(rig->ok());
        DeRaRazovi& w = rig->window();
        gpWPara->cameraLostOpt = 1;
        // As a view does: it marks itself disconnected and reports the loss.
        w.cammerWidgets[1]->isConnected = false;
        w.LostCamera();
        ASSERT_TRUE(dialogs::isAsking(*gpLostCameraWarnBox));
        if (back) w.cammerWidgets[1]->isConnected = true;
        gpLostCameraWarnBox->accept();
        EXPECT_EQ(testsupport::recorder().ran(QStringLiteral("poweroff")), !back);
        EXPECT_FALSE(gpLostCameraWarnBox->isVisible());
        w.cammerWidgets[1]->isConnected = true;
        testsupport::recorder().clear();
    }
}

// The simulation camera unplugged during the mould step's delay: its view sees a real loss,
// the step waits with closing withheld and, once the camera is back, judges a frame taken
// after the return; the NG frame it held before the loss judges nothing.
TEST_F(CycleEndToEnd, StepDueWhileTheCameraIsUnpluggedWaitsForAFrameOfItsReturn) {
    auto rig = start(2, "trigInDelay[1]=20");
    ASSERT_TRUE(rig->ok());
    DeRaRazovi& w = rig->window();
    QSignalSpy statistics(&w, &DeRaRazovi::sendRecord);
    rig->setInput(0, true);
    ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 1; }, kWaitMs));
    rig->setScene(1, true);
    CammerWidget& view = *w.cammerWidgets[1];
    ASSERT_TRUE(rig->waitFor([&] { return view.context.grabBuf.front() == 255; }, kWaitMs))
        << "camera 2 holds an NG frame";
    const quint64 lostAt = detection::nextMoment();
    ASSERT_TRUE(rig->unplug(1, true));
    ASSERT_TRUE(rig->waitFor([&] { return !view.isConnected; }, kWaitMs));

    ASSERT_TRUE(rig->waitFor(
        [&] {
            return rig->output(kAlarm) || (w.timerUp[1]->isActive() && w.trigDelayLeft[1] == 0);
        },
        kWaitMs));
    EXPECT_FALSE(rig->output(kAlarm)) << "the old NG frame judged nothing";
    EXPECT_TRUE(rig->output(kClamp)) << "closing withheld";
    EXPECT_TRUE(gpWarnBox->isVisible());
    EXPECT_TRUE(rig->records().contains(lan(655).arg(2).arg(1)));
    EXPECT_EQ(statistics.size(), 1);

    ASSERT_TRUE(rig->unplug(1, false));
    ASSERT_TRUE(rig->waitFor([&] { return view.isConnected; }, kWaitMs)) << "reconnected";
    rig->setScene(1, false);
    ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 2; }, kWaitMs));
    EXPECT_TRUE(rig->waitOutput(kClamp, false, kWaitMs)) << "the new OK frame allows closing";
    EXPECT_FALSE(rig->output(kAlarm));
    const auto& judged = w.cycle().lastJudgement();
    EXPECT_EQ(judged.step, 1);
    EXPECT_EQ(judged.frames[1].link, 1);
    EXPECT_GT(judged.frames[1].moment, lostAt);
}

// A camera lost again while the notice of its return is still up: the notice goes with the
// loss, which is told at once, whether the loss box asks or the warning tells it, and under
// an NG alarm as well.
TEST_F(CycleEndToEnd, ACameraLostAgainTakesBackTheNoticeOfItsReturn) {
    const struct {
        const char* name;
        bool lossBox;
        bool underAlarm;
    } rows[] = {
        {"warning", false, false}, {"loss box", true, false}, {"under an alarm", false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto rig = start(2, "");
        ASSERT_TRUE(rig->ok());
        gpWPara->cameraLostOpt = row.lossBox;
        CammerWidget& view = *rig->window().cammerWidgets[1];
        if (row.underAlarm) {
            rig->setAllScenes(true);
            rig->setInput(0, true);
            ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs));
        }
        const auto shows = [](const QString& text) {
            return gpWarnBox->isVisible() && gpWarnBox->text() == text;
        };
        ASSERT_TRUE(rig->unplug(1, true));
        ASSERT_TRUE(rig->waitFor([&] { return !view.isConnected; }, kWaitMs));
        ASSERT_TRUE(rig->unplug(1, false));
        ASSERT_TRUE(rig->waitFor([&] { return shows(lan(656)); }, kWaitMs)) << "back";

        ASSERT_TRUE(rig->unplug(1, true));
        const auto lossTold = [&] {
            return row.lossBox ? gpLostCameraWarnBox->isVisible() : shows(lan(39));
        };
        EXPECT_TRUE(rig->waitFor(lossTold, kWaitMs)) << "the loss is told at once";
        EXPECT_FALSE(shows(lan(656))) << "the return is no longer told";
        ASSERT_TRUE(rig->unplug(1, false));
        ASSERT_TRUE(rig->waitFor([&] { return view.isConnected; }, kWaitMs));
    }
}

// The simulation camera unplugged during the mould step's delay and plugged in again: in free
// run the box tells the wait until the first frame of the return is judged; with the external
// trigger no frame is to come, and the step fails for camera 2 at its return, its alarm told
// in the records and on the camera's view.
TEST_F(CycleEndToEnd, AStepWaitingForItsCameraIsToldAndEndsAtItsReturn) {
    for (const bool triggered : {false, true}) {
        SCOPED_TRACE(triggered ? "external trigger" : "free run");
        auto rig = start(2, triggered ? "sysUsage trigInDelay[1]=20" : "trigInDelay[1]=20");
        ASSERT_TRUE(rig->ok());
        DeRaRazovi& w = rig->window();
        QSignalSpy statistics(&w, &DeRaRazovi::sendRecord);
        rig->setInput(0, true);
        // The opening's pictures, which the product step waits for.
        if (triggered)
            for (int c = 0; c < 2; ++c) rig->retakePicture(c);
        ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 1; }, kWaitMs));
        CammerWidget& view = *w.cammerWidgets[1];
        ASSERT_TRUE(rig->unplug(1, true));
        ASSERT_TRUE(rig->waitFor([&] { return !view.isConnected; }, kWaitMs));
        ASSERT_TRUE(rig->waitFor(
            [&] { return w.timerUp[1]->isActive() && w.trigDelayLeft[1] == 0; }, kWaitMs))
            << "the mould step falls due and waits";

        const QString notice = lan(676).arg(2).arg(2);
        const auto noticeOnBox = [&] {
            return gpWarnBox->isVisible() && gpWarnBox->text() == notice;
        };
        // The return's first frame may come in the pass that sees the return, so the wait is
        // looked for while the loss lasts: told behind the loss's warning, or on the box.
        if (!triggered) {
            EXPECT_TRUE(rig->waitFor([&] { return gpWarnBox->tells(notice); }, kWaitMs))
                << "the wait told on the screen";
        }
        ASSERT_TRUE(rig->unplug(1, false));
        if (!triggered) {
            ASSERT_TRUE(rig->waitFor([&] { return statistics.size() == 2; }, kWaitMs));
            EXPECT_FALSE(rig->output(kAlarm)) << "the frame of the return judged";
            EXPECT_TRUE(rig->waitFor([&] { return !gpWarnBox->tells(notice); }, kWaitMs))
                << "withdrawn";
            continue;
        }
        ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs)) << "the step fails at the return";
        EXPECT_TRUE(rig->output(kClamp)) << "closing withheld";
        EXPECT_TRUE(view.frameLostWithLink) << "the alarm's view tells why";
        EXPECT_EQ(w.cycle().lastJudgement().lost, 2u);
        const QStringList records = rig->records();
        EXPECT_TRUE(std::any_of(records.begin(), records.end(), [](const QString& r) {
            return r.contains(lan(677).arg(2));
        })) << records.join('\n').toStdString();
        EXPECT_FALSE(noticeOnBox()) << "no wait left to tell";
    }
}
