// Counting of stage results into hour slots, cycles by detection mode, shift sums and the
// screen's questions.
#include <gtest/gtest.h>

#include "globals.h"
#include "statstestutil.h"

using namespace statstest;

namespace {

const CountGroup& group0(const ResStatisticsParam& model) {
    return model.currentDay().groups.at(0);
}

int okAt(const CountDetect& record, int slot) {
    return record.OK.at(slot);
}
int ngAt(const CountDetect& record, int slot) {
    return record.NG.at(slot);
}

class CountingTest : public StatsTest {};

TEST_F(CountingTest, WorkedExampleOfOneCycleOnTwoCameras) {
    useCounts(2, 3);
    ResStatisticsParam& m = makeModel(3);
    m.addRecord(0, 9, {true, true}, "default");
    m.addRecord(1, 9, {true, false}, "default");
    m.addRecord(2, 9, {true, true}, "default");

    const CountGroup& g = group0(m);
    const int slot = 1;  // 09:00 with the day starting at 08:00
    for (int stage = 0; stage < 3; ++stage) {
        EXPECT_EQ(okAt(g.cameras[0].detects[stage], slot), 1);
        EXPECT_EQ(ngAt(g.cameras[0].detects[stage], slot), 0);
    }
    EXPECT_EQ(g.cameras[1].detects[0].all.OK, 1);
    EXPECT_EQ(g.cameras[1].detects[1].all.NG, 1);
    EXPECT_EQ(g.cameras[1].detects[2].all.OK, 1);
    EXPECT_EQ(ngAt(g.summary.detects[1], slot), 1);
    EXPECT_EQ(okAt(g.summary.detects[0], slot) + okAt(g.summary.detects[2], slot), 2);
    EXPECT_EQ(okAt(g.cameras[0].summary, slot), 1);
    EXPECT_EQ(ngAt(g.cameras[1].summary, slot), 1);
    EXPECT_EQ(ngAt(g.summary.summary, slot), 1);
    EXPECT_EQ(okAt(g.summary.summary, slot), 0);

    // The cycle flags start over: a clean second cycle counts OK everywhere.
    for (int stage = 0; stage < 3; ++stage) m.addRecord(stage, 9, {true, true}, "default");
    EXPECT_EQ(okAt(group0(m).cameras[1].summary, slot), 1);
    EXPECT_EQ(okAt(group0(m).summary.summary, slot), 1);
    EXPECT_EQ(group0(m).summary.summary.all.NG, 1);
}

struct ModeCase {
    int mode;
    int stages;
    QList<QPair<int, QList<bool>>> steps;
    int cycleOk, cycleNg;      // the group's whole-cycle record
    int camera1Ok, camera1Ng;  // camera 1's whole-cycle record
};

TEST_F(CountingTest, ConsecutiveCyclesEndWhereTheControllerEndsThem) {
    const QList<bool> ok{true, true};
    const QList<bool> cam0Ng{false, true};
    const QList<bool> cam1Ng{true, false};
    const QList<ModeCase> cases{
        // Standard: stage 1 ends the cycle, even with more stages configured.
        {0, 3, {{0, cam0Ng}, {1, ok}, {0, ok}, {1, ok}}, 1, 1, 2, 0},
        // Two-colour and turntable: 0/1 on one side, 2/3 on the other; odd stages end.
        {1, 4, {{0, ok}, {1, ok}, {2, cam1Ng}, {3, ok}}, 1, 1, 1, 1},
        {2, 4, {{0, ok}, {1, cam1Ng}, {2, ok}, {3, ok}, {0, ok}, {1, ok}}, 2, 1, 2, 1},
        // Multi-detection: only the last configured stage ends the cycle.
        {3,
         4,
         {{0, ok}, {1, cam1Ng}, {2, ok}, {3, ok}, {0, ok}, {1, ok}, {2, ok}, {3, ok}},
         1,
         1,
         1,
         1},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.mode);
        freshWorkDir();
        useCounts(2, c.stages);
        ResStatisticsParam& m = makeModel(c.mode);
        for (const auto& step : c.steps) m.addRecord(step.first, 9, step.second, "default");
        const CountGroup& g = group0(m);
        EXPECT_EQ(g.summary.summary.all.OK, c.cycleOk);
        EXPECT_EQ(g.summary.summary.all.NG, c.cycleNg);
        EXPECT_EQ(g.cameras[1].summary.all.OK, c.camera1Ok);
        EXPECT_EQ(g.cameras[1].summary.all.NG, c.camera1Ng);
    }
}

