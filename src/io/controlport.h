#pragma once
#include <QObject>

// Placeholder of the IO board facade until the serial link is built: keeps the output word
// and publishes it to gDataOut, reads no inputs.
class ControlPort : public QObject {
    Q_OBJECT
public:
    ControlPort();
    void InitIOThread();
    void updateThreadProtectTiming() {}
    void IOSetOut(int n, int on);
    void IOResetAllOut();
    void IOFlashOut();
    bool IOState(int kind, int n) const;
    bool IOInTrigger(int) { return false; }

    quint32 outWord = 0;
    quint32 inWord = 0;

signals:
    void sigIOChange();
};
