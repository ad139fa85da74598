#pragma once
// A settings screen under test: a working folder with a new parameter database open as the
// program's connection, live and editing parameters, the language table and a host that
// records what the screen asks of the program.

#include <QDate>
#include <QSqlDatabase>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "settingshost.h"
#include "testsupport.h"
#include "wizardpara.h"

class OperationLog;

namespace settingstest {

class FakeHost : public settings::SettingsHost {
public:
    // A box answers Gone when its subject went before or while it was open.
    bool checkRoot(const dialogs::Subject& about) override;
    dialogs::Answer warn(const QString& text, const dialogs::Subject& about) override;
    dialogs::Answer ask(const QString& text, const dialogs::Subject& about) override;
    void insertRecord(const QString& text) override;
    int cameraCount() const override { return cameras; }
    void applyCamera(int camera, settings::CameraSetting setting) override;
    void cameraSetSpeed() override;
    void cameraChangeTrig(int camera, bool on) override { note("trigger", camera, on); }
    void restoreDefaultSettings(int camera) override;
    void cameraStop(int camera) override { note("stop", camera); }
    void cameraClose(int camera) override { note("close", camera); }
    void retrainEngines() override { note("retrain"); }
    void takeStoredCameraData() override { note("take stored"); }
    bool saveAllImages() const override { return saveAll; }
    void setSaveAllImages(bool on) override { saveAll = on; }
    void setStatisticsButtonVisible(bool visible) override { note("statisticsButton", visible); }
    void saveStatisticsBeforeStop() override { note("saveStatistics"); }
    void stopWatchdog() override { note("stopWatchdog"); }
    bool stopDetection() override { return note("stopDetection"), true; }
    void resumeAfterStop(bool wasRunning) override;
    void endProgram(int status) override { note("end", status); }
    void showhideMscale() override;
    bool clearRecord(const RecordListing& listed) override;
    RecordListing todaysRecords() override;
    void flushAll() override;
    void showCameraOrder() override;
    void showIONames() override;
    void setStatisticsTimer(bool on) override;
    void checkCameraDetectCount(int n) override;
    void updateLocalBaseInfo() override;
    MON_NETMN* monitorLink() override { return link; }
    void stopCalibrationHold() override;

    // What the fake answers.
    bool serviceLevel = false;
    bool answer = true;
    int cameras = 2;
    MON_NETMN* link = nullptr;
    OperationLog* recordLog = nullptr;
    QDate today;  // the day the records page lists
    bool saveAll = false;
    bool clearWorks = true;
    int defaultExposure = 0;  // what a camera gives as its default
    // Runs when a notice is shown, before it is answered (an NG alarm closing the screen).
    std::function<void()> duringWarn;

    // What the screen asked, in order ("warn: ...", "camera 0 0", "speed", ...).
    QStringList calls;
    QStringList questions;
    QStringList programsAtFlush;  // what the system seam had run when flushAll came
    QStringList warnings;
    QStringList records;

private:
    // Notes a call as its name and arguments ("stop 1").
    void note(const char* what, int a = -1, int b = -1) {
        QString call = QLatin1String(what);
        for (int arg : {a, b})
            if (arg >= 0) call += QLatin1Char(' ') + QString::number(arg);
        calls << call;
    }
};

class Rig {
public:
    Rig();
    ~Rig();

    // The stored value of a sysparam row.
    QString row(const QString& name) const;
    // A fresh record loaded from the file on a connection of its own.
    void loadFromFile(WizardPara& into) const;

    testsupport::WorkDir work;
    FakeHost host;
    QWidget owner;

private:
    int language_;
    int dNum_;
};

}  // namespace settingstest
