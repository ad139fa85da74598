#pragma once
// The process globals of the fail-image slots set up for a test and put back afterwards:
// the mutex, the camera and step counts, picture limits and one NG and one OK slot per camera
// and step, allocated as the main window does (pixel count x 4 bytes).

#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QSize>
#include <QVector>

#include "failslots.h"
#include "globals.h"

namespace testrig {

class SlotRig {
public:
    // cameras[i] is the frame size of camera i.
    SlotRig(const QVector<QSize>& cameras, int steps);
    ~SlotRig();
    SlotRig(const SlotRig&) = delete;
    SlotRig& operator=(const SlotRig&) = delete;

    // Fills a slot with one colour and marks it for saving (as the result decision does).
    void fillAndMark(int camera, int step, int kind, QRgb color);
    bool isMarked(int camera, int step, int kind) const {
        QMutexLocker lock(pMutexSaveFail);
        return gisSaveFail[failimage::slotIndex(camera, step, kind)];
    }
    int failNumber(int camera, int step) const {
        QMutexLocker lock(pMutexSaveFail);
        return gFailIndex[failimage::stepIndex(camera, step)];
    }
    void setFailNumber(int camera, int step, int number) {
        QMutexLocker lock(pMutexSaveFail);
        gFailIndex[failimage::stepIndex(camera, step)] = number;
    }
    // The slot's content as a picture.
    QImage slotPicture(int camera, int step, int kind) const {
        return failimage::loadPicture(camera, step, kind, sizes_.value(camera));
    }

private:
    QVector<QSize> sizes_;
    QMutex* ownMutex_ = nullptr;
};

// Clearly red or green pixels, as the annotations draw them.
inline bool isRed(QRgb p) {
    return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}
inline bool isGreen(QRgb p) {
    return qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60;
}
// Pixels of the area (clipped to the picture) that pass the test.
int countPixels(const QImage& picture, const QRect& area, bool (*test)(QRgb));

}  // namespace testrig
