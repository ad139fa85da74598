#include "settingswindowhost.h"

#include <QCoreApplication>
#include <QTimer>

#include "cammerrecong.h"
#include "cammerwidget.h"
#include "customionamewidget.h"
#include "deraRazovi.h"
#include "detectionlimits.h"
#include "devicehelpers.h"
#include "httpapiserver.h"
#include "indexbutton.h"
#include "mapplication.h"
#include "mon_netmn.h"
#include "operationlog.h"
#include "question.h"
#include "resstatisticsparam.h"
#include "systemactions.h"
#include "widgetchangecamera.h"
#include "wizardpara.h"

bool MainWindowSettingsHost::checkRoot(const dialogs::Subject& about) {
    return w_.CheckRoot(about);
}

dialogs::Answer MainWindowSettingsHost::warn(const QString& text, const dialogs::Subject& about) {
    return dialogs::notify(text, about);
}

dialogs::Answer MainWindowSettingsHost::ask(const QString& text, const dialogs::Subject& about) {
    return dialogs::confirm(text, about);
}

void MainWindowSettingsHost::insertRecord(const QString& text) {
    w_.InsertRecord(text);
}

int MainWindowSettingsHost::cameraCount() const {
    return numCamera;
}

CammerWidget* MainWindowSettingsHost::view(int camera) const {
    if (camera < 0 || camera >= numCamera || camera >= kMaxCameras) return nullptr;
    return w_.cammerWidgets[camera];
}

void MainWindowSettingsHost::applyCamera(int camera, settings::CameraSetting setting) {
    CammerWidget* view = this->view(camera);
    if (!view) return;
    using S = settings::CameraSetting;
    switch (setting) {
        case S::Exposure:
            view->SetExposeTime();
            break;
        case S::Gain:
            view->SetAdjustPlus();
            break;
        case S::Sharpness:
            view->SetSharp();
            break;
        case S::Contrast:
            view->SetContrast();
            break;
        case S::Gamma:
            view->SetGamma();
            break;
        case S::WDR:
            view->SetWDR();
            break;
        case S::HMirror:
            view->SetHMirror();
            break;
        case S::VMirror:
            view->SetVMirror();
            break;
    }
}

void MainWindowSettingsHost::cameraSetSpeed() {
    w_.CameraSetSpeed();
}

void MainWindowSettingsHost::cameraChangeTrig(int camera, bool on) {
    if (CammerWidget* v = view(camera)) v->CameraChangeTrig(on);
}

void MainWindowSettingsHost::restoreDefaultSettings(int camera) {
    if (CammerWidget* v = view(camera)) v->RestoreDefaultSettings();
}

void MainWindowSettingsHost::cameraStop(int camera) {
    if (CammerWidget* v = view(camera)) v->CameraStop();
}

void MainWindowSettingsHost::cameraClose(int camera) {
    if (CammerWidget* v = view(camera)) v->CameraClose();
}

void MainWindowSettingsHost::retrainEngines() {
    for (int c = 0; c < numCamera && c < kMaxCameras; ++c) {
        CammerWidget* v = view(c);
        if (!v || !v->recong) continue;
        for (int d = 0; d < gDNum && d < kMaxDetections; ++d) {
            if (!gpWPara->detectEnable[d]) continue;
            v->recong->CreateShape(d);
            v->recong->CreateHomoShape(d);
            v->recong->VarTrain(d);
        }
    }
}

void MainWindowSettingsHost::takeStoredCameraData() {
    w_.takeStoredCameraData();
}

bool MainWindowSettingsHost::saveAllImages() const {
    return w_.saveAllImages != 0;
}

void MainWindowSettingsHost::setSaveAllImages(bool on) {
    w_.saveAllImages = on ? 1 : 0;
}

void MainWindowSettingsHost::setStatisticsButtonVisible(bool visible) {
    if (w_.indexButton) w_.indexButton->setStatisticsVisible(visible);
}

void MainWindowSettingsHost::saveStatisticsBeforeStop() {
    w_.SaveStatisticsBeforeStop();
}

void MainWindowSettingsHost::stopWatchdog() {
    StopWTD();
}

bool MainWindowSettingsHost::stopDetection() {
    const bool running = w_.detectState != detection::kDetectStopped;
    // Detection that an NG alarm stopped keeps the alarm's outputs: a panel that stays up must
    // not release the clamp under a shown alarm.
    if (running) w_.StopDetect();
    // No pass grabs from a camera that is closing or counts into a database that is closed.
    w_.runTimer->stop();
    return running;
}

void MainWindowSettingsHost::resumeAfterStop(bool detectionWasRunning) {
    w_.reopenFlushedDatabases();
    gisRunWTD = 1;
    if (detectionWasRunning) w_.StartDetect();
    w_.runTimer->start();
}

void MainWindowSettingsHost::endProgram(int status) {
    dialogs::stopAll();
    QCoreApplication::exit(status);
}

void MainWindowSettingsHost::showhideMscale() {
    w_.showhideMscale();
}

bool MainWindowSettingsHost::clearRecord(const RecordListing& listed) {
    return w_.ClearRecord(listed);
}

RecordListing MainWindowSettingsHost::todaysRecords() {
    const QDate today = sys::actions().now().date();
    return {today, w_.RecordLog().recordsOf(today)};
}

void MainWindowSettingsHost::flushAll() {
    w_.FLushAll();
}

void MainWindowSettingsHost::showCameraOrder() {
    w_.changeCameraWidget->show();
    w_.changeCameraWidget->raise();
}

void MainWindowSettingsHost::showIONames() {
    w_.customIONameWidget->show();
    w_.customIONameWidget->raise();
}

void MainWindowSettingsHost::setStatisticsTimer(bool on) {
    if (gpResStatisticsParam) gpResStatisticsParam->setTimer(on);
}

void MainWindowSettingsHost::checkCameraDetectCount(int n) {
    if (gpResStatisticsParam) gpResStatisticsParam->checkCameraDetectCount(n);
}

void MainWindowSettingsHost::updateLocalBaseInfo() {
    if (w_.httpApiServer) w_.httpApiServer->updateLocalBaseInfo();
}

MON_NETMN* MainWindowSettingsHost::monitorLink() {
    return MON_NETMN::getInstance();
}

void MainWindowSettingsHost::stopCalibrationHold() {
    if (MApplication::_instance) MApplication::_instance->manualStopTscTimeup();
}
