// Operator commands, privilege gates and the screen timers of the main window. Which command
// needs which level and what it is ignored for is decided in src/panel (privilege.h); the
// detection pass and the result decision are in deraRazovi_cycle.cpp and
// deraRazovi_decision.cpp.
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QSqlError>
#include <QTimer>
#include <QtDebug>
#include <utility>

#include "cameramanager.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "controlport.h"
#include "customionamewidget.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "devicehelpers.h"
#include "drawroiwidget.h"
#include "enginefailimage.h"
#include "floatslider.h"
#include "heartbeatled.h"
#include "helpwidget.h"
#include "indexbutton.h"
#include "iostatuswidget.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "panellimits.h"
#include "passwordbox.h"
#include "settingswindowhost.h"
#include "systemactions.h"
#include "systemcommands.h"
#include "templatefiles.h"
#include "warnbox.h"
#include "widgetchangecamera.h"
#include "wizardpara.h"
#include "wizardparawidget.h"
#include "writefailuretexts.h"
#include "zoomgeometry.h"

namespace {
constexpr int kEntryResampleQuestion = 137;
constexpr int kEntryResampling = 139;
constexpr int kEntryProductNotEnabled = 145;
constexpr int kEntryAllCameras = 585;
constexpr int kEntryCameraNo = 586;
constexpr int kClampOutput = 0;
}  // namespace

// --- privilege ------------------------------------------------------------------------------

panel::PasswordAnswer DeRaRazovi::askPassword(const dialogs::Subject& about) {
    panel::PasswordAnswer answer;
    if (!gpPasswordBox) return answer;
    gpPasswordBox->setCredentials(gpWPara ? gpWPara->passwordText() : QString(),
                                  gpWPara ? gpWPara->serviceCodeText() : QString());
    // Every check reports its level; a box cancelled before any check leaves the level alone.
    const QMetaObject::Connection seen =
        connect(gpPasswordBox, &PasswordBox::sigLoginLevel, this, [&answer](int level) {
            answer.checked = true;
            answer.level = level;
        });
    answer.gone = dialogs::ask(*gpPasswordBox, about) == dialogs::Answer::Gone;
    disconnect(seen);
    return answer;
}

int DeRaRazovi::CheckPassword(const dialogs::Subject& about) {
    return panel::checkPassword(loginLevel, gpWPara && gpWPara->isPswUsed,
                                [this, &about] { return askPassword(about); });
}

bool DeRaRazovi::CheckRoot(const dialogs::Subject& about) {
    return panel::checkRoot(loginLevel, [this, &about] { return askPassword(about); });
}

panel::PanelView DeRaRazovi::panelView() const {
    panel::PanelView view;
    view.settingsOpen = wizardParaWidget && wizardParaWidget->isVisible();
    view.editorOpen = drawROIWidget && drawROIWidget->isVisible();
    view.otherPageOpen = (changeCameraWidget && changeCameraWidget->isVisible()) ||
                         (customIONameWidget && customIONameWidget->isVisible());
    view.alarmShown = resultState == 2;
    view.alarmSerial = cycle_ ? cycle_->alarmSerial() : 0;
    view.editorOpening = drawROIWidget ? drawROIWidget->page().opening() : 0;
    return view;
}

dialogs::Subject DeRaRazovi::panelSubject() const {
    return dialogs::Subject("the panel", [this] { return panel::reading(panelView()); });
}

bool DeRaRazovi::admit(panel::Command command, const dialogs::Subject& about) {
    return panel::admit(command, panelView(), loginLevel, gpWPara && gpWPara->isPswUsed,
                        [this, &about] { return askPassword(about); });
}

bool DeRaRazovi::anyPageOpen() const {
    return panel::isBlocked(panel::kAnyPage, panelView());
}

// --- tool-bar commands ----------------------------------------------------------------------

void DeRaRazovi::SlotSystemPara() {
    if (!admit(panel::Command::SystemPara, panelSubject())) return;
    *gpWParaBak = *gpWPara;
    indexButton->SlotShowHideTimeout();
    wizardParaWidget->show();
    wizardParaWidget->raise();
    showhideMscale(false);
}

void DeRaRazovi::SlotAdjustArea() {
    if (!admit(panel::Command::AdjustArea, panelSubject())) return;
    resultState = 3;
    indexButton->hide();
    ioStatusWidget->hide();
    drawROIWidget->Reset(false);
}

// No sender connects it: the NG records are reached through the editing page's sources.
void DeRaRazovi::SlotShowAlarmImgae() {
    if (panel::isBlocked(panel::kAnyPage | panel::kAlarm, panelView())) return;
    resultState = 3;
    indexButton->hide();
    ioStatusWidget->hide();
    drawROIWidget->Reset(false);
    drawROIWidget->setSource(cameraview::kSourceNgRecords);
}

