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

class CountingTest : public StatsTest {};

TEST_F(CountingTest, WorkedExampleOfOneCycleOnTwoCameras) {
    ResStatisticsParam& m = makeModel(3);
    m.addRecord(0, 9, {true, true}, "default");
    m.addRecord(1, 9, {true, false}, "default");
    m.addRecord(2, 9, {true, true}, "default");
    // Stages 0..2 and the whole cycle of camera 0, camera 1 and the group record.
    const CountGroup& g = group0(m);
    EXPECT_EQ(totals(g.cameras[0]), QStringList({"1/0", "1/0", "1/0", "1/0"}));
    EXPECT_EQ(totals(g.cameras[1]), QStringList({"1/0", "0/1", "1/0", "0/1"}));
    EXPECT_EQ(totals(g.summary), QStringList({"1/0", "0/1", "1/0", "0/1"}));
    EXPECT_EQ(g.summary.summary.NG.at(1), 1);  // 09:00 with the day starting at 08:00: slot 1
    EXPECT_EQ(g.cameras[0].detects[2].OK.at(1), 1);
}

TEST_F(CountingTest, AStageJudgedAfterItsCycleEndFailsThatCycleAndNotTheNext) {
    useCounts(2, 2);
    ResStatisticsParam& m = makeModel(0);
    m.addRecord(1, 9, {true, true}, "default");  // the mould step ends the cycle first
    m.addRecord(0, 9, {false, true}, "default", true);
    m.addRecord(0, 9, {true, false}, "default", true);  // counted once more for camera 1
    m.addRecord(0, 9, {true, true}, "default");         // the next cycle passes
    m.addRecord(1, 9, {true, true}, "default");
    const CountGroup& g = group0(m);
    EXPECT_EQ(totals(g.summary), QStringList({"1/2", "2/0", "1/1"}));
    EXPECT_EQ(totals(g.cameras[0]), QStringList({"2/1", "2/0", "1/1"}));
    EXPECT_EQ(totals(g.cameras[1]), QStringList({"2/1", "2/0", "1/1"}));
}

