#include <gtest/gtest.h>

#include "privilege.h"

using namespace panel;

namespace {

// A password box that answers as scripted and counts its runs.
struct ScriptedBox {
    PasswordAnswer answer;
    int runs = 0;
    AskPassword ask() {
        return [this] {
            ++runs;
            return answer;
        };
    }
};

const PasswordAnswer kCancelled{false, kUnlogged};
const PasswordAnswer kWrong{true, kUnlogged};
const PasswordAnswer kOperator{true, kPrimary};
const PasswordAnswer kService{true, kAdvanced};

}  // namespace

TEST(PrivilegeGate, CheckPasswordAndCheckRoot) {
    struct Row {
        const char* name;
        bool root;  // CheckRoot instead of CheckPassword
        bool passwordUsed;
        int before;
        PasswordAnswer answer;
        int result;  // CheckPassword: the level returned; CheckRoot: 1 for true
        int after;
        bool asked;
    };
    const Row rows[] = {
        {"protection off keeps the level held", false, false, kPrimary, kWrong, kAdvanced, kPrimary,
         false},
        {"operator logged in", false, true, kPrimary, kWrong, kPrimary, kPrimary, false},
        {"service logged in", false, true, kAdvanced, kWrong, kAdvanced, kAdvanced, false},
        {"operator password", false, true, kUnlogged, kOperator, kPrimary, kPrimary, true},
        {"service code", false, true, kUnlogged, kService, kAdvanced, kAdvanced, true},
        {"wrong password", false, true, kUnlogged, kWrong, kUnlogged, kUnlogged, true},
        {"cancelled", false, true, kUnlogged, kCancelled, kUnlogged, kUnlogged, true},

        {"root: service login held", true, true, kAdvanced, kWrong, 1, kAdvanced, false},
        {"root: operator asks for the code", true, true, kPrimary, kService, 1, kAdvanced, true},
        {"root: operator password is not enough", true, true, kPrimary, kOperator, 0, kPrimary,
         true},
        {"root: a wrong code logs out", true, true, kPrimary, kWrong, 0, kUnlogged, true},
        {"root: a cancel keeps the login", true, true, kPrimary, kCancelled, 0, kPrimary, true},
    };
    for (const Row& row : rows) {
        ScriptedBox box{row.answer};
        int level = row.before;
        const int result = row.root ? int(checkRoot(level, box.ask()))
                                    : checkPassword(level, row.passwordUsed, box.ask());
        EXPECT_EQ(result, row.result) << row.name;
        EXPECT_EQ(level, row.after) << row.name;
        EXPECT_EQ(box.runs, row.asked ? 1 : 0) << row.name;
    }
}

TEST(PrivilegeGate, EverySettingsVisitEndsAServiceLogin) {
    const struct {
        int before;
        bool passwordUsed;
        int after;
    } rows[] = {{kAdvanced, true, kPrimary},
                {kAdvanced, false, kUnlogged},
                {kPrimary, true, kPrimary},
                {kUnlogged, true, kUnlogged}};
    for (const auto& row : rows)
        EXPECT_EQ(levelForSettingsVisit(row.before, row.passwordUsed), row.after)
            << row.before << " " << row.passwordUsed;
}

// Every command against every screen it may meet, unlogged with the password refused.
TEST(PrivilegeGate, CommandMatrix) {
    enum AlarmRule { NotBlocked, BlockedBeforeGate, BlockedAfterGate };
    struct Expect {
        Command command;
        bool gated;
        bool blockedBySettingsOrEditor;
        bool blockedByOtherPages;
        AlarmRule alarm;
    };
    const Expect commands[] = {
        {Command::AdjustArea, true, true, true, BlockedBeforeGate},
        {Command::SystemPara, true, true, true, BlockedAfterGate},
        {Command::CheckArea, true, false, false, NotBlocked},
        {Command::ReTrain, true, true, true, NotBlocked},
        {Command::ManualTrig, false, true, false, NotBlocked},
        {Command::Return, false, true, false, NotBlocked},
        {Command::Help, false, false, false, NotBlocked},
        {Command::Zoom, false, false, false, NotBlocked},
    };
    ASSERT_EQ(std::size(commands), size_t(Command::Count));
    enum Screen { Free, Settings, Editor, CameraNumbers, Alarm };
    for (const Expect& e : commands) {
        const char* name = ruleFor(e.command).name;
        for (Screen screen : {Free, Settings, Editor, CameraNumbers, Alarm}) {
            PanelView view;
            view.settingsOpen = screen == Settings;
            view.editorOpen = screen == Editor;
            view.otherPageOpen = screen == CameraNumbers;
            view.alarmShown = screen == Alarm;
            bool blockedBefore = false;
            bool blockedAfter = false;
            if (screen == Settings || screen == Editor) blockedBefore = e.blockedBySettingsOrEditor;
            if (screen == CameraNumbers) blockedBefore = e.blockedByOtherPages;
            if (screen == Alarm) {
                blockedBefore = e.alarm == BlockedBeforeGate;
                blockedAfter = e.alarm == BlockedAfterGate;
            }
            for (bool refused : {true, false}) {
                ScriptedBox box{refused ? kWrong : kOperator};
                int level = kUnlogged;
                const bool admitted = admit(e.command, view, level, true, box.ask());
                const bool expectAsked = e.gated && !blockedBefore;
                const bool expectAdmitted =
                    !blockedBefore && !blockedAfter && !(e.gated && refused);
                EXPECT_EQ(box.runs, expectAsked ? 1 : 0) << name << " screen " << screen;
                EXPECT_EQ(admitted, expectAdmitted)
                    << name << " screen " << screen << " refused " << refused;
            }
            // A level held, or no protection, never asks.
            for (int held : {kPrimary, kAdvanced}) {
                ScriptedBox box{kWrong};
                int level = held;
                admit(e.command, view, level, true, box.ask());
                EXPECT_EQ(box.runs, 0) << name << " held " << held;
            }
            ScriptedBox box{kWrong};
            int level = kUnlogged;
            EXPECT_EQ(admit(e.command, view, level, false, box.ask()),
                      !blockedBefore && !blockedAfter)
                << name << " without protection, screen " << screen;
            EXPECT_EQ(box.runs, 0) << name;
        }
    }
}