void DeRaRazovi::CheckArea(bool) {
    if (wizardParaWidget && wizardParaWidget->isVisible()) wizardParaWidget->hide();
    const dialogs::Subject about = panelSubject();
    if (!admit(panel::Command::CheckArea, about)) {
        // Refused: detection goes on instead of waiting for the editor. An alarm that arrived
        // while the password was typed has stopped it and keeps it stopped.
        if (about.holds()) detectState = 1;
        return;
    }
    resultState = 3;
    indexButton->hide();
    drawROIWidget->Reset(false);
    gFromTrain = 1;
}

void DeRaRazovi::SlotReTrain() {
    // The question is modal and the cycle goes on: an alarm raised meanwhile, even one its
    // timer released again, failed on a mould nobody looked at, which the new templates
    // would learn.
    const dialogs::Subject about = panelSubject();
    if (!admit(panel::Command::ReTrain, about)) return;
    if (dialogs::confirm(lan(kEntryResampleQuestion), about) != dialogs::Answer::Yes) return;
    if (panel::isBlocked(panel::kSettingsOrEditor | panel::kAlarm, panelView())) return;

    resultState = 0;
    if (detectState == 3) {
        StartDetect();
        if (gpWPara->cutClampAfterMoldOK && gpWPara->clampPulse >= 1) {
            gpControlIO->IOSetOut(kClampOutput, 1);
            gpControlIO->IOFlashOut();
        }
        LEDOnOff(::kLedDetecting, 1);
    }
    // The templates in force stay until each step's new template 0 is stored (the cycle host):
    // a refused resample keeps every one of them.
    const bool single = numCamera > 0 && curCamera != numCamera;
    const bool separately = gpWPara->camSampleSeparately && single;
    QStringList refused;
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* view = cammerWidgets[c];
        if (!view || (separately && c != curCamera)) continue;
        view->isOK = true;
        for (int d = 0; d < gDNum && d < kMaxDetections; ++d) {
            if (gpWPara->detectEnable[d]) view->reTrainPending[d] = 1;
            if (!failimage::clearIgnorePoints(view->context, d))
                refused << lang::ignorePointsNotClearedText(
                    c + 1, QDir::cleanPath(failimage::ignorePointPath(view->cameraNo, d)));
            std::fill(std::begin(view->context.roiOK[d]), std::end(view->context.roiOK[d]), 1);
        }
    }
    const QString who = separately ? lan(kEntryCameraNo).arg(curCamera + 1) : lan(kEntryAllCameras);
    InsertRecord(who + lan(kEntryResampling));
    for (const QString& text : refused) InsertRecord(text);

    trigKind = 1;
    CameraManager::getInstance()->resetCameraSN();
    // The templates are re-sampled all the same; only the stored camera order is stale.
    if (!CameraManager::getInstance()->saveCameraSN())
        qWarning() << "re-sampling: the camera order could not be stored";
    update();
    if (refused.isEmpty()) return;
    // Without blocking, as the cycle tells a template it could not write: the samples are
    // taken meanwhile.
    qWarning().noquote() << "resample not done:" << refused.join(QStringLiteral("; "));
    gpWarnBox->setText(refused.join(QLatin1Char('\n')));
    gpWarnBox->show();
}

void DeRaRazovi::SlotManualTrig(int step) {
    const dialogs::Subject about = panelSubject();
    if (!admit(panel::Command::ManualTrig, about)) return;
    if (step == 0 && !gpWPara->detectProdEnable) {
        dialogs::notify(lan(kEntryProductNotEnabled), about);
        return;
    }
    manualStep = step;
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* view = cammerWidgets[c];
        if (!view) continue;
        for (int d = 0; d < gDNum && d < kMaxDetections; ++d) view->detectDone[d] = 0;
        view->ManualUpdateImage();
    }
}

void DeRaRazovi::SlotMuliManualTrig() {
    SlotManualTrig(indexButton->CurChooseTrig());
}

void DeRaRazovi::SlotReturn() {
    if (!admit(panel::Command::Return, panelSubject())) return;
    if (numCamera != 1) {
        curCamera = numCamera;
        ChangeCammer();
    } else {
        curCamera = 0;
        zoomX = zoomY = 0;
        zoomScale = 1.0f;
    }
}

void DeRaRazovi::SlotHelp() {
    helpWidget->show();
    helpWidget->raise();
}

// --- zoom -----------------------------------------------------------------------------------

void DeRaRazovi::MScale(float value) {
    // The image point under the last touch keeps its place on the screen.
    QSize imageSize(gShowW, gShowH);
    if (curCamera >= 0 && curCamera < numCamera && cammerWidgets[curCamera])
        imageSize = QSize(cammerWidgets[curCamera]->imageW, cammerWidgets[curCamera]->imageH);
    const QPointF anchor =
        panel::displayOfImage(QPoint(cursorImageX, cursorImageY), imageSize, QSize(gShowW, gShowH));
    const panel::ZoomView zoomed = zoomAnchor_.zoom({zoomX, zoomY, zoomScale}, anchor, value);
    zoomX = zoomed.x;
    zoomY = zoomed.y;
    zoomScale = zoomed.scale;
    update();
}

