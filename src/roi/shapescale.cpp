#include "shapescale.h"

#include <QtDebug>

namespace roi {

bool acceptScale(float x, float y, float* scaleX, float* scaleY) {
    if (!isUsableScale(x) || !isUsableScale(y)) {
        qWarning() << "ROI display scale refused:" << x << y;
        return false;
    }
    *scaleX = x;
    *scaleY = y;
    return true;
}

}  // namespace roi
