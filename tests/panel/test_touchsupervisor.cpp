#include <gtest/gtest.h>

#include <QStringList>
#include <map>

#include "panellimits.h"
#include "touchsupervisor.h"

using panel::TouchSupervisor;
using Calibration = panel::TouchSupervisor::Calibration;

namespace {

// The process around the supervisor on a virtual clock: the window's logout and screen-off
// timers, the hold timer, the backlight and what the calibration path asks for.
class FakePanel : public panel::TouchHost {
public:
    enum Timer { Logout, ScreenOff, Hold };

    FakePanel() : supervisor(*this) {}

    // --- the host ---
    qint64 nowMs() override { return now; }
    QString timeStamp() override { return QStringLiteral("t%1").arg(now); }
    bool simulatedCameras() override { return simulated; }
    bool windowExists() override { return window; }
    int autoLogoutSeconds() override { return autoLogout; }
    int screenOffSeconds() override { return screenOffTime; }
    void restartLogoutTimer(int ms) override { start(Logout, ms); }
    void restartScreenOffTimer(int ms) override { start(ScreenOff, ms); }
    bool screenOff() override { return dark; }
    void switchBacklightOn() override {
        dark = false;
        ++wakes;
    }
    void startHoldTimer(int ms) override { start(Hold, ms); }
    void stopHoldTimer() override { deadlines.erase(Hold); }
    bool holdTimerActive() override { return deadlines.count(Hold) != 0; }
    void showCalibrationMessage() override { ++messages; }
    void runCalibrator() override { actions << QStringLiteral("calibrator"); }
    void rebootAfterCalibration() override { actions << QStringLiteral("reboot"); }
    void log(const QString& line) override { logLines << line; }

    // --- driving ---
    void start(Timer t, int ms) { deadlines[t] = now + ms; }
    bool active(Timer t) const { return deadlines.count(t) != 0; }
    // Lets virtual time pass; timers that come due fire in order, as the window's do.
    void advance(qint64 ms) {
        const qint64 end = now + ms;
        for (;;) {
            auto due = deadlines.end();
            for (auto it = deadlines.begin(); it != deadlines.end(); ++it)
                if (it->second <= end && (due == deadlines.end() || it->second < due->second))
                    due = it;
            if (due == deadlines.end()) break;
            now = due->second;
            const Timer t = due->first;
            deadlines.erase(due);
            if (t == ScreenOff) dark = true;
            if (t == Hold) supervisor.holdElapsed();
        }
        now = end;
    }
    // A tap: press, `heldMs` of virtual time, release. Returns whether the press was consumed.
    bool tap(qint64 heldMs = 100) {
        const bool consumed = supervisor.press();
        advance(heldMs);
        supervisor.release();
        return consumed;
    }

    qint64 now = 1'000'000;
    bool simulated = false;
    bool window = true;
    int autoLogout = 0;
    int screenOffTime = 0;
    bool dark = false;
    int wakes = 0;
    int messages = 0;
    QStringList actions;
    QStringList logLines;
    std::map<Timer, qint64> deadlines;
    TouchSupervisor supervisor;
};

}  // namespace

// The application object's test drives the logout, the dark screen and the hold on the real
// window; here are the cases it leaves out.
TEST(TouchSupervisor, NoLogoutTimeWhenSwitchedOffOrBeforeTheWindow) {
    for (auto [autoLogout, window] : {std::pair{0, true}, std::pair{60, false}}) {
        FakePanel idle;
        idle.autoLogout = autoLogout;
        idle.window = window;
        idle.tap();
        EXPECT_FALSE(idle.active(FakePanel::Logout)) << autoLogout << " " << window;
    }
}

