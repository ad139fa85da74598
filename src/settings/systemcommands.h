#pragma once
// Leaving the program or the panel from the settings screen: Exit, Shut Down and Restart. Each
// asks first, writes its record, saves the statistics day and stops the watchdog and detection.
// Exit then stops and closes every camera and ends the event loop with status 0; Shut Down and
// Restart close the databases after the last record and hand "poweroff" or "reboot" to the
// system. No widget: the screen's buttons forward here.

#include <QString>
#include <functional>

#include "settingshost.h"

namespace settings {

enum class StopCommand { Exit, ShutDown, Restart };

enum class StopOutcome {
    Declined,  // not confirmed: nothing happened
    Stopped,   // the program ends, or the panel goes down
    Resumed,   // off the panel the system only logs the command: the program goes on
    Refused,   // the system refused the command: the operator is told, the program goes on
};

// The text of the command's button in the current language.
QString stopCommandLabel(StopCommand command);
// The question and a refusal are asked about the subject: an NG alarm that closes the screen
// while the question is open ends it, and nothing stops.
StopOutcome runStopCommand(SettingsHost& host, StopCommand command, const dialogs::Subject& about);
// Closes the databases and hands "poweroff" or "reboot" to the system. When the panel does not
// go down (refused, or off the panel) the program goes on as before the stop, then `stayingUp`
// runs, then a refusal is told about the subject.
StopOutcome handOverToSystem(SettingsHost& host, const QString& program, bool detectionWasRunning,
                             const dialogs::Subject& about,
                             const std::function<void()>& stayingUp = {});

}  // namespace settings
