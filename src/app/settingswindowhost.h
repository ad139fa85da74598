#pragma once
// The main window as the settings screens' host: its privilege gate, dialogs and records, its
// camera views, the statistics model and the remote services.

#include "settingshost.h"

class CammerWidget;
class DeRaRazovi;

class MainWindowSettingsHost : public settings::SettingsHost {
public:
    explicit MainWindowSettingsHost(DeRaRazovi& window) : w_(window) {}

    bool checkRoot(const dialogs::Subject& about) override;
    dialogs::Answer warn(const QString& text, const dialogs::Subject& about) override;
    dialogs::Answer ask(const QString& text, const dialogs::Subject& about) override;
    void insertRecord(const QString& text) override;

    int cameraCount() const override;
    void applyCamera(int camera, settings::CameraSetting setting) override;
    void cameraSetSpeed() override;
    void cameraChangeTrig(int camera, bool on) override;
    void restoreDefaultSettings(int camera) override;
    void cameraStop(int camera) override;
    void cameraClose(int camera) override;
    void retrainEngines() override;
    void takeStoredCameraData() override;

    bool saveAllImages() const override;
    void setSaveAllImages(bool on) override;
    void setStatisticsButtonVisible(bool visible) override;

    void saveStatisticsBeforeStop() override;
    void stopWatchdog() override;
    bool stopDetection() override;
    void resumeAfterStop(bool detectionWasRunning) override;
    void endProgram(int status) override;

    void showhideMscale() override;
    bool clearRecord(const RecordListing& listed) override;
    RecordListing todaysRecords() override;
    void flushAll() override;
    void showCameraOrder() override;
    void showIONames() override;

    void setStatisticsTimer(bool on) override;
    void checkCameraDetectCount(int n) override;
    void updateLocalBaseInfo() override;
    MON_NETMN* monitorLink() override;
    void stopCalibrationHold() override;

private:
    CammerWidget* view(int camera) const;

    DeRaRazovi& w_;
};
