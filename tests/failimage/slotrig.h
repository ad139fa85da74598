#pragma once
// The process globals of the fail-image slots set up for a test and put back afterwards:
// the mutex, the camera and step counts, picture limits and one NG and one OK slot per camera
// and step, allocated as the main window does (pixel count x 4 bytes).

#include <QImage>
#include <QMutex>
#include <QSize>
#include <QVector>

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
    bool isMarked(int camera, int step, int kind) const;
    int failNumber(int camera, int step) const;
    void setFailNumber(int camera, int step, int number);
    // The slot's content as a picture.
    QImage slotPicture(int camera, int step, int kind) const;

private:
    QVector<QSize> sizes_;
    QMutex* ownMutex_ = nullptr;
};

// Clearly red or green pixels, as the annotations draw them.
bool isRed(QRgb pixel);
bool isGreen(QRgb pixel);
// Pixels of the area (clipped to the picture) that pass the test.
int countPixels(const QImage& picture, const QRect& area, bool (*test)(QRgb));

}  // namespace testrig
