#include "settingswindowhost.h"

#include "cammerwidget.h"
#include "choosebox.h"
#include "customionamewidget.h"
#include "deraRazovi.h"
#include "httpapiserver.h"
#include "mapplication.h"
#include "mon_netmn.h"
#include "operationlog.h"
#include "resstatisticsparam.h"
#include "warnbox.h"
#include "widgetchangecamera.h"

bool MainWindowSettingsHost::checkRoot() {
    return w_.CheckRoot();
}

void MainWindowSettingsHost::warn(const QString& text) {
    gpWarnBox->setText(text);
    gpWarnBox->exec();
}

bool MainWindowSettingsHost::ask(const QString& text) {
    gpChooseBox->setText(text);
    return gpChooseBox->exec() == QDialog::Accepted;
}

void MainWindowSettingsHost::insertRecord(const QString& text) {
    w_.InsertRecord(text);
}

int MainWindowSettingsHost::cameraCount() const {
    return numCamera;
}

void MainWindowSettingsHost::applyCamera(int camera, settings::CameraSetting setting) {
    if (camera < 0 || camera >= numCamera || camera >= kMaxCameras) return;
    CammerWidget* view = w_.cammerWidgets[camera];
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

void MainWindowSettingsHost::showhideMscale() {
    w_.showhideMscale();
}

void MainWindowSettingsHost::clearRecord() {
    w_.ClearRecord();
}

QSqlDatabase MainWindowSettingsHost::recordDatabase() {
    return QSqlDatabase::database(QLatin1String(OperationLog::kConnectionName), false);
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
