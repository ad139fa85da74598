#include "acceptedsettings.h"

#include <algorithm>
#include <iterator>

#include "wizardpara.h"

namespace settings {

bool engineSettingsChanged(const WizardPara& before, const WizardPara& after) {
    // Training reads these: the defect matcher's amplification, the position model (accuracy,
    // zoom layers, turn, search margin, on or off), the homography and the enabled steps.
    static constexpr int WizardPara::*kTrainingFields[] = {
        &WizardPara::amplify,     &WizardPara::shapeAccuracy, &WizardPara::zoomLayers,
        &WizardPara::rotateAngle, &WizardPara::shapeOffset,   &WizardPara::motionCorrect,
        &WizardPara::angleCorrect};
    for (int WizardPara::*field : kTrainingFields)
        if (before.*field != after.*field) return true;
    return !std::equal(std::begin(before.detectEnable), std::end(before.detectEnable),
                       std::begin(after.detectEnable));
}

void applyAcceptedSettings(SettingsHost& host, const WizardPara& before, const WizardPara& after) {
    if (before.sysUsage != after.sysUsage)
        for (int c = 0; c < host.cameraCount(); ++c) host.cameraChangeTrig(c, after.sysUsage != 0);
    if (engineSettingsChanged(before, after)) host.retrainEngines();
    host.setStatisticsButtonVisible(after.useStatistics != 0);
}

void restoreCameraDefaults(SettingsHost& host, int camera) {
    if (camera < 0 || camera >= host.cameraCount()) return;
    host.restoreDefaultSettings(camera);
    for (CameraSetting setting :
         {CameraSetting::Exposure, CameraSetting::Gain, CameraSetting::Sharpness,
          CameraSetting::Contrast, CameraSetting::Gamma})
        host.applyCamera(camera, setting);
}

}  // namespace settings