TEST(TouchSupervisor, CopiesOfAWakingPressAndAClockSetBack) {
    FakePanel panel;
    panel.screenOffTime = 30;
    panel.tap();
    // Copies of one press within 10 ms: only the first counts.
    panel.advance(30'000);
    ASSERT_TRUE(panel.dark);
    EXPECT_TRUE(panel.supervisor.press());
    panel.dark = true;  // as if the backlight had gone off again at once
    panel.advance(panel::kDuplicatePressMs);
    EXPECT_FALSE(panel.supervisor.press()) << "a copy is passed on unchanged";
    EXPECT_EQ(panel.wakes, 1);
    panel.advance(1);
    EXPECT_TRUE(panel.supervisor.press()) << "11 ms later it is a new touch";
    EXPECT_EQ(panel.wakes, 2);

    panel.supervisor.release();

    // The clock set back an hour: the next press is a touch of its own and still wakes.
    panel.advance(30'000);
    ASSERT_TRUE(panel.dark);
    panel.now -= 3'600'000;
    EXPECT_TRUE(panel.supervisor.press());
    EXPECT_FALSE(panel.dark);
}

TEST(TouchSupervisor, CalibrationHold) {
    struct Row {
        const char* name;
        bool simulated;
        bool window;
        int presses;       // taps before the hold (the first counted press only notes its time)
        qint64 holdMs;     // the last press is held this long
        Calibration held;  // the state just before the release
        bool calibrated;
    };
    const Row rows[] = {
        {"real cameras never arm", false, true, 1, 60'000, Calibration::Idle, false},
        {"the first counted press only notes its time", true, true, 0, 60'000, Calibration::Idle,
         false},
        {"held 5 s", true, true, 1, panel::kCalibrationHoldMs, Calibration::Armed, true},
        {"held longer", true, true, 3, 20'000, Calibration::Armed, true},
        {"not before the window exists", true, false, 1, 60'000, Calibration::Idle, false},
    };
    for (const Row& row : rows) {
        FakePanel panel;
        panel.simulated = row.simulated;
        panel.window = row.window;
        for (int i = 0; i < row.presses; ++i) {
            panel.tap();
            panel.advance(1'000);
        }
        panel.supervisor.press();
        panel.advance(row.holdMs);
        EXPECT_EQ(panel.supervisor.calibration(), row.held) << row.name;
        EXPECT_EQ(panel.messages, row.held == Calibration::Armed ? 1 : 0) << row.name;
        panel.supervisor.release();
        EXPECT_EQ(panel.actions,
                  row.calibrated ? QStringList({"calibrator", "reboot"}) : QStringList())
            << row.name;
        EXPECT_EQ(panel.supervisor.calibration(), Calibration::Idle) << row.name;
        // Nothing is left running that could arm it later.
        panel.advance(60'000);
        EXPECT_EQ(panel.messages, row.held == Calibration::Armed ? 1 : 0) << row.name;
    }
}

TEST(TouchSupervisor, CalibrationLogLineAndTheFirstPress) {
    FakePanel panel;
    panel.simulated = true;
    panel.screenOffTime = 30;
    panel.dark = true;
    const QString created = QStringLiteral("t%1").arg(panel.now);
    // The first counted press restarts no timer and wakes no screen.
    EXPECT_FALSE(panel.tap());
    EXPECT_TRUE(panel.dark);
    EXPECT_FALSE(panel.active(FakePanel::ScreenOff));
    const QString first = QStringLiteral("t%1").arg(panel.now - 100);

    panel.advance(1'000);
    EXPECT_TRUE(panel.supervisor.press()) << "the second wakes the screen and starts the hold";
    panel.advance(panel::kCalibrationHoldMs);
    ASSERT_TRUE(panel.supervisor.armed());
    // While armed, presses are no longer counted.
    panel.advance(100);
    panel.supervisor.press();
    panel.advance(100);
    const QString released = QStringLiteral("t%1").arg(panel.now);
    panel.supervisor.release();
    ASSERT_EQ(panel.logLines.size(), 2);
    EXPECT_EQ(panel.logLines[0],
              QStringLiteral("ts_calibrate: create/press/release,times \"%1\" \"%2\" \"%3\" 2")
                  .arg(created, first, released));
    EXPECT_EQ(panel.logLines[1], QStringLiteral("isTs Timeout ./tsc running"));
}
