#include "savefialimagethread.h"

void SaveFialImageThread::run() {
    while (!stopping_.loadAcquire()) msleep(kScanPeriodMs);
}
