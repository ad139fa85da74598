// The result decision of the main window: outputs and pulses, start and stop of detection,
// alarm clearing, the return from retraining, the no-input alarm and the end of the OK
// display, all handed over to the detection controller.
#include "deraRazovi.h"
#include "detectioncontroller.h"

void DeRaRazovi::CheckNG(bool isClearNG) {
    cycle().checkNG(isClearNG);
}

void DeRaRazovi::StartDetect() {
    cycle().startDetect();
}

void DeRaRazovi::StopDetect() {
    cycle().stopDetect();
}

void DeRaRazovi::SetStopDetect() {
    cycle().setStopDetect();
}

void DeRaRazovi::ResetRun() {
    cycle().resetRun();
}

void DeRaRazovi::SlotStartStop() {
    cycle().startStop();
}

void DeRaRazovi::SlotClearNGAlarm() {
    cycle().clearNGAlarm();
}

void DeRaRazovi::BackTrain() {
    cycle().backTrain();
}

void DeRaRazovi::InCheck() {
    cycle().inCheck();
}

void DeRaRazovi::TimerShow() {
    cycle().timerShow();
}

void DeRaRazovi::OutTimerOutNG() {
    cycle().pulseEnded(detection::PulseTimer::OutNG);
}

void DeRaRazovi::OutTimerNotAllowClose() {
    cycle().pulseEnded(detection::PulseTimer::NotAllowClose);
}

void DeRaRazovi::OutTimerNotAllowThimble() {
    cycle().pulseEnded(detection::PulseTimer::NotAllowThimble);
}

void DeRaRazovi::OutTimerSysFunc4Output() {
    cycle().delayedOutputDue();
}

void DeRaRazovi::OutTimerReserveOutput() {
    cycle().reserveOutputEnded();
}

void DeRaRazovi::SlotTimerDelayOutput3() {
    cycle().delayOutput3Due();
}
