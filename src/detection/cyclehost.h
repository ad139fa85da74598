#pragma once
// Everything the detection controller reaches outside the cycle's own state and the IO board:
// camera views, the window's timers, operator messages and records, counters and statistics,
// the network services, pages and LEDs. The main window implements it; tests give a fake with
// a virtual clock.

#include <QString>
#include <vector>

#include "subject.h"

namespace detection {

class CameraStation;

// The window's timers the cycle starts and stops.
namespace timers {
enum Id {
    Run,
    InCheck,
    Show,
    OutNG,
    NotAllowClose,
    NotAllowThimble,
    ReserveOutput,
    SysFunc4Output,
    DelayOutput3,
    ClearNGAlarm,
    Lcd,
    FirstDelay = 16,       // + position: the step delay countdowns
    FirstInputCheck = 32,  // + input: the debounce checks
    Count = 48,
};
inline int delay(int position) {
    return FirstDelay + position;
}
inline int inputCheck(int input) {
    return FirstInputCheck + input;
}
}  // namespace timers

class CycleHost {
public:
    virtual ~CycleHost() = default;

    // --- cameras ---
    virtual int cameraCount() const = 0;
    virtual CameraStation* camera(int c) = 0;
    virtual bool simulatedCameras() const = 0;

    // --- timers (QTimer semantics: start restarts) ---
    virtual void startTimer(int id, int ms) = 0;
    virtual void stopTimer(int id) = 0;
    virtual bool timerActive(int id) const = 0;

    // --- operator ---
    // Shows the shared warning box without blocking (the pass must not be re-entered).
    virtual void showWarning(const QString& text) = 0;
    // Takes back the warning of a condition that ended; another warning on the box stays.
    virtual void hideWarning(const QString& text) = 0;
    virtual void showLostCameraBox() = 0;
    virtual void hideLostCameraBox() = 0;
    // The count box is up and asks about the count alarm that stands now: a box still up with
    // the question of an alarm released since asks nothing.
    virtual bool productAlarmAsked() const = 0;
    virtual void showProductAlarmBox() = 0;
    // What the operator's boxes of a road are asked about, read now: the panel (its pages and
    // the alarm raised last) for the tool bar's commands, the alarm page (its opening, the
    // alarm and its latest judgement) for what is done to an alarm.
    virtual dialogs::Subject panelSubject() const = 0;
    virtual dialogs::Subject alarmSubject() const = 0;
    // A modal yes/no question about the subject.
    virtual dialogs::Answer confirm(const QString& question, const dialogs::Subject& about) = 0;
    // The privilege gate of operator commands; 0 refused, also when the subject went.
    virtual int checkPassword(const dialogs::Subject& about) = 0;
    virtual void insertRecord(const QString& text) = 0;

    // --- results ---
    // afterCycleEnd: the step belongs to the cycle whose end the statistics took already.
    virtual void addStatistics(bool afterCycleEnd) = 0;
    virtual void writeCounters() = 0;

    // --- network services ---
    virtual void reportStepToMonitor(bool allOk) = 0;
    virtual void reportStepToApi(int detect, bool allOk) = 0;
    virtual void alarmStarted(int detect) = 0;
    virtual void alarmClearMethod(int camera, int method) = 0;
    virtual void alarmLifted() = 0;    // the monitoring link's alarm state := 2
    virtual void alarmFinished() = 0;  // sends the finish when the alarm was lifted
    // The resample the operator asked for stored template 0 of the camera's step, which replaces
    // the step's whole set of templates.
    virtual void templatesChanged(int camera, int step) = 0;
    // The resample the operator asked for could not write template 0 of the camera's step,
    // which keeps every template it had: told and recorded at once.
    virtual void resampleRefused(int camera, int step) = 0;
    // The automatic update of template 0 of the step on every camera, but the cameras whose
    // file the disk refused (told once while it refuses them, with its other refusals).
    virtual void templatesUpdated(int step, const std::vector<int>& refused) = 0;

    // --- pages and screen ---
    virtual bool settingsVisible() const = 0;
    virtual bool editingVisible() const = 0;
    // Hides the help page, the settings screen and the tool bar.
    virtual void hidePagesForAlarm() = 0;
    // Shows every camera tiled.
    virtual void showAllCameras() = 0;
    virtual void editorReset() = 0;
    virtual void editorRestart() = 0;
    // The editing page's edits saved, asking the operator about the subject first when there
    // are any; Gone when the subject went while it asked.
    virtual dialogs::Answer editorSaveData(const dialogs::Subject& about) = 0;
    // "Don't detect" the current mould (door closed during a product alarm).
    virtual void editorSkipCurrent() = 0;
    // The editing page's re-check.
    virtual void editorReCheck() = 0;
    // Opens the area editor after a retrain request.
    virtual void checkArea() = 0;
    virtual void repaint() = 0;
    virtual void setDetectingButton(bool detecting) = 0;
    virtual void led(int n, int on) = 0;
    // Switches the backlight on (and restarts the screen-off time) when it is off.
    virtual void wakeScreen() = 0;
};

}  // namespace detection
