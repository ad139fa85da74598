// What the statistics keep of the cycles, with the whole main road around them: the main window
// with a simulated camera and the IO-board simulator. A safety-door re-run and re-check of the
// mould step, and the roads that restart the panel or power it off.
#include <gtest/gtest.h>

#include <QSqlQuery>
#include <functional>
#include <numeric>

#include "cyclefakes.h"
#include "deraRazovi.h"
#include "dialogseam.h"
#include "globals.h"
#include "lostcamerawarnbox.h"
#include "recordingsystemactions.h"
#include "resstatisticsparam.h"
#include "settingswindowhost.h"
#include "statisticsconstants.h"
#include "statisticsjson.h"
#include "statisticssqlite.h"
#include "systemcommands.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"

using cycletest::WindowRig;

namespace {

constexpr int kMouldOpen = 0;
constexpr int kDoor = 1;
constexpr int kAlarm = 2;
constexpr int kSecondSignal = 2;  // input terminal 3
constexpr int kWaitMs = 30000;
const sys::CommandResult kDone{true, 0, {}};

int wholeCycles(const CountGroupList& day) {
    int cycles = 0;
    for (const CountGroup& group : day.groups)
        for (const QList<int>* slotCounts : {&group.summary.summary.OK, &group.summary.summary.NG})
            cycles += std::accumulate(slotCounts->begin(), slotCounts->end(), 0);
    return cycles;
}

// Whole cycles of the running day in the statistics store, as the next start loads them.
int storedCycles() {
    CountGroupList day;
    {
        stats::ScopedConnection connection(QString::fromLatin1(stats::kRunningDbFile),
                                           QStringLiteral("stopstatistics"));
        if (!connection.isOpen()) return -1;
        QSqlQuery query(connection.database());
        stats::dayFromJson(day, stats::documentFromText(stats::readDayDocument(query)));
    }
    return wholeCycles(day);
}

class StatisticsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::recorder().clear();
        for (int* counters : {gAllNum, gFailNum, gAllCycleNum, gFailCycleNum})
            std::fill(counters, counters + std::size(gAllNum), 0);
        gSyncNGNum = gSyncNGCycleNum = 0;
    }
    void TearDown() override {
        testsupport::recorder().scriptCommand(QStringLiteral("reboot"), kDone);
        testsupport::recorder().scriptCommand(QStringLiteral("poweroff"), kDone);
    }
    std::unique_ptr<WindowRig> start(const std::string& options) {
        auto rig = std::make_unique<WindowRig>(
            1,
            [&](WizardPara& p) {
                cycletest::setOptions(p, "detectMode=0 detectProdEnable " + options);
            },
            testsupport::recorder());
        EXPECT_TRUE(rig->ok()) << rig->error().toStdString();
        return rig;
    }
    // An edge on the input, held until the steps it starts are judged.
    void judge(WindowRig& rig, testsupport::MessageCatcher& log, int input, int steps) {
        const int before = results(log);
        rig.setInput(input, true);
        EXPECT_TRUE(rig.waitFor([&] { return results(log) == before + steps; }, kWaitMs));
        rig.setInput(input, false);
        EXPECT_TRUE(rig.waitInputSeen(input, false, kWaitMs));
    }
    static int results(const testsupport::MessageCatcher& log) {
        return log.count(QStringLiteral("Detection result:"));
    }
};

TEST_F(StatisticsEndToEnd, SafetyDoorReRunIsCountedOnceAndItsReCheckIsLogged) {
    testsupport::MessageCatcher log(QtInfoMsg);
    auto rig = start("safeDoorTrigger");
    ASSERT_TRUE(rig->ok());
    judge(*rig, log, kMouldOpen, 2);
    judge(*rig, log, kMouldOpen, 2);
    judge(*rig, log, kDoor, 1);  // re-runs the mould step of the finished cycle: OK again
    EXPECT_TRUE(rig->counterFile().contains(QStringLiteral("list_allcyclenum=2, 0")))
        << rig->counterFile().toStdString();
    EXPECT_EQ(wholeCycles(gpResStatisticsParam->currentDay()), 2);

    // A re-run that fails raises the alarm; closing the door again re-checks the step.
    rig->setScene(0, true);
    judge(*rig, log, kDoor, 1);
    ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs));
    rig->setScene(0, false);
    judge(*rig, log, kDoor, 1);
    EXPECT_TRUE(rig->waitOutput(kAlarm, false, kWaitMs)) << "the re-check lifted the alarm";
    EXPECT_EQ(log.messages().filter(QStringLiteral("Detection result:")).mid(4),
              QStringList({"Detection result: step 2 of 2 OK",
                           "Detection result: step 2 of 2 NG (camera 1)",
                           "Detection result: step 2 of 2 OK"}));
    EXPECT_EQ(gAllCycleNum[0], 2);
    EXPECT_EQ(wholeCycles(gpResStatisticsParam->currentDay()), 2);
}