TEST_F(CountingTest, ConsecutiveCyclesEndWhereTheControllerEndsThem) {
    const QList<bool> ok{true, true}, ng0{false, true}, ng1{true, false};
    const struct {
        int mode, stages;
        QList<QPair<int, QList<bool>>> steps;
        QStringList cycles;  // whole-cycle totals of the group and of camera 1
    } rows[] = {
        // Standard: stage 1 ends the cycle, even with more stages configured.
        {0, 3, {{0, ng0}, {1, ok}, {0, ok}, {1, ok}}, {"1/1", "2/0"}},
        // Two-colour and turntable: 0/1 on one side, 2/3 on the other; odd stages end.
        {1, 4, {{0, ok}, {1, ok}, {2, ng1}, {3, ok}}, {"1/1", "1/1"}},
        {2, 4, {{0, ok}, {1, ng1}, {2, ok}, {3, ok}, {0, ok}, {1, ok}}, {"2/1", "2/1"}},
        // Multi-detection: only the last configured stage ends the cycle.
        {3,
         4,
         {{0, ok}, {1, ng1}, {2, ok}, {3, ok}, {0, ok}, {1, ok}, {2, ok}, {3, ok}},
         {"1/1", "1/1"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        freshWorkDir();
        useCounts(2, row.stages);
        ResStatisticsParam& m = makeModel(row.mode);
        for (const auto& step : row.steps) m.addRecord(step.first, 9, step.second, "default");
        EXPECT_EQ(
            QStringList({totals(group0(m).summary.summary), totals(group0(m).cameras[1].summary)}),
            row.cycles);
    }
}

TEST_F(CountingTest, HourSlotsRunFromTheDayStartAcrossMidnightAndStopAtTheLast) {
    setNow(at(2024, 5, 1, 6, 15));  // the day starts at 08:00, still ahead
    makeModel();
    ASSERT_EQ(model->dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());
    const struct {
        QDateTime now;
        int slot;
    } rows[] = {{at(2024, 5, 1, 6, 15), 23},  // before the day start: the last slot
                {at(2024, 5, 1, 8, 0), 0},
                {at(2024, 5, 2, 2, 30), 18},
                {at(2024, 5, 2, 9, 0), 23}};  // 25 hours after the day start
    for (const auto& row : rows) {
        SCOPED_TRACE(row.now.toString().toStdString());
        const int before = runningOk(row.slot);
        setNow(row.now);
        countOk();
        EXPECT_EQ(runningOk(row.slot), before + 1);
    }
}

TEST_F(CountingTest, ResultsOutsideTheRecordsAreBoundsChecked) {
    useCounts(2, 2);
    ResStatisticsParam& m = makeModel(3);
    for (int stage : {-1, 8, 100}) m.addRecord(stage, 9, {false, false}, "default");
    EXPECT_EQ(totals(group0(m).summary), QStringList({"0/0", "0/0", "0/0"}));
    EXPECT_EQ(totals(group0(m).cameras[1]), QStringList({"0/0", "0/0", "0/0"}));

    // A stage beyond the lists (the group was made with fewer stages) is still counted.
    m.addRecord(5, 9, {true, false}, "default");
    EXPECT_EQ(group0(m).summary.detects.size(), 6);
    EXPECT_EQ(totals(group0(m).cameras[1].detects[5]), "0/1");

    m.addRecord(0, 9, {true, true, false}, "default");  // a third camera the group lacks
    m.addRecord(1, 9, {false}, "default");              // camera 1 not reported
    m.addRecord(0, 9, {}, "default");                   // no camera at all: the stage is OK
    EXPECT_EQ(group0(m).cameras.size(), 2);
    EXPECT_EQ(totals(group0(m).summary).mid(0, 2), QStringList({"2/0", "0/1"}));
    EXPECT_EQ(totals(group0(m).cameras[1]).mid(0, 2), QStringList({"1/0", "0/0"}));
}

TEST_F(CountingTest, GroupsAreAddedInOrderAndOnlyTheCurrentOneGrowsOrTakesShiftStarts) {
    useCounts(2, 2);
    ResStatisticsParam& m = makeModel(3);
    setNow(at(2024, 5, 1, 10, 0));
    m.addRecord(1, 10, {false, true}, "default");
    m.addRecord(0, 10, {true, true}, "B");
    QStringList names;
    for (const CountGroup& g : m.currentDay().groups) names.append(g.groupName);
    EXPECT_EQ(names, QStringList({"default", "B"}));
    EXPECT_EQ(m.currentDay().groups[1].cameras.size(), 2);

    m.checkCameraDetectCount(4);
    m.checkCameraDetectCount(1);  // never shrinks
    EXPECT_EQ(group0(m).summary.detects.size(), 4);
    m.checkCameraDetectCount(100);  // nor grows past what a record holds
    EXPECT_EQ(group0(m).cameras[1].detects.size(), 8);
    EXPECT_EQ(group0(m).cameras[0].detects[1].NG.at(2), 1);  // kept
    EXPECT_EQ(group0(m).cameras[0].detects[3].OK.size(), 24);
    EXPECT_EQ(m.currentDay().groups[1].cameras[0].detects.size(), 2);

    m.morningsStart = 6;
    m.setCurGroup();
    EXPECT_EQ(group0(m).morningStart, 6);
    EXPECT_EQ(m.currentDay().groups[1].morningStart, 8);
}

TEST_F(CountingTest, ShiftSumsSeriesAndQueriesForWhatIsNotHeld) {
    ResStatisticsParam& m = makeModel();
    setNow(at(2024, 5, 1, 11, 10));  // slot 3
    countOk(2);
    setNow(at(2024, 5, 1, 20, 10));  // slot 12, the first of the night shift
    for (int stage = 0; stage < 3; ++stage) m.addRecord(stage, 20, {false, true}, "default");
    countOk();
    m.addRecord(0, 9, {true, true}, "null");
    m.slotUpdateRecord(0, QString());
    m.curGroupName = "default";

    EXPECT_EQ(
        QList<int>({m.getCount(SHIFT_MORNING, true, 0, 0), m.getCount(SHIFT_NIGHT, true, 0, 0),
                    m.getCount(SHIFT_NIGHT, false, 0, 0), m.getCount(SHIFT_MORNING, false, 0, 0),
                    m.getCount(SHIFT_ALLDAY, true, 0, 0), m.getCount(SHIFT_ALLDAY, false, 8, 0),
                    m.getCount(SHIFT_ALLDAY, false, 8, 8)}),
        QList<int>({2, 1, 1, 0, 3, 1, 1}));
    const QList<int> night = m.getRes(SHIFT_NIGHT, false, 0, 0);
    ASSERT_EQ(night.size(), 12);
    EXPECT_EQ(night.at(0), 1);  // slot 12
    EXPECT_EQ(m.getRes(SHIFT_MORNING, true, 0, 0).size(), 12);
    EXPECT_EQ(m.getRes(SHIFT_ALLDAY, true, 0, 0).size(), 24);
    EXPECT_EQ(m.getShiftTimeList(SHIFT_NIGHT),
              QList<int>({20, 21, 22, 23, 0, 1, 2, 3, 4, 5, 6, 7}));

    // Morning 20-8, night 8-20: the night series starts at slot 12 all the same.
    m.morningsStart = m.nightEnd = 20;
    m.morningsEnd = m.nightStart = 8;
    EXPECT_EQ(m.getRes(SHIFT_NIGHT, false, 0, 0), night);
    // Equal start and end: every slot is night; the hour list holds the whole day.
    m.morningsStart = m.morningsEnd = 8;
    CountGroupList day = m.shownDay();
    m.clcCount(day);
    EXPECT_EQ(day.groups[0].cameras[0].detects[0].morning.OK, 0);
    EXPECT_EQ(day.groups[0].cameras[0].detects[0].night.OK, 3);
    EXPECT_TRUE(m.getRes(SHIFT_MORNING, true, 0, 0).isEmpty());
    EXPECT_EQ(m.getShiftTimeList(SHIFT_MORNING).size(), 24);

    // Cameras, stages, shifts and groups that are not held answer nothing.
    EXPECT_EQ(
        QList<int>({m.getCount(SHIFT_ALLDAY, true, 2, 0), m.getCount(SHIFT_ALLDAY, true, 0, 5),
                    m.getCount(static_cast<ShiftType>(7), true, 0, 0)}),
        QList<int>({0, 0, 0}));
    EXPECT_TRUE(m.getRes(SHIFT_ALLDAY, true, -1, 0).isEmpty());
    m.curGroupName = "null";  // a group literally named "null" reads as missing
    EXPECT_EQ(m.getCount(SHIFT_ALLDAY, true, 0, 0), 0);
    m.curGroupName = "other";
    EXPECT_TRUE(m.getRes(SHIFT_ALLDAY, true, 0, 0).isEmpty());
    EXPECT_EQ(m.getGoupFromName("other").groupName, "null");
    EXPECT_EQ(m.getGroups(), QStringList({"default", "null"}));
}

}  // namespace
