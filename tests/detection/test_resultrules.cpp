// Counting once per step kind and cycle, and the fail-image hand-over states.
#include <gtest/gtest.h>

#include "resultrules.h"

using namespace detection;

namespace {

struct Counters {
    int all[8] = {}, fail[8] = {}, allCycle[8] = {}, failCycle[8] = {};
    int syncNG = 0, syncNGCycle = 0;
    quint8 counted[8] = {}, camNG[8] = {};
    CounterSet set() { return {all, fail, allCycle, failCycle, &syncNG, &syncNGCycle}; }
    CountMemory memory() { return {counted, camNG}; }
};

}  // namespace

TEST(Counting, OncePerKindAndCycle) {
    Counters k;
    const bool productFails[3] = {false, true, false};
    const bool allPass[3] = {false, false, false};

    EXPECT_EQ(countStep(k.set(), k.memory(), productFails, 3, 0, false), CountResult::StepCounted);
    EXPECT_EQ(countStep(k.set(), k.memory(), allPass, 3, 0, false), CountResult::NotCounted)
        << "the same kind again in the cycle";
    EXPECT_EQ(countStep(k.set(), k.memory(), allPass, 3, 1, true), CountResult::CycleCounted);
    EXPECT_EQ(k.all[0], 2);
    EXPECT_EQ(k.all[1], 2);
    EXPECT_EQ(k.fail[1], 1);
    EXPECT_EQ(k.syncNG, 1);
    // The cycle failed for camera 1 only, although its mould step passed.
    EXPECT_EQ(k.allCycle[0], 1);
    EXPECT_EQ(k.failCycle[0], 0);
    EXPECT_EQ(k.failCycle[1], 1);
    EXPECT_EQ(k.syncNGCycle, 1);

    std::fill(std::begin(k.counted), std::end(k.counted), 0);  // a new cycle
    std::fill(std::begin(k.camNG), std::end(k.camNG), 0);
    EXPECT_EQ(countStep(k.set(), k.memory(), allPass, 3, 1, true), CountResult::CycleCounted);
    EXPECT_EQ(k.allCycle[2], 2);
    EXPECT_EQ(k.failCycle[1], 1) << "a passing cycle adds no failure";
    EXPECT_EQ(k.syncNGCycle, 1);
    EXPECT_EQ(k.all[3], 0) << "cameras beyond the count are untouched";
}

TEST(Counting, NoCameraCountsNothingButTheKind) {
    Counters k;
    EXPECT_EQ(countStep(k.set(), k.memory(), nullptr, 0, 1, true), CountResult::CycleCounted);
    EXPECT_EQ(k.syncNG, 0);
    EXPECT_EQ(k.syncNGCycle, 0);
    EXPECT_EQ(k.counted[1], 1);
}

TEST(FailImages, StateMovesAndPictures) {
    struct Row {
        const char* name;
        int state;
        bool passed;
        bool retry;
        int picOK, picNG;
        bool pulse;
        int newState;
        FailImageAction action;
    };
    using A = FailImageAction;
    const Row rows[] = {
        {"OK picture due", 1, true, false, 5, 5, false, 2, A::SaveOk},
        {"no OK pictures kept", 1, true, false, 0, 5, false, 0, A::None},
        {"NG opens the alarm picture", 1, false, false, 5, 5, false, 3, A::SaveNg},
        {"NG answered by a pulse is due at once", 1, false, false, 5, 5, true, 9, A::SaveNg},
        {"NG with a retry left waits", 1, false, true, 5, 5, false, 1, A::None},
        {"no NG pictures kept", 1, false, false, 5, 0, false, 0, A::None},
        {"don't detect reported", 4, true, false, 5, 5, false, 4, A::ReportHandling},
        {"added as template reported", 5, false, false, 5, 5, false, 5, A::ReportHandling},
        {"switched to mould reported", 6, true, false, 5, 5, false, 6, A::ReportHandling},
        {"re-detected and passed", 7, true, false, 5, 5, false, 7, A::RedetectPassed},
        {"re-detected and failed again", 7, false, false, 5, 5, false, 3, A::None},
        {"alarm open stays", 3, true, false, 5, 5, false, 3, A::None},
    };
    for (const Row& row : rows) {
        const FailImageStep r =
            failImageStep(row.state, row.passed, row.retry, row.picOK, row.picNG, row.pulse);
        EXPECT_EQ(r.state, row.newState) << row.name;
        EXPECT_EQ(int(r.action), int(row.action)) << row.name;
    }
}

TEST(FailImages, HandOverMarks) {
    EXPECT_TRUE(handOverMarks(2).ok);
    EXPECT_FALSE(handOverMarks(2).ng);
    EXPECT_TRUE(handOverMarks(9).ng);
    EXPECT_FALSE(handOverMarks(9).ok);
    EXPECT_TRUE(handOverMarks(10).ng && handOverMarks(10).ok);
    for (int s : {0, 1, 3, 4, 5, 6, 7, 8}) EXPECT_FALSE(handOverMarks(s).any()) << s;
}
