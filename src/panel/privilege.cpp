#include "privilege.h"

#include <iterator>

namespace panel {

namespace {

// One row per command; the window's slots follow it.
const CommandRule kRules[] = {
    {Command::AdjustArea, "SlotAdjustArea", Gate::Password, kAnyPage | kAlarm, kNoBlocker, false},
    {Command::SystemPara, "SlotSystemPara", Gate::Password, kAnyPage, kAlarm, true},
    // Part of a retrain request of the cycle: it closes the settings screen itself.
    {Command::CheckArea, "CheckArea", Gate::Password, kNoBlocker, kNoBlocker, false},
    // After the gate the operator still confirms; the window checks the pages again then.
    {Command::ReTrain, "SlotReTrain", Gate::Password, kAnyPage, kNoBlocker, false},
    {Command::ManualTrig, "SlotManualTrig", Gate::None, kSettingsOrEditor, kNoBlocker, false},
    {Command::Return, "SlotReturn", Gate::None, kSettingsOrEditor, kNoBlocker, false},
    {Command::Help, "SlotHelp", Gate::None, kNoBlocker, kNoBlocker, false},
    {Command::Zoom, "MScale", Gate::None, kNoBlocker, kNoBlocker, false},
};
static_assert(std::size(kRules) == size_t(Command::Count), "one rule per command");

// The level a run of the box leaves: a checked password decides it, a cancel keeps it.
void takeAnswer(int& level, const PasswordAnswer& answer) {
    if (answer.checked) level = answer.level;
}

}  // namespace

int checkPassword(int& level, bool passwordUsed, const AskPassword& ask) {
    if (!passwordUsed) return kAdvanced;
    if (level != kUnlogged) return level;
    if (!ask) return level;
    const PasswordAnswer answer = ask();
    takeAnswer(level, answer);
    return answer.gone ? int(kUnlogged) : level;
}

bool checkRoot(int& level, const AskPassword& ask) {
    if (level == kAdvanced) return true;
    if (!ask) return false;
    const PasswordAnswer answer = ask();
    takeAnswer(level, answer);
    return !answer.gone && level == kAdvanced;
}

int levelForSettingsVisit(int level, bool passwordUsed) {
    if (level != kAdvanced) return level;
    return passwordUsed ? kPrimary : kUnlogged;
}

const CommandRule& ruleFor(Command command) {
    return kRules[size_t(command)];
}

bool isBlocked(unsigned blockers, const PanelView& view) {
    if ((blockers & kAnyPage) && (view.settingsOpen || view.editorOpen || view.otherPageOpen))
        return true;
    if ((blockers & kSettingsOrEditor) && (view.settingsOpen || view.editorOpen)) return true;
    return (blockers & kAlarm) && view.alarmShown;
}

std::vector<qint64> reading(const PanelView& view) {
    return {view.settingsOpen, view.editorOpen,  view.otherPageOpen,
            view.alarmShown,   view.alarmSerial, view.editorOpening};
}

bool admit(Command command, const PanelView& view, int& level, bool passwordUsed,
           const AskPassword& ask) {
    const CommandRule& rule = ruleFor(command);
    if (isBlocked(rule.blockedBefore, view)) return false;
    if (rule.endsServiceLogin) level = levelForSettingsVisit(level, passwordUsed);
    if (rule.gate == Gate::Password && checkPassword(level, passwordUsed, ask) == kUnlogged)
        return false;
    // A box that answered was asked about this view, so it still stands.
    return !isBlocked(rule.blockedAfter, view);
}

}  // namespace panel
