#pragma once
#include <QAtomicInt>
#include <QThread>

// Saves the pending fail and OK pictures of the detection cycle to their folders. Until the
// saver is built the thread only scans its period and can be stopped.
class SaveFialImageThread : public QThread {
    Q_OBJECT
public:
    static constexpr int kScanPeriodMs = 100;
    void stop() { stopping_.storeRelease(1); }

protected:
    void run() override;

private:
    QAtomicInt stopping_{0};
};