void DeRaRazovi::updateMScale(int x, int y) {
    if (zoomScale <= 1.0f) return;
    const panel::ZoomView moved =
        panel::pan({zoomX, zoomY, zoomScale}, QPoint(x - lastPressX, y - lastPressY));
    zoomX = moved.x;
    zoomY = moved.y;
    lastPressX = x;
    lastPressY = y;
    update();
    if (zoomSlider) zoomSlider->startTimer();
}

void DeRaRazovi::MScaleSetToMin() {
    zoomSlider->setToMinValue();
}

void DeRaRazovi::showhideMscale() {
    if (!zoomSlider) return;
    zoomSlider->setVisible(!(numCamera != 1 && curCamera == numCamera));
}

void DeRaRazovi::showhideMscale(bool on) {
    if (zoomSlider) zoomSlider->setVisible(on);
}

void DeRaRazovi::showhideHelp(bool on) {
    if (helpButton) helpButton->setVisible(on);
}

void DeRaRazovi::showhideVersion(bool on) {
    if (versionLabel) versionLabel->setVisible(on);
    if (modeLabel) modeLabel->setVisible(on);
}

// --- screen timers --------------------------------------------------------------------------

void DeRaRazovi::SlotFPS() {
    LEDOnOff(panel::kHeartbeatLed, heartbeat_.tick(detectState != 3));
    update();
}

void DeRaRazovi::SlotDrawHint() {
    drawHintTimer->stop();
    gDrawHint = 0;
    update();
}

void DeRaRazovi::TimerLCD() {
    lcdTimer->stop();
    LCDOnOff(0);
    isScreenOff = 1;
}

void DeRaRazovi::wakeScreen() {
    LCDOnOff(1);
    isScreenOff = 0;
    if (gpWPara && gpWPara->screenOffTime > 0) lcdTimer->start(gpWPara->screenOffTime * 1000);
}

void DeRaRazovi::TimerLogout() {
    logoutTimer->stop();
    loginLevel = Unlogged;
}

void DeRaRazovi::TimerTempe() {
    if (++tempeCount == 3) tempeTimer->start(3600000);
}

void DeRaRazovi::TimerTempe1() {
    tempe1Timer->stop();
}

void DeRaRazovi::CheckTemp() {
    if (!gisTempAlarm) return;
    gpControlIO->IOSetOut(2, 1);
    gpControlIO->IOFlashOut();
    resetAlarmTimer->start(1000);
}

void DeRaRazovi::SlotResetAlarm() {
    if (resultState != 2) {
        gpControlIO->IOSetOut(2, 0);
        gpControlIO->IOFlashOut();
    }
    resetAlarmTimer->stop();
}

void DeRaRazovi::CheckInputFromTimer(int i) {
    inputCheckTimer[i]->stop();
    CheckInput(i);
}

void DeRaRazovi::FLushAll() {
    // Every caller restarts the panel or powers it off next.
    SaveStatisticsBeforeStop();
    // Records and counts that waited for the disk, and counts of a cycle not yet ended, get
    // their last try before the files close.
    SlotCheckDate();
    saveUnsavedCounters();
    for (auto [db, flushed] :
         {std::pair(&recordDb, &recordDbFlushed_), std::pair(&paramDb, &paramDbFlushed_)}) {
        if (!db->isOpen()) continue;
        db->close();
        *flushed = true;
    }
    sys::actions().sleepMs(panel::kFlushSettleMs);
}

void DeRaRazovi::reopenFlushedDatabases() {
    for (auto [db, flushed] :
         {std::pair(&recordDb, &recordDbFlushed_), std::pair(&paramDb, &paramDbFlushed_)}) {
        // The record log may have opened its file again by itself for a record.
        if (!*flushed) continue;
        if (db->isOpen() || db->open())
            *flushed = false;
        else
            qCritical().noquote() << "the database" << db->databaseName()
                                  << "does not open again:" << db->lastError().text();
    }
}

void DeRaRazovi::HandPanelToSystem(const QString& program) {
    // Not asked on any screen: a refusal is told whatever is shown.
    settings::handOverToSystem(*settingsHost_, program, false, dialogs::Subject::program());
}

// --- the window's own events ----------------------------------------------------------------

bool DeRaRazovi::eventFilter(QObject* object, QEvent* event) {
    if (object == this && event->type() == QEvent::MouseButtonPress) {
        // A press anywhere else ends the typing on a keypad.
        if (gpNumPad && gpNumPad->isVisible() && object != gpNumPad) gpNumPad->hide();
        if (gpNumCharPad && gpNumCharPad->isVisible() && object != gpNumCharPad)
            gpNumCharPad->hide();
    }
    return QWidget::eventFilter(object, event);
}

void DeRaRazovi::mouseReleaseEvent(QMouseEvent* event) {
    // Taking the focus ends editing in any edit field; its focus-out hides the keypads.
    setFocus(Qt::OtherFocusReason);
    QWidget::mouseReleaseEvent(event);
}
