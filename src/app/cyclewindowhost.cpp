#include "cyclewindowhost.h"

#include <QAbstractButton>
#include <QDebug>
#include <QDir>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>

#include "cameramanager.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "customionamewidget.h"
#include "cyclecamerastation.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "devicehelpers.h"
#include "drawroiwidget.h"
#include "enginefailimage.h"
#include "helpwidget.h"
#include "httpapiserver.h"
#include "indexbutton.h"
#include "lostcamerawarnbox.h"
#include "mon_netmn.h"
#include "productalarmwarnbox.h"
#include "question.h"
#include "statisticswidget.h"
#include "templatefiles.h"
#include "warnbox.h"
#include "widgetchangecamera.h"
#include "wizardpara.h"
#include "wizardparawidget.h"
#include "writefailuretexts.h"

MainWindowCycleHost::MainWindowCycleHost(DeRaRazovi& window) : w_(window) {}

MainWindowCycleHost::~MainWindowCycleHost() = default;

int MainWindowCycleHost::cameraCount() const {
    return numCamera;
}

detection::CameraStation* MainWindowCycleHost::camera(int c) {
    if (c < 0 || c >= kMaxCameras || !w_.cammerWidgets[c]) return nullptr;
    if (int(stations_.size()) <= c) stations_.resize(c + 1);
    if (!stations_[c] || stations_[c]->view() != w_.cammerWidgets[c])
        stations_[c] = std::make_unique<CammerWidgetStation>(w_.cammerWidgets[c], w_);
    return stations_[c].get();
}

bool MainWindowCycleHost::simulatedCameras() const {
    return CameraManager::getInstance()->isSimulated;
}

QTimer* MainWindowCycleHost::timer(int id) const {
    namespace t = detection::timers;
    if (id >= t::FirstInputCheck && id < t::FirstInputCheck + kMaxDetections)
        return w_.inputCheckTimer[id - t::FirstInputCheck];
    if (id >= t::FirstDelay && id < t::FirstDelay + kMaxDetections)
        return w_.timerUp[id - t::FirstDelay];
    switch (id) {
        case t::Run:
            return w_.runTimer;
        case t::InCheck:
            return w_.inCheckTimer;
        case t::Show:
            return w_.showTimer;
        case t::OutNG:
            return w_.outNGTimer;
        case t::NotAllowClose:
            return w_.notAllowCloseTimer;
        case t::NotAllowThimble:
            return w_.notAllowThimbleTimer;
        case t::ReserveOutput:
            return w_.reserveOutputTimer;
        case t::SysFunc4Output:
            return w_.sysFunc4OutputTimer;
        case t::DelayOutput3:
            return w_.delayOutput3Timer;
        case t::ClearNGAlarm:
            return w_.clearNGAlarmTimer;
        case t::Lcd:
            return w_.lcdTimer;
        default:
            return nullptr;
    }
}

void MainWindowCycleHost::startTimer(int id, int ms) {
    QTimer* t = timer(id);
    if (!t) return;
    // Step delays, debounce and output pulses time the machine: a coarse timer may end them
    // up to 5 % early.
    if (id != detection::timers::Run && id != detection::timers::Lcd)
        t->setTimerType(Qt::PreciseTimer);
    t->start(ms);
}

void MainWindowCycleHost::stopTimer(int id) {
    if (QTimer* t = timer(id)) t->stop();
}

bool MainWindowCycleHost::timerActive(int id) const {
    const QTimer* t = timer(id);
    return t && t->isActive();
}

void MainWindowCycleHost::showWarning(const QString& text) {
    if (!gpWarnBox) return;
    gpWarnBox->setText(text);
    gpWarnBox->show();
    gpWarnBox->raise();
}

void MainWindowCycleHost::hideWarning(const QString& text) {
    if (gpWarnBox) gpWarnBox->withdraw(text);
}

void MainWindowCycleHost::showLostCameraBox() {
    w_.askPowerOffAfterCameraLoss();
}

void MainWindowCycleHost::hideLostCameraBox() {
    w_.cameraLossEnded();
}

bool MainWindowCycleHost::productAlarmAsked() const {
    return gpProductAlarmWarnBox && dialogs::isAsking(*gpProductAlarmWarnBox);
}

void MainWindowCycleHost::showProductAlarmBox() {
    if (!gpProductAlarmWarnBox) return;
    // The box asks about the count alarm it is shown for: released meanwhile by another road
    // (and raised again), its Confirm releases nothing.
    detection::DetectionController& cycle = w_.cycle();
    const dialogs::Subject about("the production-count alarm", [&cycle] {
        return dialogs::Subject::Reading{qint64(cycle.countAlarmSerial())};
    });
    dialogs::askWithoutBlocking(*gpProductAlarmWarnBox, about,
                                [&cycle] { cycle.releaseProductAlarm(); });
}

dialogs::Subject MainWindowCycleHost::panelSubject() const {
    return w_.panelSubject();
}

dialogs::Subject MainWindowCycleHost::alarmSubject() const {
    return w_.drawROIWidget ? w_.drawROIWidget->page().subject() : w_.panelSubject();
}

dialogs::Answer MainWindowCycleHost::confirm(const QString& question,
                                             const dialogs::Subject& about) {
    return dialogs::confirm(question, about);
}

int MainWindowCycleHost::checkPassword(const dialogs::Subject& about) {
    return w_.CheckPassword(about);
}

void MainWindowCycleHost::insertRecord(const QString& text) {
    w_.InsertRecord(text);
}

void MainWindowCycleHost::addStatistics(bool afterCycleEnd) {
    w_.AddStatistics(afterCycleEnd);
}