TEST_F(CountingTest, HourSlotsRunOnAcrossMidnightAndStopAtTheLast) {
    ResStatisticsParam& m = makeModel();
    ASSERT_EQ(m.dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());

    setNow(at(2024, 5, 2, 2, 30));
    m.addRecord(0, 2, {true, true}, "default");
    EXPECT_EQ(okAt(group0(m).cameras[0].detects[0], 18), 1);

    setNow(at(2024, 5, 2, 9, 0));  // 25 hours after the day start
    m.addRecord(0, 9, {false, true}, "default");
    EXPECT_EQ(ngAt(group0(m).cameras[0].detects[0], 23), 1);
}

TEST_F(CountingTest, ResultsBeforeTheDayStartCountInTheLastSlot) {
    setNow(at(2024, 5, 1, 6, 15));  // the new day starts at 08:00, still ahead
    ResStatisticsParam& m = makeModel();
    ASSERT_EQ(m.dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());
    m.addRecord(0, 6, {true, false}, "default");
    EXPECT_EQ(okAt(group0(m).cameras[0].detects[0], 23), 1);
    EXPECT_EQ(ngAt(group0(m).cameras[1].detects[0], 23), 1);
}

TEST_F(CountingTest, CameraListsLongerOrShorterThanTheGroup) {
    ResStatisticsParam& m = makeModel();
    m.addRecord(0, 9, {true, true, false}, "default");  // a third camera the group lacks
    EXPECT_EQ(group0(m).cameras.size(), 2);
    EXPECT_EQ(group0(m).summary.detects[0].all.OK, 1);  // only the group's cameras decide

    m.addRecord(1, 9, {false}, "default");  // camera 1 not reported
    EXPECT_EQ(group0(m).cameras[0].detects[1].all.NG, 1);
    EXPECT_EQ(group0(m).cameras[1].detects[1].all.OK + group0(m).cameras[1].detects[1].all.NG, 0);

    m.addRecord(0, 9, {}, "default");  // no camera at all: the stage counts as OK
    EXPECT_EQ(group0(m).summary.detects[0].all.OK, 2);
}

TEST_F(CountingTest, StagesOutsideTheRecordsAreBoundsChecked) {
    useCounts(2, 2);
    ResStatisticsParam& m = makeModel(3);
    m.addRecord(-1, 9, {false, false}, "default");
    m.addRecord(8, 9, {false, false}, "default");
    m.addRecord(100, 9, {false, false}, "default");
    const CountGroup& g = group0(m);
    EXPECT_EQ(g.summary.detects.size(), 2);
    for (const CountCamera& camera : g.cameras)
        for (const CountDetect& record : camera.detects) EXPECT_EQ(record.all.NG, 0);

    // A stage beyond the lists (the group was made with fewer stages) is still counted.
    m.addRecord(5, 9, {true, false}, "default");
    EXPECT_EQ(group0(m).cameras[1].detects.size(), 6);
    EXPECT_EQ(group0(m).cameras[1].detects[5].all.NG, 1);
    EXPECT_EQ(group0(m).summary.detects.size(), 6);
}

TEST_F(CountingTest, NewGroupsAreAddedInOrderOfFirstResult) {
    ResStatisticsParam& m = makeModel();
    m.addRecord(0, 9, {true, true}, "B");
    m.addRecord(0, 9, {true, true}, "default");
    m.addRecord(0, 9, {true, true}, "b");  // names are case-sensitive
    QStringList names;
    for (const CountGroup& g : m.currentDay().groups) names.append(g.groupName);
    EXPECT_EQ(names, QStringList({"default", "B", "b"}));
    EXPECT_EQ(m.currentDay().groups[1].morningStart, 8);
    EXPECT_EQ(m.currentDay().groups[1].nightStart, 20);
    EXPECT_EQ(m.currentDay().groups[1].cameras.size(), 2);
}

