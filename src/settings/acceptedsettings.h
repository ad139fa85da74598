#pragma once
// What accepted or restored settings do beyond the stored values: the trigger mode of the
// cameras, the engines' training, the statistics button, and the cameras' own defaults.

#include "settingshost.h"

class WizardPara;

namespace settings {

// True when a value the engine's training reads differs: then the engines train again.
bool engineSettingsChanged(const WizardPara& before, const WizardPara& after);
// After a confirm stored `after` over `before`: the cameras in use take a changed trigger
// setting, the engines train again for changed engine settings, the statistics button follows
// "use statistics".
void applyAcceptedSettings(SettingsHost& host, const WizardPara& before, const WizardPara& after);
// The camera's defaults into the editing copy, shown by the camera at once (the screen shows
// them; its confirm stores them, its cancel gives the camera the live values back).
void restoreCameraDefaults(SettingsHost& host, int camera);

}  // namespace settings
