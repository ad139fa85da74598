// Operator commands, privilege gates and the screen timers of the main window. The detection
// pass and the result decision are in deraRazovi_cycle.cpp and deraRazovi_decision.cpp.
#include <QTimer>

#include "cammerwidget.h"
#include "controlport.h"
#include "deraRazovi.h"
#include "devicehelpers.h"
#include "drawroiwidget.h"
#include "floatslider.h"
#include "helpwidget.h"
#include "indexbutton.h"
#include "iostatuswidget.h"
#include "passwordbox.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

int DeRaRazovi::CheckPassword() {
    if (!gpWPara || gpWPara->isPswUsed == 0) return Advanced;
    if (loginLevel != Unlogged) return loginLevel;
    gpPasswordBox->setCredentials(gpWPara->passwordText(), gpWPara->serviceCodeText());
    gpPasswordBox->exec();
    loginLevel = gpPasswordBox->loginLevel();
    return loginLevel;
}

bool DeRaRazovi::CheckRoot() {
    if (loginLevel == Advanced) return true;
    gpPasswordBox->setCredentials(gpWPara ? gpWPara->passwordText() : QString(),
                                  gpWPara ? gpWPara->serviceCodeText() : QString());
    gpPasswordBox->exec();
    const int level = gpPasswordBox->loginLevel();
    if (level != Unlogged) loginLevel = level;
    return loginLevel == Advanced;
}

void DeRaRazovi::SlotSystemPara() {
    if (anyPageOpen()) return;
    if (loginLevel == Advanced) loginLevel = gpWPara->isPswUsed ? Primary : Unlogged;
    if (CheckPassword() == 0 || resultState == 2) return;
    *gpWParaBak = *gpWPara;
    indexButton->SlotShowHideTimeout();
    wizardParaWidget->show();
    wizardParaWidget->raise();
    zoomSlider->hide();
}

void DeRaRazovi::SlotReturn() {
    if (wizardParaWidget->isVisible() || drawROIWidget->isVisible()) return;
    if (numCamera != 1) {
        curCamera = numCamera;
        ChangeCammer();
    } else {
        curCamera = 0;
        zoomX = zoomY = 0;
        zoomScale = 1.0f;
    }
}

void DeRaRazovi::SlotAdjustArea() {
    if (anyPageOpen() || resultState == 2 || CheckPassword() == 0) return;
    resultState = 3;
    indexButton->hide();
    ioStatusWidget->hide();
    drawROIWidget->Reset(false);
}

void DeRaRazovi::SlotHelp() {
    helpWidget->show();
    helpWidget->raise();
}

void DeRaRazovi::SlotMuliManualTrig() {
    SlotManualTrig(indexButton->CurChooseTrig());
}

void DeRaRazovi::MScale(float value) {
    zoomScale = value;
    if (value <= 1.0f) zoomX = zoomY = 0;
    update();
}

void DeRaRazovi::MScaleSetToMin() {
    zoomSlider->setToMinValue();
}

void DeRaRazovi::TimerLCD() {
    LCDOnOff(0);
    isScreenOff = 1;
    lcdTimer->stop();
}

void DeRaRazovi::wakeScreen() {
    LCDOnOff(1);
    isScreenOff = 0;
    if (gpWPara && gpWPara->screenOffTime > 0) lcdTimer->start(gpWPara->screenOffTime * 1000);
}

void DeRaRazovi::TimerLogout() {
    loginLevel = Unlogged;
    logoutTimer->stop();
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
    if (recordDb.isOpen()) recordDb.close();
    if (paramDb.isOpen()) paramDb.close();
}

// Slots of the editing page's commands; they take effect with the page.
void DeRaRazovi::SlotDrawHint() {
    drawHintTimer->stop();
}
void DeRaRazovi::SlotShowAlarmImgae() {}
void DeRaRazovi::SlotReTrain() {}
void DeRaRazovi::SlotManualTrig(int) {}
void DeRaRazovi::SlotFPS() {}
void DeRaRazovi::CheckArea(bool) {}
