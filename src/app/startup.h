#pragma once
#include <QPair>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

#include "stopsignals.h"

class QApplication;

// True when the panel runs in its deployed Qt environment, i.e. QT_QPA_PLATFORM_PLUGIN_PATH
// names the deployed platform plug-in folder; the network and camera waits are then skipped.
bool isOpen_Env();

// The start-up sequence of the program, up to the shown main window. Split from the event
// loop so that tests can run it.
class StartupSequence {
public:
    // Steps before the application object exists (kernel version, meta types, I/O privilege,
    // LED device, writes to closed connections).
    static void prepareProcess();
    // Everything from the splash screen to the shown main window; the application object
    // must exist. A stop signal ends it early, after the waits or once the main window is made.
    // True when the start went through to the shown window.
    bool run();
    // Closes the splash and, when the start went through and no stop came, sends the desktop
    // notice that the monitor started.
    void finish();

    // Called as soon as the main window is made: the start's last steps already let the cycle
    // run (the splash waits for the window in an event loop of its own).
    std::function<void()> onWindowMade;

    // The splash steps shown, in order (percent, text); for tests and the log.
    const QVector<QPair<int, QString>>& splashSteps() const { return steps_; }
    // SIGTERM or SIGINT came already (also one not yet seen by an event loop); the event loop
    // must not start.
    bool stopRequested();

private:
    bool endedByStop(const char* when);
    void step(int percent, const QString& text);
    void waitForNetworkAndCameras();
    void loadPixmaps();

    QVector<QPair<int, QString>> steps_;
    std::unique_ptr<StopSignals> stopSignals_;
    bool started_ = false;
};

// What every end of the program does while the window is still there: the worker threads stop,
// the statistics get their bounded save and the records and counts that wait for the disk a
// last try.
void stopBeforeWindowGoes();

// The whole program: start-up, then the Qt event loop.
int runApplication(int argc, char** argv);
