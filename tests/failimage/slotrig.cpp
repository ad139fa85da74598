#include "slotrig.h"

#include <QMutexLocker>
#include <cstdlib>
#include <cstring>

#include "failslots.h"
#include "globals.h"

namespace testrig {

SlotRig::SlotRig(const QVector<QSize>& cameras, int steps) : sizes_(cameras) {
    if (!pMutexSaveFail) pMutexSaveFail = ownMutex_ = new QMutex;
    QMutexLocker lock(pMutexSaveFail);
    numCamera = cameras.size();
    gDNum = steps;
    gPicNumNG = 10;
    gPicNumOK = 10;
    std::fill(std::begin(gisSaveFail), std::end(gisSaveFail), false);
    std::fill(std::begin(gFailIndex), std::end(gFailIndex), 0);
    for (int c = 0; c < cameras.size(); ++c) {
        const size_t bytes = size_t(cameras[c].width()) * size_t(cameras[c].height()) * 4;
        for (int d = 0; d < kMaxDetections; ++d)
            for (int k = 0; k < 2; ++k)
                gpFailImage[failimage::slotIndex(c, d, k)] = std::calloc(bytes, 1);
    }
}

SlotRig::~SlotRig() {
    {
        QMutexLocker lock(pMutexSaveFail);
        for (void*& slot : gpFailImage) {
            std::free(slot);
            slot = nullptr;
        }
        std::fill(std::begin(gisSaveFail), std::end(gisSaveFail), false);
        std::fill(std::begin(gFailIndex), std::end(gFailIndex), 0);
        numCamera = 0;
        gDNum = 0;
        gPicNumNG = 0;
        gPicNumOK = 0;
    }
    if (ownMutex_) {
        pMutexSaveFail = nullptr;
        delete ownMutex_;
    }
}

void SlotRig::fillAndMark(int camera, int step, int kind, QRgb color) {
    QMutexLocker lock(pMutexSaveFail);
    const int slot = failimage::slotIndex(camera, step, kind);
    QRgb* pixels = static_cast<QRgb*>(gpFailImage[slot]);
    const QSize size = sizes_.value(camera);
    std::fill(pixels, pixels + size.width() * size.height(), color);
    gisSaveFail[slot] = true;
}

int countPixels(const QImage& picture, const QRect& area, bool (*test)(QRgb)) {
    int n = 0;
    const QRect r = area.intersected(picture.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += test(picture.pixel(x, y));
    return n;
}

}  // namespace testrig
