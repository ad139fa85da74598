#pragma once
// The main window as the editing page's host: its editing words and cycle state, its camera
// views, the shared dialogs, records, furniture and services.

#include "editpagehost.h"

class DeRaRazovi;

class MainWindowEditHost : public cameraview::EditPageHost {
public:
    explicit MainWindowEditHost(DeRaRazovi& window) : w_(window) {}

    cameraview::EditWords& words() override;
    int resultState() const override;
    void setResultState(int state) override;
    int curDetect() const override;
    const WizardPara& settings() const override;
    CammerWidget* view(int c) override;
    void changeCamera() override;

    int checkPassword(const dialogs::Subject& about) override;
    void insertRecord(const QString& text) override;
    dialogs::Answer warn(const QString& text, const dialogs::Subject& about) override;
    dialogs::Answer ask(const QString& text, const dialogs::Subject& about) override;

    void zoomToMin() override;
    void showHelpButton(bool on) override;
    void showVersion(bool on) override;
    void showIoStatus(bool on) override;
    void showToolBar() override;
    void editCopiesReleased() override;
    void hideKeypads() override;
    void showHelpPage(int page) override;
    void repaintWindow() override;

    void backTrain() override;
    void alarmOutputOff() override;
    QString recordFolder(int c, int d, int kind) const override;
    void templatesCleared(const QJsonObject& cameras) override;

    int alarmClearState(int c, int d) const override;
    void setAlarmClearState(int c, int d, int state) override;
    bool lastCycleNG() const override;
    quint32 alarmSerial() const override;
    quint32 judgementSerial() const override;
    int detectPending(int s) const override;
    void setDetectPending(int s, int cameras) override;
    void resetRun() override;
    void runAlgorithm(int c, int d) override;
    void decideAnswered() override;
    void setOutput(int bit, int on) override;
    void flushOutputs() override;

private:
    DeRaRazovi& w_;
};
