#pragma once
// Test doubles of the detection controller's surroundings: scripted cameras, a host that
// records what the controller asks for and runs the window's timers on a virtual clock, and a
// rig that puts them together with a real IO board facade (without a serial line) and the
// live parameters.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "camerastation.h"
#include "cyclehost.h"
#include "cyclestate.h"
#include "detectioncontroller.h"
#include "wizardpara.h"

class ControlPort;

namespace cycletest {

class FakeCamera : public detection::CameraStation {
public:
    explicit FakeCamera(int number) : number(number) {}

    bool updateImage() override;
    void whiteBalance() override { ++whiteBalances; }
    bool isConnected() const override { return connected; }
    bool isOK() const override { return ok; }
    void setOK(bool value) override { ok = value; }
    void resetResults() override;
    void setDetectDone(int step, bool done) override { detectDone[step] = done; }
    bool reTrainPending(int step) const override { return reTrain[step]; }
    void setReTrainPending(int step, bool pending) override { reTrain[step] = pending; }
    void saveReTrainImage(int step) override { reTrainImages.push_back(step); }
    void inspect(int step) override;
    void retrain(int step) override { retrained.push_back(step); }
    void showInspectedFrame(bool aligned) override { shownAligned.push_back(aligned); }
    std::vector<int> failedNgOutputs(int step) const override;
    void keepRecentNg(int step) override { ++recentNg[step]; }
    void startAlarmBlink(int) override { ++blinks; }
    bool saveNewestFrame(const QString& path) override;
    void saveFailImage(int step, int isOK) override;
    void updateFailImage(int step, int isOK) override;
    void repaint() override {}
    void repaintCountdown() override { ++countdownRepaints; }

    // The result of the next inspections, in order; when used up, `defaultOk`.
    std::deque<bool> results;
    bool defaultOk = true;
    // NG output group of each failing region of a step's inspection.
    std::vector<int> failingGroups;
    // Called by inspect (e.g. to model the state moves of the fail-image renderer).
    std::function<void(int step)> onInspect;
    // The fail-image renderer moves the handling state as the camera view does.
    int (*clearStates)[8] = nullptr;

    int number;
    bool connected = true;
    bool ok = true;
    bool newFrames = true;
    int whiteBalances = 0;
    int blinks = 0;
    int countdownRepaints = 0;
    int resets = 0;
    bool detectDone[8] = {};
    bool reTrain[8] = {};
    int recentNg[8] = {};
    std::vector<int> inspected;  // steps in inspection order
    std::vector<int> reTrainImages;
    std::vector<int> retrained;
    std::vector<bool> shownAligned;
    QStringList savedFrames;
    QStringList failImageCalls;  // "save d k" / "update d k"
};

// One timer of the window on the virtual clock.
struct VirtualTimer {
    bool active = false;
    bool singleShot = false;
    qint64 due = 0;
    int interval = 0;
};

class FakeHost : public detection::CycleHost {
public:
    FakeHost();

    // --- scripting and inspection ---
    std::vector<std::unique_ptr<FakeCamera>> cams;
    void addCameras(int n);
    FakeCamera& camAt(int c) { return *cams.at(c); }

    // Runs the virtual clock forward, firing due timers in time order into the controller.
    void advance(int ms);
    qint64 nowMs() const { return now_; }
    int timerInterval(int id) const;
    void setController(detection::DetectionController* controller) { ctl_ = controller; }

    QStringList records;
    QStringList warnings;  // every text shown
    bool warningVisible = false;
    bool lostBoxVisible = false;
    bool productBoxVisible = false;
    int statistics = 0;
    int counterWrites = 0;
    std::vector<bool> monitorReports;
    std::vector<std::pair<int, bool>> apiReports;
    std::vector<int> alarmsStarted;
    std::vector<std::pair<int, int>> clearMethods;
    int alarmsLifted = 0;
    int alarmFinishes = 0;
    std::vector<std::pair<int, int>> templateSyncs;
    bool settingsShown = false;
    bool editingShown = false;
    int pagesHidden = 0;
    int allCamerasShown = 0;
    int editorResets = 0;
    int editorRestarts = 0;
    int editorSaves = 0;
    int editorSkips = 0;
    int editorReChecks = 0;
    int areaChecks = 0;
    bool detectingButton = true;
    std::map<int, int> leds;
    int screenWakes = 0;
    bool confirmAnswer = true;
    int passwordAnswer = 2;
    int passwordAsked = 0;
    QStringList questions;