TEST_F(CountingTest, ShiftSumsSeriesAndHours) {
    ResStatisticsParam& m = makeModel();
    setNow(at(2024, 5, 1, 11, 10));  // slot 3
    m.addRecord(0, 11, {true, true}, "default");
    m.addRecord(0, 11, {true, true}, "default");
    setNow(at(2024, 5, 1, 23, 10));  // slot 15
    m.addRecord(0, 23, {false, true}, "default");
    m.slotUpdateRecord(0, QString());
    m.curGroupName = "default";

    EXPECT_EQ(m.getCount(SHIFT_MORNING, true, 0, 0), 2);
    EXPECT_EQ(m.getCount(SHIFT_NIGHT, false, 0, 0), 1);
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, true, 0, 0), 2);
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, false, 8, 0), 1);  // group record of stage 0

    const QList<int> night = m.getRes(SHIFT_NIGHT, false, 0, 0);
    ASSERT_EQ(night.size(), 12);
    EXPECT_EQ(night.at(3), 1);  // slot 15
    EXPECT_EQ(m.getRes(SHIFT_MORNING, true, 0, 0).size(), 12);
    EXPECT_EQ(m.getRes(SHIFT_ALLDAY, true, 0, 0).size(), 24);
    EXPECT_EQ(m.getShiftTimeList(SHIFT_NIGHT),
              QList<int>({20, 21, 22, 23, 0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(m.getShiftTimeList(SHIFT_MORNING).first(), 8);
    EXPECT_EQ(m.getShiftTimeList(SHIFT_ALLDAY).size(), 24);

    // Morning 20-8, night 8-20: the night series starts at slot 12 all the same.
    m.morningsStart = 20;
    m.morningsEnd = 8;
    m.nightStart = 8;
    m.nightEnd = 20;
    EXPECT_EQ(m.getRes(SHIFT_NIGHT, false, 0, 0), night);

    // Equal start and end: every slot is night; the hour list holds the whole day.
    m.morningsStart = m.morningsEnd = 8;
    CountGroupList day = m.shownDay();
    m.clcCount(day);
    EXPECT_EQ(day.groups[0].cameras[0].detects[0].morning.OK, 0);
    EXPECT_EQ(day.groups[0].cameras[0].detects[0].night.OK, 2);
    EXPECT_TRUE(m.getRes(SHIFT_MORNING, true, 0, 0).isEmpty());
    EXPECT_EQ(m.getShiftTimeList(SHIFT_MORNING).size(), 24);
}

TEST_F(CountingTest, QueriesForWhatIsNotHeldAnswerNothing) {
    ResStatisticsParam& m = makeModel();
    for (int stage = 0; stage < 3; ++stage) m.addRecord(stage, 9, {true, true}, "default");
    m.addRecord(0, 9, {true, true}, "null");
    m.slotUpdateRecord(0, QString());

    m.curGroupName = "default";
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, true, 8, 8), 1);  // whole cycles of the group
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, true, 2, 0), 0);  // no third camera
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, true, 0, 5), 0);
    EXPECT_TRUE(m.getRes(SHIFT_ALLDAY, true, -1, 0).isEmpty());
    EXPECT_EQ(m.getCount(static_cast<ShiftType>(7), true, 0, 0), 0);

    m.curGroupName = "null";  // a group literally named "null" reads as missing
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, true, 0, 0), 0);
    m.curGroupName = "other";
    EXPECT_TRUE(m.getRes(SHIFT_ALLDAY, true, 0, 0).isEmpty());
    EXPECT_EQ(m.getGoupFromName("other").groupName, "null");
    EXPECT_EQ(m.getGroups(), QStringList({"default", "null"}));
}

TEST_F(CountingTest, TheShownRunningDayFollowsNewResults) {
    ResStatisticsParam& m = makeModel();
    m.slotUpdateRecord(0, QString());
    m.curGroupName = "default";
    m.addRecord(0, 9, {true, false}, "default");
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, false, 1, 0), 1);
}

TEST_F(CountingTest, DetectionListsGrowForTheCurrentGroupOnly) {
    useCounts(2, 2);
    ResStatisticsParam& m = makeModel(3);
    setNow(at(2024, 5, 1, 10, 0));
    m.addRecord(1, 10, {false, true}, "default");
    m.addRecord(0, 10, {true, true}, "other");

    m.checkCameraDetectCount(4);
    const CountGroup& g = group0(m);
    EXPECT_EQ(g.summary.detects.size(), 4);
    EXPECT_EQ(g.cameras[0].detects.size(), 4);
    EXPECT_EQ(g.cameras[0].detects[1].NG.at(2), 1);  // kept
    EXPECT_EQ(g.cameras[0].detects[3].OK.size(), 24);
    EXPECT_EQ(m.currentDay().groups[1].cameras[0].detects.size(), 2);

    m.checkCameraDetectCount(1);
    EXPECT_EQ(group0(m).cameras[0].detects.size(), 4);
}

TEST_F(CountingTest, ShiftStartsAreCopiedIntoTheCurrentGroup) {
    ResStatisticsParam& m = makeModel();
    m.addRecord(0, 9, {true, true}, "other");
    m.morningsStart = 6;
    m.nightStart = 18;
    m.setCurGroup();
    EXPECT_EQ(group0(m).morningStart, 6);
    EXPECT_EQ(group0(m).nightStart, 18);
    EXPECT_EQ(m.currentDay().groups[1].morningStart, 8);
}

}  // namespace
