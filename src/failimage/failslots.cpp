#include "failslots.h"

#include <QMutexLocker>
#include <QtDebug>
#include <cstring>

#include "failimagelimits.h"
#include "globals.h"

namespace failimage {

namespace {

qsizetype pictureBytes(QSize size) {
    return qsizetype(size.width()) * size.height() * kBytesPerPixel;
}

}  // namespace

int slotIndex(int camera, int step, int kind) {
    if (camera < 0 || camera >= kCameras || step < 0 || step >= kSteps || kind < 0 ||
        kind >= kKinds)
        return -1;
    return (camera * kSteps + step) * kKinds + kind;
}

int stepIndex(int camera, int step) {
    if (camera < 0 || camera >= kCameras || step < 0 || step >= kSteps) return -1;
    return camera * kSteps + step;
}

bool storePicture(int camera, int step, int kind, const QImage& picture, int firstFailedArea) {
    const int slot = slotIndex(camera, step, kind);
    if (slot < 0 || picture.isNull() || !pMutexSaveFail) return false;
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    // RGB32 rows are always 4-byte multiples, so the picture's bits are one packed block.
    const qsizetype bytes = pictureBytes(rgb.size());
    QMutexLocker lock(pMutexSaveFail);
    if (!gpFailImage[slot]) return false;
    const int pending = stepIndex(camera, step);
    if (firstFailedArea >= 0 && gFailIndex[pending] == 0) gFailIndex[pending] = firstFailedArea + 1;
    std::memcpy(gpFailImage[slot], rgb.constBits(), size_t(bytes));
    return true;
}

QImage loadPicture(int camera, int step, int kind, QSize frameSize) {
    const int slot = slotIndex(camera, step, kind);
    if (slot < 0 || frameSize.isEmpty() || !pMutexSaveFail) return QImage();
    QImage picture(frameSize, QImage::Format_RGB32);
    if (picture.isNull()) return picture;
    QMutexLocker lock(pMutexSaveFail);
    if (!gpFailImage[slot]) return QImage();
    std::memcpy(picture.bits(), gpFailImage[slot], size_t(pictureBytes(frameSize)));
    return picture;
}

bool saveFailPicture(int camera, int step, int kind, const FrameView& frame,
                     const FailPictureSpec& spec) {
    if (slotIndex(camera, step, kind) < 0) return false;
    const QImage picture = renderFailPicture(frame, spec);
    if (picture.isNull()) {
        qWarning() << "fail picture of camera" << camera + 1 << "step" << step + 1
                   << "not rendered: no frame";
        return false;
    }
    return storePicture(camera, step, kind, picture, spec.firstFailedArea());
}

bool updateFailPicture(int camera, int step, int kind, QSize frameSize, int* state) {
    if (!state) return false;
    const HandlingStep next = handlingStep(*state);
    if (!next.drawsText()) return slotIndex(camera, step, kind) >= 0;
    // The handling state moves on even when the picture cannot be annotated: the result
    // decision waits for the next state to hand the picture to the saver.
    *state = next.nextState;
    QImage picture = loadPicture(camera, step, kind, frameSize);
    if (!picture.isNull()) {
        drawHandlingText(picture, handlingText(next));
        if (storePicture(camera, step, kind, picture, -1)) return true;
    }
    qWarning() << "alarm handling not written on the picture of camera" << camera + 1 << "step"
               << step + 1 << ": no picture slot";
    return false;
}

}  // namespace failimage
