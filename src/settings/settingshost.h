#pragma once
// What the settings screens need from the program around them: the privilege gate, the
// operator's dialogs and records, the camera views, the statistics model, the remote services
// and the window furniture. The main window implements it; tests give their own.

#include <QSqlDatabase>
#include <QString>

class MON_NETMN;

namespace settings {

// The camera view setters the screen calls while it is visible (they then read the editing
// copy of the parameters).
enum class CameraSetting { Exposure, Gain, Sharpness, Contrast, Gamma, WDR, HMirror, VMirror };

class SettingsHost {
public:
    virtual ~SettingsHost() = default;

    // --- the operator ---
    // True only at the service level; asks for the service code otherwise.
    virtual bool checkRoot() = 0;
    virtual void warn(const QString& text) = 0;  // modal
    virtual bool ask(const QString& text) = 0;   // modal; true confirmed
    virtual void insertRecord(const QString& text) = 0;

    // --- cameras ---
    virtual int cameraCount() const = 0;
    virtual void applyCamera(int camera, CameraSetting setting) = 0;
    // Pushes the accepted speed to every camera.
    virtual void cameraSetSpeed() = 0;

    // --- window and stores ---
    virtual void showhideMscale() = 0;
    virtual void clearRecord() = 0;
    virtual QSqlDatabase recordDatabase() = 0;
    // Closes the databases so that the files are complete before a restart.
    virtual void flushAll() = 0;
    virtual void showCameraOrder() = 0;
    virtual void showIONames() = 0;

    // --- services ---
    virtual void setStatisticsTimer(bool on) = 0;
    virtual void checkCameraDetectCount(int n) = 0;
    virtual void updateLocalBaseInfo() = 0;
    virtual MON_NETMN* monitorLink() = 0;
    // Ends a touch-screen calibration hold that is running: presses on the network settings
    // are held long while typing and must not lead to a calibration and a reboot.
    virtual void stopCalibrationHold() = 0;
};

// Restarts the panel after the databases are closed: through the system seam, so off the panel
// it is only logged and the program must be started again by hand.
void restartPanel(SettingsHost& host);

}  // namespace settings
