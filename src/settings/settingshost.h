#pragma once
// What the settings screens need from the program around them: the privilege gate, the
// operator's dialogs and records, the camera views, the statistics model, the remote services
// and the window furniture. The main window implements it; tests give their own.

#include <QString>
#include <functional>
#include <vector>

#include "operationrecord.h"
#include "question.h"

class MON_NETMN;

namespace settings {

// The camera view setters the screen calls while it is visible (they then read the editing
// copy of the parameters).
enum class CameraSetting { Exposure, Gain, Sharpness, Contrast, Gamma, WDR, HMirror, VMirror };

class SettingsHost {
public:
    virtual ~SettingsHost() = default;

    // --- the operator ---
    // Every box is asked about the caller's subject (the visit of the screen it was asked on):
    // a subject gone before or while it is open answers Gone, and the caller does nothing more.
    // True only at the service level; asks for the service code otherwise (refused when gone).
    virtual bool checkRoot(const dialogs::Subject& about) = 0;
    virtual dialogs::Answer warn(const QString& text, const dialogs::Subject& about) = 0;
    virtual dialogs::Answer ask(const QString& text, const dialogs::Subject& about) = 0;
    virtual void insertRecord(const QString& text) = 0;

    // --- cameras ---
    virtual int cameraCount() const = 0;
    virtual void applyCamera(int camera, CameraSetting setting) = 0;
    // Pushes the accepted speed to every camera.
    virtual void cameraSetSpeed() = 0;
    // External trigger (true) or free run for one camera in use.
    virtual void cameraChangeTrig(int camera, bool on) = 0;
    // Asks one camera for its default image settings, into the editing copy.
    virtual void restoreDefaultSettings(int camera) = 0;
    virtual void cameraStop(int camera) = 0;
    virtual void cameraClose(int camera) = 0;
    // Trains the enabled steps of every camera's engine again on the live values.
    virtual void retrainEngines() = 0;
    // Every camera takes its stored regions, ignore points and templates again and trains on
    // them (the stored configuration was replaced under the running program).
    virtual void takeStoredCameraData() = 0;

    // --- detection ---
    // Every inspected frame saved as a test image; for this run only, never stored.
    virtual bool saveAllImages() const = 0;
    virtual void setSaveAllImages(bool on) = 0;
    virtual void setStatisticsButtonVisible(bool visible) = 0;

    // --- stopping the program or the panel ---
    // The running statistics day goes to its store before the program or the panel stops.
    virtual void saveStatisticsBeforeStop() = 0;
    virtual void stopWatchdog() = 0;
    // Stops detection and the detection passes; true when detection was running.
    virtual bool stopDetection() = 0;
    // The panel did not go down after all: the databases open again, the watchdog and the
    // passes run again, and detection too when it ran before.
    virtual void resumeAfterStop(bool detectionWasRunning) = 0;
    // Ends the program's event loop with the status.
    virtual void endProgram(int status) = 0;

    // --- window and stores ---
    virtual void showhideMscale() = 0;
    // Deletes the listed operation records (those still in today's file); false when they could
    // not be deleted.
    virtual bool clearRecord(const RecordListing& listed) = 0;
    // Today's operation records, oldest first.
    virtual RecordListing todaysRecords() = 0;
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
// it is only logged and the program must be started again by hand. A restart the system refuses
// is told to the operator, about the subject, and the program goes on. Where the panel stays up,
// `stayingUp` runs first, before anything is told. True when the panel goes down.
bool restartPanel(SettingsHost& host, const dialogs::Subject& about,
                  const std::function<void()>& stayingUp = {});

}  // namespace settings
