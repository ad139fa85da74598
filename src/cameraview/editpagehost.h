#pragma once
// What the editing page needs from the program around it: the main window's editing words, its
// cycle state, the camera views, the operator's dialogs and records, and the window furniture
// the page shows and hides. The main window implements it; tests give their own.

#include <QString>

#include "question.h"

class CammerWidget;
class QJsonObject;
class WizardPara;

namespace cameraview {

// The main window's words the editing page and the camera views share. The main window carries
// them as a base, so they keep their names there (DeRaRazovi::curCamera, ...).
struct EditWords {
    int curCamera = 0;   // the camera shown alone; numCamera = all cameras tiled
    int editDetect = 0;  // the detection edited and shown on the page
    int drawTool = 0;    // 0 none, 1 rectangle, 2 polygon, 4 circle
    int copyAreaArmed = 0;
    int freehandDraw = 0;
};

class EditPageHost {
public:
    virtual ~EditPageHost() = default;

    virtual EditWords& words() = 0;
    // The cycle's result state (2 NG alarm shown, 3 area setting) and its current detection.
    virtual int resultState() const = 0;
    virtual void setResultState(int state) = 0;
    virtual int curDetect() const = 0;
    virtual const WizardPara& settings() const = 0;
    // The view of camera c; null for a camera that is not in use.
    virtual CammerWidget* view(int c) = 0;
    // Lays the views out for curCamera.
    virtual void changeCamera() = 0;

    // --- the operator: every box about the subject of its road ---
    // The level reached; 0 refused, also when the subject went while the box was open.
    virtual int checkPassword(const dialogs::Subject& about) = 0;
    virtual void insertRecord(const QString& text) = 0;
    virtual dialogs::Answer warn(const QString& text, const dialogs::Subject& about) = 0;
    virtual dialogs::Answer ask(const QString& text, const dialogs::Subject& about) = 0;

    // --- window furniture ---
    virtual void zoomToMin() = 0;
    virtual void showHelpButton(bool on) = 0;
    virtual void showVersion(bool on) = 0;
    virtual void showIoStatus(bool on) = 0;
    virtual void showToolBar() = 0;
    // The page closed and gave the views' editing copies back.
    virtual void editCopiesReleased() = 0;
    virtual void hideKeypads() = 0;
    virtual void showHelpPage(int page) = 0;
    virtual void repaintWindow() = 0;

    // --- the cycle and the services ---
    virtual void backTrain() = 0;
    // The alarm output off and flushed.
    virtual void alarmOutputOff() = 0;
    // The folder of camera c's stored pictures of detection d: kind 0 NG, 1 OK.
    virtual QString recordFolder(int c, int d, int kind) const = 0;
    // Tells the monitoring link which template libraries were emptied.
    virtual void templatesCleared(const QJsonObject& cameras) = 0;

    // --- the detection cycle, for the answers to an NG alarm ---
    // How camera c's alarm of detection d is being handled (3 open, 4 "Don't Detect",
    // 5 "Add As Temp", 7 re-detected; the result decision and the fail pictures read it).
    virtual int alarmClearState(int c, int d) const = 0;
    virtual void setAlarmClearState(int c, int d, int state) = 0;
    // The last evaluated step failed on some camera.
    virtual bool lastCycleNG() const = 0;
    // Counts the NG alarms raised, and every decision of a step (a re-check that fails again
    // judged a frame the operator has not seen).
    virtual quint32 alarmSerial() const = 0;
    virtual quint32 judgementSerial() const = 0;
    // The cameras (bit mask) still to inspect in step s.
    virtual int detectPending(int s) const = 0;
    virtual void setDetectPending(int s, int cameras) = 0;
    // Every camera's results back to passed, the step delays to 0.
    virtual void resetRun() = 0;
    // Camera c inspects detection d on its newest frame.
    virtual void runAlgorithm(int c, int d) = 0;
    // The step is decided again after the operator's answer (the alarm is marked cleared
    // first); it lifts the alarm when every camera now passes.
    virtual void decideAnswered() = 0;
    // An output of the IO board on or off; flushOutputs hands the word to the board.
    virtual void setOutput(int bit, int on) = 0;
    virtual void flushOutputs() = 0;
};

}  // namespace cameraview
