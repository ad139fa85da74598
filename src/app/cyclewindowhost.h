#pragma once
// The main window as the detection controller's host: its camera views, timers, dialogs,
// records, counters, statistics, network services, pages and LEDs.

#include <memory>
#include <vector>

#include "cyclehost.h"

class DeRaRazovi;
class QTimer;
class CammerWidgetStation;

class MainWindowCycleHost : public detection::CycleHost {
public:
    explicit MainWindowCycleHost(DeRaRazovi& window);
    ~MainWindowCycleHost() override;

    int cameraCount() const override;
    detection::CameraStation* camera(int c) override;
    bool simulatedCameras() const override;

    void startTimer(int id, int ms) override;
    void stopTimer(int id) override;
    bool timerActive(int id) const override;

    void showWarning(const QString& text) override;
    void hideWarning(const QString& text) override;
    void showLostCameraBox() override;
    void hideLostCameraBox() override;
    bool productAlarmAsked() const override;
    void showProductAlarmBox() override;
    dialogs::Subject panelSubject() const override;
    dialogs::Subject alarmSubject() const override;
    dialogs::Answer confirm(const QString& question, const dialogs::Subject& about) override;
    int checkPassword(const dialogs::Subject& about) override;
    void insertRecord(const QString& text) override;

    void addStatistics(bool afterCycleEnd) override;
    void writeCounters() override;

    void reportStepToMonitor(bool allOk) override;
    void reportStepToApi(int detect, bool allOk) override;
    void alarmStarted(int detect) override;
    void alarmClearMethod(int camera, int method) override;
    void alarmLifted() override;
    void alarmFinished() override;
    void templatesChanged(int camera, int step) override;
    void resampleRefused(int camera, int step) override;
    void templatesUpdated(int step, const std::vector<int>& refused) override;

    bool settingsVisible() const override;
    bool editingVisible() const override;
    void hidePagesForAlarm() override;
    void showAllCameras() override;
    void editorReset() override;
    void editorRestart() override;
    dialogs::Answer editorSaveData(const dialogs::Subject& about) override;
    void editorSkipCurrent() override;
    void editorReCheck() override;
    void checkArea() override;
    void repaint() override;
    void setDetectingButton(bool detecting) override;
    void led(int n, int on) override;
    void wakeScreen() override;

private:
    QTimer* timer(int id) const;

    DeRaRazovi& w_;
    std::vector<std::unique_ptr<CammerWidgetStation>> stations_;
};
