#pragma once
#include <QObject>
#include <memory>

#include "iolimits.h"

class IOThread;
namespace io {
class BoardPort;
}

// The GUI thread's side of the IO board: builds the output word bit by bit (with the output
// inversion and the fourth output's mirror), publishes it to the IO thread, reads the input
// word with polarity, reports active edges and applies the safety-door rule. One instance,
// gpControlIO, created by the main window; the IO thread starts with InitIOThread.
class ControlPort : public QObject {
    Q_OBJECT
public:
    // Opens the serial port (gisCOM through the system seam) and sets every output off.
    ControlPort();
    ~ControlPort() override;  // stops the IO thread and closes the port

    // Starts the IO thread; its change signal runs receiver's slot "Run()" queued in the
    // receiver's thread. Called once, after the main window exists.
    void InitIOThread(QObject* receiver);
    // Stops the IO thread and waits for it (before the process ends).
    void StopIOThread();
    // Refreshes the IO thread's heartbeat; called at the end of every detection pass.
    void updateThreadProtectTiming();

    // Output n (0..8) on or off, inverted by outputInvert; not sent before IOFlashOut.
    void IOSetOut(int n, int on);
    void IOResetAllOut();
    // Publishes outWord to the IO thread; emits sigIOChange when it differs from the last one.
    void IOFlashOut();
    // kind non-zero: output bit n as driven; kind 0: input bit n at its active level.
    bool IOState(int kind, int n) const;
    // Whether input i (0..15) has just become active; also applies the safety-door rule.
    bool IOInTrigger(int i);

    quint8 inPrev[io::kInputMemoryCount] = {};  // raw level of each input at its last edge test
    quint32 outWord = 0;                        // wanted output word in physical levels
    quint32 inWord = 0;  // input word of the last edge test (with the fourth input's mirror)
    IOThread* ioThread = nullptr;
    quint32 lastPublished = 0;  // the word last published by IOFlashOut

signals:
    void sigIOChange();

private:
    void ComInit();
    void applySafetyDoorRule(quint8 previousDoorLevel);

    std::unique_ptr<io::BoardPort> port_;
};
