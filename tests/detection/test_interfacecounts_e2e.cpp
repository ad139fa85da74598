// The counts every interface shows agree with the cycles and steps driven through the whole main
// road: a Modbus master and an HTTP client read cycles as cycles also when a cycle has several
// steps, and a master's reset zeroes what its registers read.
#include <gtest/gtest.h>

#include <vector>

#include "cyclefakes.h"
#include "deraRazovi.h"
#include "globals.h"
#include "interfacecounts.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"

using cycletest::InterfaceCounts;
using cycletest::WindowRig;

namespace {

// A bound, not a measure: waits end with their event, and a sanitizer build on a busy machine
// runs several times slower.
constexpr int kWaitMs = 30000;

// An input edge and what it judges: `steps` steps, on the NG scene or the OK one. `also`: a
// second input rising in the same word (semi-automatic's second signal).
struct Edge {
    int input;
    bool ng;
    int steps;
    int also = -1;
};

std::vector<Edge> repeated(int times, Edge edge) {
    return std::vector<Edge>(size_t(times), edge);
}

std::vector<Edge> operator+(std::vector<Edge> a, const std::vector<Edge>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

int results(const testsupport::MessageCatcher& log) {
    return log.count(QStringLiteral("Detection result:"));
}

// Holds the edge until its steps are judged; an alarm it raised is lifted as the timed release
// does, so the next edge starts the next step.
void drive(WindowRig& rig, testsupport::MessageCatcher& log, const Edge& edge) {
    rig.setAllScenes(edge.ng);
    const int before = results(log);
    rig.setInputs(1u << edge.input | (edge.also < 0 ? 0u : 1u << edge.also));
    EXPECT_TRUE(rig.waitFor([&] { return results(log) == before + edge.steps; }, kWaitMs));
    rig.setInputs(0);
    EXPECT_TRUE(rig.waitInputSeen(edge.input, false, kWaitMs));
    if (edge.also >= 0) EXPECT_TRUE(rig.waitInputSeen(edge.also, false, kWaitMs));
    if (rig.window().resultState == 2) {
        rig.setAllScenes(false);
        rig.window().SlotClearNGAlarm();
        EXPECT_TRUE(rig.waitFor([&] { return rig.window().resultState != 2; }, kWaitMs));
    }
}

std::string describe(const InterfaceCounts& c) {
    const auto list = [](const QList<int>& values) {
        QStringList texts;
        for (int v : values) texts << QString::number(v);
        return "[" + texts.join(',').toStdString() + "]";
    };
    return "modbus " + std::to_string(c.modbusCycles) + "/" + std::to_string(c.modbusFailedCycles) +
           ", api " + std::to_string(c.apiBusiestCycles) + "/" +
           std::to_string(c.apiFailedCyclesAny) + " " + list(c.apiCycles) + "/" +
           list(c.apiFailedCycles) + ", file " + list(c.fileCycles) + "/" +
           list(c.fileFailedCycles) + " " + list(c.fileSteps) + "/" + list(c.fileFailedSteps) +
           " any " + std::to_string(c.fileFailedCyclesAny) + "/" +
           std::to_string(c.fileFailedStepsAny) + ", screen " + list(c.screenCycles) + "/" +
           list(c.screenFailedCycles) + ", statistics " + std::to_string(c.statisticsCycles) + "/" +
           std::to_string(c.statisticsFailedCycles) + " " + c.error.toStdString();
}

// One camera: every interface against the cycles and steps driven. A reset zeroes the camera's
// cycles, not the cycles in which any camera failed (`failedCyclesAny`).
void expectCounts(const InterfaceCounts& c, int cycles, int failedCycles, int failedCyclesAny,
                  int steps, int failedSteps) {
    SCOPED_TRACE(describe(c));
    ASSERT_TRUE(c.error.isEmpty());
    EXPECT_EQ(c.modbusCycles, cycles);
    EXPECT_EQ(c.modbusFailedCycles, failedCyclesAny);
    EXPECT_EQ(c.apiBusiestCycles, cycles);
    EXPECT_EQ(c.apiFailedCyclesAny, failedCyclesAny);
    EXPECT_EQ(c.apiCycles, QList<int>{cycles});
    EXPECT_EQ(c.apiFailedCycles, QList<int>{failedCycles});
    EXPECT_EQ(c.fileCycles, QList<int>{cycles});
    EXPECT_EQ(c.fileFailedCycles, QList<int>{failedCycles});
    EXPECT_EQ(c.fileFailedCyclesAny, failedCyclesAny);
    EXPECT_EQ(c.fileSteps, QList<int>{steps});
    EXPECT_EQ(c.fileFailedSteps, QList<int>{failedSteps});
    EXPECT_EQ(c.fileFailedStepsAny, failedSteps);
    EXPECT_EQ(c.screenCycles, QList<int>{cycles});
    EXPECT_EQ(c.screenFailedCycles, QList<int>{failedCycles});
}

}  // namespace

TEST(InterfaceCountsEndToEnd, EveryInterfaceCountsACycleOnceWhateverItsSteps) {
    if (!testsupport::available("python3")) GTEST_SKIP() << "python3 is not installed";
    const struct {
        const char* name;
        const char* options;
        std::vector<Edge> edges;
        int cycles, failedCycles, steps, failedSteps;
    } rows[] = {
        // The product step and the mould step on one edge; NG pulses its outputs, no alarm.
        {"product step, 10 cycles, 7 failed in both steps",
         "detectMode=0 detectProdEnable ejectorPulseOnProdNG clampPulseOnMoldNG clampPulse=1 "
         "ejectorPulse=1 reDetectNum=0",
         repeated(7, {0, true, 2}) + repeated(3, {0, false, 2}), 10, 7, 20, 14},
        // Three steps of their own inputs make one cycle; the first two fail and raise alarms.
        {"three steps in sequence, the first two failed",
         "detectMode=3 detectNum=3 detectProdEnable sequentialDetect outputOwner[0]=0 "
         "outputOwner[1]=1 outputOwner[2]=2 detectTrigIn[0]=0 detectTrigIn[1]=1 "
         "detectTrigIn[2]=2 detectCutMode[0]=1 detectCutMode[1]=1 detectCutMode[2]=1",
         {{0, true, 1}, {2, true, 1}, {3, false, 1}},
         1,
         1,
         3,
         2},
        // Semi-automatic: the mould step (the shorter delay) fails first and ends the cycle, its
        // pulse lets the product step run, and that fails too: still one failed cycle.
        {"mould step then product step, both failed",
         "detectMode=0 detectProdEnable semiAuto trigInDelay[0]=15 trigInDelay[1]=5 "
         "clampPulseOnMoldNG clampPulse=1 ejectorPulseOnProdNG ejectorPulse=1 reDetectNum=0",
         {{0, true, 2, 2}, {0, false, 2, 2}},
         2,
         1,
         4,
         2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (int* counters : {gAllNum, gFailNum, gAllCycleNum, gFailCycleNum})
            std::fill(counters, counters + kMaxCameras, 0);
        gSyncNGNum = gSyncNGCycleNum = 0;
        testsupport::MessageCatcher log(QtInfoMsg);
        WindowRig rig(
            1, [&](WizardPara& p) { cycletest::setOptions(p, row.options); },
            testsupport::recorder());
        ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
        for (const Edge& edge : row.edges) drive(rig, log, edge);

        const InterfaceCounts driven = cycletest::readInterfaceCounts(rig.window());
        expectCounts(driven, row.cycles, row.failedCycles, row.failedCycles, row.steps,
                     row.failedSteps);
        EXPECT_EQ(driven.statisticsCycles, row.cycles);
        EXPECT_EQ(driven.statisticsFailedCycles, row.failedCycles);

        // A master's reset: each camera's cycles start again; steps and the cycles in which any
        // camera failed are kept.
        expectCounts(cycletest::readInterfaceCounts(rig.window(), true), 0, 0, row.failedCycles,
                     row.steps, row.failedSteps);
    }
}
