#pragma once
// Test doubles of the detection controller's surroundings: scripted cameras, a host that
// records what the controller asks for and runs the window's timers on a virtual clock, and a
// rig that puts them together with a real IO board facade (without a serial line) and the
// live parameters.

#include <QString>
#include <QStringList>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camerastation.h"
#include "cyclehost.h"
#include "cyclestate.h"
#include "detectioncontroller.h"
#include "wizardpara.h"

class ControlPort;

namespace cycletest {

// Sets parameters from a list such as "okNgPulse clampPulse=0 trigInDelay[1]=15" (a name
// alone sets 1); an unknown name or index fails the test.
void setOptions(WizardPara& p, const std::string& options);

class FakeCamera : public detection::CameraStation {
public:
    explicit FakeCamera(int number) : number(number) {}

    // A new frame over a live link is stamped as the camera view's station does.
    bool updateImage() override {
        if (newFrames && connected) stamp = {detection::nextMoment(), losses};
        return newFrames;
    }
    void whiteBalance() override {}
    bool isConnected() const override { return connected; }
    int link() const override { return losses; }
    detection::FrameStamp frameStamp() const override { return stamp; }
    // The link goes down (the view's loss) and comes back (its reconnection).
    void lose() {
        connected = false;
        ++losses;
    }
    void comeBack() { connected = true; }
    bool isOK() const override { return ok; }
    void setOK(bool value) override { ok = value; }
    void resetResults() override {
        ok = true;
        missing = detection::FrameMissing::None;
    }
    void markFrameMissing(detection::FrameMissing why) override { missing = why; }
    void setDetectDone(int, bool) override {}
    bool reTrainPending(int step) const override { return reTrain[step]; }
    void setReTrainPending(int step, bool pending) override { reTrain[step] = pending; }
    bool saveReTrainImage(int step) override {
        reTrainImages.push_back(step);
        return true;
    }
    void inspect(int step) override {
        inspected.push_back(step);
        inspectedFrames.push_back(stamp.moment);
        ok = results.empty() || results.front();
        if (!results.empty()) results.pop_front();
    }
    void retrain(int) override {}
    void showInspectedFrame(bool) override {}
    std::vector<int> failedNgOutputs(int) const override {
        return ok ? std::vector<int>{} : failingGroups;
    }
    void keepRecentNg(int step) override { ++recentNg[step]; }
    void startAlarmBlink(int) override {}
    bool saveNewestFrame(const QString& path) override {
        savedFrames << path;
        return true;
    }
    void saveFailImage(int step, int isOK) override {
        failImageCalls << QStringLiteral("save %1 %2").arg(step).arg(isOK);
    }
    void updateFailImage(int step, int isOK) override;
    void repaint() override {}
    void repaintCountdown() override { ++countdownRepaints; }

    std::deque<bool> results;        // results of the next inspections; OK when used up
    std::vector<int> failingGroups;  // NG output group of each failing region
    // The fail-image renderer moves the handling state as the camera view does.
    int (*clearStates)[8] = nullptr;

    int number;
    bool connected = true;
    int losses = 0;
    detection::FrameStamp stamp;
    bool ok = true;
    bool newFrames = true;
    detection::FrameMissing missing = detection::FrameMissing::None;
    int countdownRepaints = 0;
    bool reTrain[8] = {};
    int recentNg[8] = {};
    std::vector<int> inspected;            // steps in inspection order
    std::vector<quint64> inspectedFrames;  // the moment of the frame each inspected
    std::vector<int> reTrainImages;
    QStringList savedFrames;
    QStringList failImageCalls;  // "save d k" / "update d k"
};

class FakeHost : public detection::CycleHost {
public:
    std::vector<std::unique_ptr<FakeCamera>> cams;
    void addCameras(int n);
    FakeCamera& camAt(int c) { return *cams.at(c); }
    // Cameras of another kind (real engines), used instead of cams when given.
    std::vector<detection::CameraStation*> stations;

    // Runs the virtual clock forward, firing due timers in time order into the controller.
    void advance(int ms);
    int timerInterval(int id) const;  // -1 when the timer is not running
    void setController(detection::DetectionController* controller) { ctl_ = controller; }

    QStringList records;
    QStringList warnings;   // every text shown
    QStringList withdrawn;  // every text taken back
    bool warningVisible = false;
    bool productBoxVisible = false;
    int statistics = 0;
    int counterWrites = 0;
    std::vector<bool> monitorReports;
    std::vector<std::pair<int, bool>> apiReports;
    std::vector<int> alarmsStarted;
    std::vector<std::pair<int, int>> clearMethods;
    int alarmsLifted = 0;
    int templateSyncs = 0;
    int pagesHidden = 0;
    int allCamerasShown = 0;
    int areaChecks = 0;
    bool detectingButton = true;
    std::map<int, int> leds;
    int passwordAnswer = 2;
    QStringList questions;  // confirmations and password prompts, in order

