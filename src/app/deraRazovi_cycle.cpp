// The detection pass of the main window: every slot hands over to the detection controller,
// which works on the window's cycle state through the window as its host.
#include "cyclewindowhost.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"

detection::DetectionController& DeRaRazovi::cycle() {
    if (!cycle_) {
        cycleHost_ = std::make_shared<MainWindowCycleHost>(*this);
        cycle_ = std::make_shared<detection::DetectionController>(*cycleHost_, *this);
    }
    return *cycle_;
}

void DeRaRazovi::Run() {
    // Input changes may arrive before the window is complete; the first pass is its own timer.
    if (!gpControlIO || !gpWPara || !runTimer) return;
    cycle().run();
}

void DeRaRazovi::TimerUp(int position) {
    cycle().timerUp(position);
}

void DeRaRazovi::RunAlgorithm(int camera, int detect) {
    cycle().runAlgorithm(camera, detect);
}

void DeRaRazovi::ReCheck() {
    cycle().reCheck();
}

void DeRaRazovi::CheckInput(int i) {
    cycle().checkInput(i);
}
