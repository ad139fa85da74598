#pragma once
// The parameter objects a camera view exchanges with its camera: the full setting pushed at
// start and after every reconnect, and the restore-defaults request with its answer. Keys and
// JSON types are the plug-ins' contract.

#include <QJsonObject>

class WizardPara;

namespace cameraview {

// "exposetime", "gain", "contrast", "sharp", "gammma" (sic), "WDR", "VMirror", "HMirror",
// "sysUsage", "speed" of camera c.
QJsonObject cameraSettings(const WizardPara& p, int c);

// The ten integer keys the plug-in fills with its defaults: "exposeTime", "adjustPlus",
// "sharp", "contrast", "gamma", "isHMirror", "isVMirror", "speed", "sysUsage", "isWDR".
QJsonObject defaultSettingsRequest(const WizardPara& p, int c);

// Reads "exposeTime", "adjustPlus", "sharp", "contrast", "gamma" into camera c's fields and
// "speed" (a missing key reads 0); the other keys are not taken back.
void takeDefaultSettings(const QJsonObject& answer, WizardPara* p, int c);

}  // namespace cameraview