    // --- CycleHost ---
    int cameraCount() const override {
        return stations.empty() ? int(cams.size()) : int(stations.size());
    }
    detection::CameraStation* camera(int c) override {
        if (c < 0 || c >= cameraCount()) return nullptr;
        return stations.empty() ? cams[c].get() : stations[size_t(c)];
    }
    bool simulatedCameras() const override { return false; }
    void startTimer(int id, int ms) override;
    void stopTimer(int id) override { timers_[id].active = false; }
    bool timerActive(int id) const override { return timerInterval(id) >= 0; }
    void showWarning(const QString& text) override {
        warnings << text;
        warningVisible = true;
    }
    // As the box does: another warning than the one shown stays.
    void hideWarning(const QString& text) override {
        withdrawn << text;
        if (!warnings.isEmpty() && warnings.last() == text) warningVisible = false;
    }
    void showLostCameraBox() override {}
    void hideLostCameraBox() override {}
    bool productAlarmAsked() const override { return productBoxVisible; }
    void showProductAlarmBox() override { productBoxVisible = true; }
    dialogs::Subject panelSubject() const override { return dialogs::Subject::program(); }
    dialogs::Subject alarmSubject() const override { return dialogs::Subject::program(); }
    dialogs::Answer confirm(const QString& question, const dialogs::Subject&) override {
        questions << question;
        return dialogs::Answer::Yes;
    }
    int checkPassword(const dialogs::Subject&) override {
        questions << QStringLiteral("password");
        return passwordAnswer;
    }
    void insertRecord(const QString& text) override { records << text; }
    void addStatistics(bool) override { ++statistics; }
    void writeCounters() override { ++counterWrites; }
    void reportStepToMonitor(bool allOk) override { monitorReports.push_back(allOk); }
    void reportStepToApi(int detect, bool allOk) override { apiReports.push_back({detect, allOk}); }
    void alarmStarted(int detect) override { alarmsStarted.push_back(detect); }
    void alarmClearMethod(int camera, int method) override {
        clearMethods.push_back({camera, method});
    }
    void alarmLifted() override { ++alarmsLifted; }
    void alarmFinished() override {}
    void templatesChanged(int, int) override { ++templateSyncs; }
    void resampleRefused(int, int) override {}
    void templatesUpdated(int, const std::vector<int>&) override {}
    bool settingsVisible() const override { return false; }
    bool editingVisible() const override { return false; }
    void hidePagesForAlarm() override { ++pagesHidden; }
    void showAllCameras() override { ++allCamerasShown; }
    void editorReset() override {}
    void editorRestart() override {}
    dialogs::Answer editorSaveData(const dialogs::Subject&) override {
        return dialogs::Answer::Yes;
    }
    void editorSkipCurrent() override {}
    void editorReCheck() override {}
    void checkArea() override { ++areaChecks; }
    void repaint() override {}
    void setDetectingButton(bool detecting) override { detectingButton = detecting; }
    void led(int n, int on) override { leds[n] = on; }
    void wakeScreen() override {}

private:
    struct VirtualTimer {
        bool active = false;
        bool singleShot = false;
        qint64 due = 0;
        int interval = 0;
    };
    void fire(int id);

    detection::DetectionController* ctl_ = nullptr;
    std::map<int, VirtualTimer> timers_;
    qint64 now_ = 0;
};

// Parameters, IO facade, host and controller for one test. The cycle state lives here as the
// main window would carry it. Parameters start with every output option off, product and
// mould detection on, no delays and pulses of half a second.
class CycleRig {
public:
    // Sets the options, derives the step layout, builds the controller with the cameras and
    // starts detection.
    explicit CycleRig(const std::string& options = "", int cameras = 1);
    ~CycleRig();

    void setInput(int bit, bool on);
    // Rises an input and runs the pass the IO thread's change signal would queue.
    void edge(int bit);
    void pulseInput(int bit, int ms);  // rise, hold, fall (runs the clock)
    bool out(int bit) const;           // operator level of the word the IO thread would send
    void advance(int ms) { host.advance(ms); }

    WizardPara para;
    detection::CycleState state;
    FakeHost host;
    std::unique_ptr<detection::DetectionController> controller;

private:
    ControlPort* port_ = nullptr;
    WizardPara* previousPara_ = nullptr;
    ControlPort* previousPort_ = nullptr;
};

}  // namespace cycletest