void MainWindowCycleHost::writeCounters() {
    w_.CountWrite();
}

void MainWindowCycleHost::reportStepToMonitor(bool allOk) {
    MON_NETMN::getInstance()->sndDetectOnceInfo(allOk);
}

void MainWindowCycleHost::reportStepToApi(int detect, bool allOk) {
    if (!w_.httpApiServer) return;
    w_.httpApiServer->update_DetectOnceInfo(detect, allOk);
    w_.httpApiServer->pushnode_lastdetect();
}

void MainWindowCycleHost::alarmStarted(int detect) {
    MON_NETMN::getInstance()->sndAlarmStartTiming(detect);
}

void MainWindowCycleHost::alarmClearMethod(int camera, int method) {
    MON_NETMN::getInstance()->addClearMethod(camera, method);
}

void MainWindowCycleHost::alarmLifted() {
    MON_NETMN::getInstance()->setAlarmState(2);
}

void MainWindowCycleHost::alarmFinished() {
    MON_NETMN::getInstance()->sndAlarmFinishTiming();
}

void MainWindowCycleHost::templatesChanged(int camera, int step) {
    CammerWidget* view = camera >= 0 && camera < kMaxCameras ? w_.cammerWidgets[camera] : nullptr;
    if (view) failimage::dropOtherTemplates(view->context, step);
    if (w_.drawROIWidget) w_.drawROIWidget->page().templateStored(camera, step, 0);
    MON_NETMN::getInstance()->syncTempList(
        QJsonObject{{QStringLiteral("camera"), camera}, {QStringLiteral("detect"), step}});
}

void MainWindowCycleHost::resampleRefused(int camera, int step) {
    const CammerWidget* view =
        camera >= 0 && camera < kMaxCameras ? w_.cammerWidgets[camera] : nullptr;
    if (!view) return;
    const auto& counts = view->context.templateCount;
    const int inForce = step >= 0 && size_t(step) < counts.size() ? counts[size_t(step)] : 0;
    const QString text = lang::templateNotResampledText(
        camera + 1, inForce, QDir::cleanPath(failimage::templatePath(view->cameraNo, step, 0)));
    qWarning().noquote() << "resample not done:" << text;
    // Else the record of the press would stand for a resample done.
    insertRecord(text);
    showWarning(text);
}

void MainWindowCycleHost::templatesUpdated(int step, const std::vector<int>& refused) {
    if (w_.drawROIWidget)
        for (int c = 0; c < numCamera && c < kMaxCameras; ++c)
            if (std::find(refused.begin(), refused.end(), c) == refused.end())
                w_.drawROIWidget->page().templateStored(c, step, 0);
    // One report for all cameras: a file written must not take back the refusal of another,
    // and every camera refused is named.
    QStringList files;
    for (int camera : refused.empty() ? std::vector<int>{0} : refused) {
        const CammerWidget* view =
            camera >= 0 && camera < kMaxCameras ? w_.cammerWidgets[camera] : nullptr;
        if (view) files << failimage::templatePath(view->cameraNo, step, 0);
    }
    if (!files.isEmpty()) w_.reportTemplateUpdate(refused.empty(), files);
}

bool MainWindowCycleHost::settingsVisible() const {
    return w_.wizardParaWidget && w_.wizardParaWidget->isVisible();
}

bool MainWindowCycleHost::editingVisible() const {
    return w_.drawROIWidget && w_.drawROIWidget->isVisible();
}

void MainWindowCycleHost::hidePagesForAlarm() {
    if (w_.helpWidget) w_.helpWidget->hide();
    if (w_.wizardParaWidget) w_.wizardParaWidget->hide();
    // The pages opened from the settings screen and the statistics screen are the window's
    // own: left open, they would cover the failed pictures the operator has to answer.
    if (w_.changeCameraWidget) w_.changeCameraWidget->hide();
    if (w_.customIONameWidget) w_.customIONameWidget->hide();
    if (StatisticsWidget::instance) StatisticsWidget::instance->hide();
    if (w_.indexButton) w_.indexButton->hide();
}

void MainWindowCycleHost::showAllCameras() {
    w_.curCamera = numCamera;
    w_.ChangeCammer();
}

void MainWindowCycleHost::editorReset() {
    if (w_.drawROIWidget) w_.drawROIWidget->Reset(false);
}

void MainWindowCycleHost::editorRestart() {
    if (w_.drawROIWidget) w_.drawROIWidget->Restart();
}

dialogs::Answer MainWindowCycleHost::editorSaveData(const dialogs::Subject& about) {
    return w_.drawROIWidget ? w_.drawROIWidget->saveData(about) : dialogs::Answer::Yes;
}

void MainWindowCycleHost::editorSkipCurrent() {
    if (w_.drawROIWidget) w_.drawROIWidget->notCheckcur();
}

void MainWindowCycleHost::editorReCheck() {
    if (w_.drawROIWidget && w_.drawROIWidget->btnReCheck) w_.drawROIWidget->btnReCheck->click();
}

void MainWindowCycleHost::checkArea() {
    w_.CheckArea(false);
}

void MainWindowCycleHost::repaint() {
    w_.update();
}

void MainWindowCycleHost::setDetectingButton(bool detecting) {
    if (w_.indexButton) w_.indexButton->setDetecting(detecting);
}

void MainWindowCycleHost::led(int n, int on) {
    LEDOnOff(n, on);
}

void MainWindowCycleHost::wakeScreen() {
    if (w_.isScreenOff) w_.wakeScreen();
}
