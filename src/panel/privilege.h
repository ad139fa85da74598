#pragma once
// The operator's privilege and which tool-bar command needs it. The window keeps the level
// (0 unlogged, 1 operator password, 2 service code) and asks the password box through `ask`;
// everything else is decided here.

#include <QtGlobal>
#include <functional>
#include <vector>

namespace panel {

enum Level { kUnlogged = 0, kPrimary = 1, kAdvanced = 2 };

// What one run of the password box gave: whether any password was checked (a box cancelled
// before anything was entered checks none) and the level of the last check (0 when wrong).
struct PasswordAnswer {
    bool checked = false;
    int level = kUnlogged;
    bool gone = false;  // what it was asked for ended while the box was open: refused
};
using AskPassword = std::function<PasswordAnswer()>;

// The gate of operator commands: the level reached, 0 refused. Without password protection
// every command passes (as the advanced level) and the level held is left alone; a level held
// passes without a question.
int checkPassword(int& level, bool passwordUsed, const AskPassword& ask);
// The gate of the service pages: true only at the advanced level, whatever the protection.
bool checkRoot(int& level, const AskPassword& ask);
// The level left when the settings screen is opened: a service login ends there, so the
// service pages ask for the code again.
int levelForSettingsVisit(int level, bool passwordUsed);

// The tool-bar commands and the other operator commands of the window. Start and stop of
// detection is the detection controller's: it asks only for stopping, with its own setting.
enum class Command {
    AdjustArea,
    SystemPara,
    CheckArea,
    ReTrain,
    ManualTrig,
    Return,
    Help,
    Zoom,
    Count
};

enum class Gate { None, Password };

// What a command is ignored for (a set of these bits).
enum Blocker : unsigned {
    kNoBlocker = 0,
    kAnyPage = 1,           // settings, area editing, camera numbers or IO names open
    kSettingsOrEditor = 2,  // the settings screen or the area-editing page open
    kAlarm = 4,             // an NG alarm on screen
};

// What the window shows when a command arrives.
struct PanelView {
    bool settingsOpen = false;
    bool editorOpen = false;
    bool otherPageOpen = false;  // camera numbers or IO names
    bool alarmShown = false;
    unsigned alarmSerial = 0;  // which NG alarm was raised last
    int editorOpening = 0;     // counts every opening and closing of the editing page
};
// What a command's questions are asked about: the view as counters, so that a page opened and
// closed again, or an alarm raised and released, while a box was open reads as changed.
std::vector<qint64> reading(const PanelView& view);

struct CommandRule {
    Command command;
    const char* name;
    Gate gate;
    unsigned blockedBefore;  // ignored without a question
    unsigned blockedAfter;   // ignored once the gate has passed
    bool endsServiceLogin;   // the settings screen: see levelForSettingsVisit
};

const CommandRule& ruleFor(Command command);
bool isBlocked(unsigned blockers, const PanelView& view);

// Whether the command goes on: the checks before the gate, the gate, the checks after it.
// A command ignored before its gate asks nothing. The password box is modal and the cycle
// goes on while it is open: the window asks it about the view the command was given on (see
// reading), and a view that changed meanwhile refuses as the box answers.
bool admit(Command command, const PanelView& view, int& level, bool passwordUsed,
           const AskPassword& ask);

}  // namespace panel