    // --- CycleHost ---
    int cameraCount() const override { return int(cams.size()); }
    detection::CameraStation* camera(int c) override;
    bool simulatedCameras() const override { return simulated; }
    bool simulated = false;
    void startTimer(int id, int ms) override;
    void stopTimer(int id) override;
    bool timerActive(int id) const override;
    void showWarning(const QString& text) override;
    void hideWarning() override { warningVisible = false; }
    void showLostCameraBox() override { lostBoxVisible = true; }
    void hideLostCameraBox() override { lostBoxVisible = false; }
    bool productAlarmBoxVisible() const override { return productBoxVisible; }
    void showProductAlarmBox() override { productBoxVisible = true; }
    bool confirm(const QString& question) override;
    int checkPassword() override;
    void insertRecord(const QString& text) override { records << text; }
    void addStatistics() override { ++statistics; }
    void writeCounters() override { ++counterWrites; }
    void reportStepToMonitor(bool allOk) override { monitorReports.push_back(allOk); }
    void reportStepToApi(int detect, bool allOk) override { apiReports.push_back({detect, allOk}); }
    void alarmStarted(int detect) override { alarmsStarted.push_back(detect); }
    void alarmClearMethod(int camera, int method) override {
        clearMethods.push_back({camera, method});
    }
    void alarmLifted() override { ++alarmsLifted; }
    void alarmFinished() override { ++alarmFinishes; }
    void templatesChanged(int camera, int step) override {
        templateSyncs.push_back({camera, step});
    }
    bool settingsVisible() const override { return settingsShown; }
    bool editingVisible() const override { return editingShown; }
    void hidePagesForAlarm() override { ++pagesHidden; }
    void showAllCameras() override { ++allCamerasShown; }
    void editorReset() override { ++editorResets; }
    void editorRestart() override { ++editorRestarts; }
    void editorSaveData() override { ++editorSaves; }
    void editorSkipCurrent() override { ++editorSkips; }
    void editorReCheck() override { ++editorReChecks; }
    void checkArea() override { ++areaChecks; }
    void repaint() override {}
    void setDetectingButton(bool detecting) override { detectingButton = detecting; }
    void led(int n, int on) override { leds[n] = on; }
    void wakeScreen() override { ++screenWakes; }

private:
    void fire(int id);

    detection::DetectionController* ctl_ = nullptr;
    std::map<int, VirtualTimer> timers_;
    qint64 now_ = 0;
};

// Parameters, IO facade, host and controller for one test. The cycle state lives here as the
// main window would carry it.
class CycleRig {
public:
    CycleRig();
    ~CycleRig();

    // Derives the step layout (detectEnable, trigInLine, gDNum) after the test set fields.
    void layout();
    // Builds the controller (after layout) with n cameras and starts detection.
    void start(int cameras = 1);

    // --- inputs and outputs at the board ---
    void setInput(int bit, bool on);
    void pulseInput(int bit, int ms);  // rise, hold, fall (runs the clock)
    bool out(int bit) const;           // the word the IO thread would send
    quint32 outputs() const;

    // Runs the pass the IO thread's change signal would queue, then the clock.
    void edge(int bit);
    void advance(int ms) { host.advance(ms); }

    WizardPara para;
    detection::CycleState state;
    FakeHost host;
    std::unique_ptr<detection::DetectionController> controller;
    ControlPort* port = nullptr;

private:
    WizardPara* previousPara_ = nullptr;
    ControlPort* previousPort_ = nullptr;
};

}  // namespace cycletest
