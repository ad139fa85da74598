#pragma once
// Leaving the program or the panel from the settings screen: Exit, Shut Down and Restart. Each
// asks first, writes its record, saves the statistics day and stops the watchdog and detection.
// Exit then stops and closes every camera and ends the event loop with status 0; Shut Down and
// Restart close the databases after the last record and hand "poweroff" or "reboot" to the
// system. No widget: the screen's buttons forward here.

#include <QString>

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
StopOutcome runStopCommand(SettingsHost& host, StopCommand command);
// Closes the databases and hands "poweroff" or "reboot" to the system. When the panel does not
// go down (refused, or off the panel) the program goes on as before the stop.
StopOutcome handOverToSystem(SettingsHost& host, const QString& program, bool detectionWasRunning);

}  // namespace settings
