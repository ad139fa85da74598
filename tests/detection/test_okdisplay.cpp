// The end of the OK display (TimerShow): the step that comes next, and the search of mode 3
// that ends after one round when no step is enabled.
#include <gtest/gtest.h>

#include "cyclefakes.h"
#include "devicehelpers.h"
#include "globals.h"

using cycletest::CycleRig;
using namespace detection;

TEST(OkDisplayEnd, TheNextStepAndTheBoundedSearchOfMultiDetection) {
    struct Row {
        const char* name;
        const char* options;
        std::vector<int> enabled;  // mode 3: the enabled steps; empty for the other modes
        int shown;                 // the step whose OK result was on screen (the current one)
        bool alarm;
        int next;
    };
    const Row rows[] = {
        {"mode 3: after 2 comes 0", "detectMode=3 detectNum=4", {0, 2}, 2, false, 0},
        {"mode 3: after 0 comes 2", "detectMode=3 detectNum=4", {0, 2}, 0, false, 2},
        {"mode 3: only the shown step", "detectMode=3 detectNum=4", {1}, 1, false, 1},
        {"mode 3: no step enabled, one round", "detectMode=3 detectNum=4", {}, 1, false, 1},
        {"mode 1, right side: after 3 comes 2", "detectMode=1 moldSide=1", {}, 3, false, 2},
        {"standard: after the mould the product", "", {}, 1, false, 0},
        {"an alarm on screen keeps the step", "", {}, 1, true, 1},
    };
    for (const Row& row : rows) {
        CycleRig rig(row.options);
        if (rig.para.detectMode == 3) {
            std::fill(std::begin(rig.para.detectEnable), std::end(rig.para.detectEnable), 0);
            for (int step : row.enabled) rig.para.detectEnable[step] = 1;
        }
        rig.state.curDetect = rig.state.shownDetect = row.shown;
        rig.state.resultState = row.alarm ? kResultAlarm : kResultOkShown;
        rig.state.reCheckPending = 0;
        rig.host.leds[kLedResultOK] = rig.host.leds[kLedResultNG] = 0;
        rig.controller->timerShow();
        EXPECT_EQ(rig.state.curDetect, row.next) << row.name;
        EXPECT_EQ(rig.state.cycleState, kCycleWaiting) << row.name;
        EXPECT_EQ(rig.host.leds[kLedResultOK] && rig.host.leds[kLedResultNG], !row.alarm)
            << row.name;
        EXPECT_EQ(rig.state.resultState, row.alarm ? kResultAlarm : kResultWaiting) << row.name;
    }
}
