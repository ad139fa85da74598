#include "controlport.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>

#include "boardport.h"
#include "globals.h"
#include "iothread.h"
#include "wizardpara.h"

namespace {

// The parameters as the IO logic reads them; with no parameters yet everything is plain.
int outputInvert(int n) {
    return gpWPara && n >= 0 && n < params::kLineCount ? gpWPara->outputInvert[n] : 0;
}
int inputInvert(int n) {
    return gpWPara && n >= 0 && n < params::kLineCount ? gpWPara->inputInvert[n] : 0;
}
int output4Use() {
    return gpWPara ? gpWPara->output4Use : 0;
}
int input4Use() {
    return gpWPara ? gpWPara->input4Use : 0;
}
int detectMode() {
    return gpWPara ? gpWPara->detectMode : 0;
}

quint32 bit(int n) {
    return 1u << n;
}
quint8 level(quint32 word, int n) {
    return quint8((word >> n) & 1u);
}

}  // namespace

ControlPort::ControlPort() : port_(std::make_unique<io::BoardPort>()) {
    // The start-up sequence creates the mutex first; a ControlPort made on its own (tools,
    // tests) still needs one before the IO thread exists.
    if (!pMutexIO) pMutexIO = new QMutex;
    gIOID = 1;
    ComInit();
    IOResetAllOut();
    IOFlashOut();
}

ControlPort::~ControlPort() {
    StopIOThread();
    delete ioThread;
    ioThread = nullptr;
    gIOID = 0;
}

void ControlPort::ComInit() {
    port_->openNow(gisCOM);
}

void ControlPort::InitIOThread(QObject* receiver) {
    if (ioThread) {
        qWarning("IO board: the IO thread is already running");
        return;
    }
    ioThread = new IOThread(port_.get());
    if (receiver &&
        !connect(ioThread, SIGNAL(sigIOChange()), receiver, SLOT(Run()), Qt::AutoConnection))
        qWarning() << "IO board: input changes cannot reach" << receiver << "(no slot Run())";
    if (!receiver) qWarning("IO board: no receiver for input changes");
    ioThread->touchHeartbeat();
    ioThread->start(QThread::InheritPriority);
}

void ControlPort::StopIOThread() {
    if (ioThread) ioThread->stopAndWait();
}

void ControlPort::updateThreadProtectTiming() {
    if (ioThread) ioThread->touchHeartbeat();
}

void ControlPort::IOSetOut(int n, int on) {
    if (n < 0 || n >= io::kOutputCount) {
        qWarning() << "IO board: no output" << n;
        return;
    }
    const bool high = (on != 0) != (outputInvert(n) != 0);
    quint32 mask = bit(n);
    const int mirrored = output4Use();
    if (mirrored > 0 && mirrored <= io::kMirrorChoiceCount && n == mirrored - 1)
        mask |= bit(io::kFourthOutput);
    if (high)
        outWord |= mask;
    else
        outWord &= ~mask;
}

void ControlPort::IOResetAllOut() {
    for (int n = 0; n < io::kOutputCount; ++n) IOSetOut(n, 0);
}

void ControlPort::IOFlashOut() {
    {
        QMutexLocker lock(pMutexIO);
        gDataOut = outWord;
    }
    if (outWord != lastPublished) {
        lastPublished = outWord;
        emit sigIOChange();
    }
}

bool ControlPort::IOState(int kind, int n) const {
    if (n < 0 || n > 31) return false;
    if (kind) return level(outWord, n);
    return (level(inWord, n) != 0) != (inputInvert(n) != 0);
}

bool ControlPort::IOInTrigger(int i) {
    if (i < 0 || i >= io::kInputMemoryCount) return false;
    {
        QMutexLocker lock(pMutexIO);
        inWord = gDataIn;
    }
    const int doubled = input4Use();
    if (doubled >= 1 && doubled <= io::kMirrorChoiceCount && level(inWord, io::kFourthInput))
        inWord |= bit(doubled - 1);

    const quint8 now = level(inWord, i);
    const quint8 inverted = inputInvert(i) ? 1 : 0;
    const bool rose = (inPrev[i] ^ inverted) == 0 && (now ^ inverted) == 1;

    applySafetyDoorRule(inPrev[io::kDoorInput]);
    inPrev[i] = now;
    return rose;
}

void ControlPort::applySafetyDoorRule(quint8 previousDoorLevel) {
    const int mode = detectMode();
    if (mode == 1 || mode == 2) return;
    const quint8 inverted = inputInvert(io::kDoorInput) ? 1 : 0;
    const bool wasClosed = (previousDoorLevel ^ inverted) == 1;
    const bool isClosed = (level(inWord, io::kDoorInput) ^ inverted) == 1;
    if (!wasClosed || isClosed) return;
    // The alarm is "on" in the operator's sense, whatever level that means on the terminal.
    const bool alarmOn =
        (level(outWord, io::kAlarmOutput) != 0) != (outputInvert(io::kAlarmOutput) != 0);
    if (alarmOn) IOSetOut(io::kAlarmOutput, 0);
    IOFlashOut();
    gisSafeDoorOpen = true;
}