// Semi-automatic with both signals in one pass: the mould step (the shorter delay) is judged
// first and ends the cycle; the product step fails after it. That cycle is the failed one.
TEST_F(StatisticsEndToEnd, AProductFailureAfterTheMouldStepFailsItsOwnCycle) {
    testsupport::MessageCatcher log(QtInfoMsg);
    auto rig = start("semiAuto trigInDelay[0]=15 trigInDelay[1]=5");
    ASSERT_TRUE(rig->ok());
    rig->setScene(0, false);
    rig->setInputs(1u << kMouldOpen | 1u << kSecondSignal);
    ASSERT_TRUE(rig->waitFor([&] { return results(log) == 1; }, kWaitMs));
    rig->setScene(0, true);
    ASSERT_TRUE(rig->waitFor([&] { return results(log) == 2; }, kWaitMs));
    ASSERT_EQ(log.messages().filter(QStringLiteral("Detection result:")),
              QStringList({"Detection result: step 2 of 2 OK",
                           "Detection result: step 1 of 2 NG (camera 1)"}));
    const CountGroup& group = gpResStatisticsParam->currentDay().groups.at(0);
    const auto sum = [](const QList<int>& counts) {
        return std::accumulate(counts.begin(), counts.end(), 0);
    };
    EXPECT_EQ(sum(group.summary.summary.OK), 0);
    EXPECT_EQ(sum(group.summary.summary.NG), 1);
    EXPECT_EQ(sum(group.cameras[0].summary.NG), 1);
    EXPECT_EQ(sum(group.summary.detects[0].NG), 1) << "the product step's own count";
}

// Long before the minute's save, the roads that restart the panel or power it off store the
// cycles judged so far first.
TEST_F(StatisticsEndToEnd, RoadsThatStopThePanelStoreTheCountedCyclesFirst) {
    auto settingsCommand = [](settings::StopCommand command) {
        return [command](DeRaRazovi& window) {
            MainWindowSettingsHost host(window);
            dialogs::ScopedAnswerer yes({}, QDialog::Accepted);
            settings::runStopCommand(host, command, dialogs::Subject::program());
        };
    };
    // program: the system action the road ends with (none: the program ends by itself).
    const struct {
        const char* name;
        const char* program;
        std::function<void(DeRaRazovi&)> stop;
    } roads[] = {
        {"lost camera confirmed", "poweroff",
         [](DeRaRazovi& window) {
             window.askPowerOffAfterCameraLoss();
             gpLostCameraWarnBox->accept();
         }},
        {"restart for new settings", "reboot",
         [](DeRaRazovi& window) {
             MainWindowSettingsHost host(window);
             settings::restartPanel(host, dialogs::Subject::program());
         }},
        {"shut down on the settings screen", "poweroff",
         settingsCommand(settings::StopCommand::ShutDown)},
        {"exit on the settings screen", nullptr, settingsCommand(settings::StopCommand::Exit)},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        testsupport::MessageCatcher log(QtInfoMsg);
        auto rig = start("");
        ASSERT_TRUE(rig->ok());
        judge(*rig, log, kMouldOpen, 2);
        int storedAtStop = -1;
        if (road.program)
            testsupport::recorder().scriptCommand(QLatin1String(road.program),
                                                  [&](const QStringList&) {
                                                      storedAtStop = storedCycles();
                                                      return kDone;
                                                  });
        road.stop(rig->window());
        if (!road.program) storedAtStop = storedCycles();
        EXPECT_EQ(storedAtStop, 1);
        EXPECT_EQ(gAllCycleNum[0], 1);
        SetUp();
    }
}

}  // namespace
