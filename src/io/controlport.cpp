#include "controlport.h"

#include <QMutexLocker>

#include "globals.h"

ControlPort::ControlPort() {
    gIOID = 1;
    IOResetAllOut();
    IOFlashOut();
}

void ControlPort::InitIOThread() {}

void ControlPort::IOSetOut(int n, int on) {
    if (n < 0 || n > 8) return;
    if (on)
        outWord |= 1u << n;
    else
        outWord &= ~(1u << n);
}

void ControlPort::IOResetAllOut() {
    for (int n = 0; n <= 8; ++n) IOSetOut(n, 0);
}

void ControlPort::IOFlashOut() {
    static quint32 lastPublished = 0;
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
    return ((kind ? outWord : inWord) >> n) & 1u;
}
