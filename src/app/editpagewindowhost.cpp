#include "editpagewindowhost.h"

#include <QJsonObject>

#include "controlport.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "helpwidget.h"
#include "indexbutton.h"
#include "iostatuswidget.h"
#include "mon_netmn.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "wizardpara.h"

namespace {
constexpr int kAlarmOutput = 2;

bool validCell(int c, int d) {
    return c >= 0 && c < kMaxCameras && d >= 0 && d < kMaxDetections;
}
}  // namespace

cameraview::EditWords& MainWindowEditHost::words() {
    return w_;
}

int MainWindowEditHost::resultState() const {
    return w_.resultState;
}

void MainWindowEditHost::setResultState(int state) {
    w_.resultState = state;
}

int MainWindowEditHost::curDetect() const {
    return w_.curDetect;
}

const WizardPara& MainWindowEditHost::settings() const {
    // The window loads the parameters before it makes the page.
    return *gpWPara;
}

CammerWidget* MainWindowEditHost::view(int c) {
    return c >= 0 && c < kMaxCameras ? w_.cammerWidgets[c] : nullptr;
}

void MainWindowEditHost::changeCamera() {
    w_.ChangeCammer();
}

int MainWindowEditHost::checkPassword(const dialogs::Subject& about) {
    return w_.CheckPassword(about);
}

void MainWindowEditHost::insertRecord(const QString& text) {
    w_.InsertRecord(text);
}

dialogs::Answer MainWindowEditHost::warn(const QString& text, const dialogs::Subject& about) {
    return dialogs::notify(text, about);
}

dialogs::Answer MainWindowEditHost::ask(const QString& text, const dialogs::Subject& about) {
    return dialogs::confirm(text, about);
}

void MainWindowEditHost::zoomToMin() {
    w_.MScaleSetToMin();
}

void MainWindowEditHost::showHelpButton(bool on) {
    w_.showhideHelp(on);
}

void MainWindowEditHost::showVersion(bool on) {
    w_.showhideVersion(on);
}

void MainWindowEditHost::showIoStatus(bool on) {
    if (w_.ioStatusWidget) w_.ioStatusWidget->setVisible(on);
}

void MainWindowEditHost::showToolBar() {
    if (w_.indexButton) w_.indexButton->show();
}

void MainWindowEditHost::editCopiesReleased() {
    w_.editCopiesReleased();
}

void MainWindowEditHost::hideKeypads() {
    if (gpNumPad) gpNumPad->HideUpdate();
    if (gpNumCharPad) gpNumCharPad->HideUpdate();
}

void MainWindowEditHost::showHelpPage(int page) {
    gHelpC = page;
    w_.helpWidget->show();
    w_.helpWidget->raise();
}

void MainWindowEditHost::repaintWindow() {
    w_.update();
}

void MainWindowEditHost::backTrain() {
    w_.BackTrain();
}

void MainWindowEditHost::alarmOutputOff() {
    gpControlIO->IOSetOut(kAlarmOutput, 0);
    gpControlIO->IOFlashOut();
}

QString MainWindowEditHost::recordFolder(int c, int d, int kind) const {
    if (c < 0 || c >= kMaxCameras || d < 0 || d >= kMaxDetections || kind < 0 || kind > 1)
        return QString();
    return w_.failDirs[c][d][kind].path();
}

void MainWindowEditHost::templatesCleared(const QJsonObject& cameras) {
    MON_NETMN::getInstance()->syncTempList(cameras);
}

int MainWindowEditHost::alarmClearState(int c, int d) const {
    return validCell(c, d) ? w_.alarmClearState[c][d] : 0;
}

void MainWindowEditHost::setAlarmClearState(int c, int d, int state) {
    if (validCell(c, d)) w_.alarmClearState[c][d] = state;
}

bool MainWindowEditHost::lastCycleNG() const {
    return w_.lastCycleNG;
}

quint32 MainWindowEditHost::alarmSerial() const {
    return w_.cycle().alarmSerial();
}

quint32 MainWindowEditHost::judgementSerial() const {
    return w_.cycle().judgementSerial();
}

int MainWindowEditHost::detectPending(int s) const {
    return s >= 0 && s < kMaxDetections ? w_.detectPending[s] : 0;
}

void MainWindowEditHost::setDetectPending(int s, int cameras) {
    if (s >= 0 && s < kMaxDetections) w_.detectPending[s] = cameras;
}

void MainWindowEditHost::resetRun() {
    w_.ResetRun();
}

void MainWindowEditHost::runAlgorithm(int c, int d) {
    w_.RunAlgorithm(c, d);
}

void MainWindowEditHost::decideAnswered() {
    w_.alarmCleared = 1;
    w_.CheckNG(true);
}

void MainWindowEditHost::setOutput(int bit, int on) {
    gpControlIO->IOSetOut(bit, on);
}

void MainWindowEditHost::flushOutputs() {
    gpControlIO->IOFlashOut();
}
