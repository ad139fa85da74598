#include "cameraorder.h"

namespace camera {

QList<_cameraInfo> orderBySerials(const QList<_cameraInfo>& found,
                                  const QVector<QString>& serials) {
    QList<_cameraInfo> ordered;
    QList<_cameraInfo> remaining = found;
    for (const QString& serial : serials) {
        for (int i = remaining.size() - 1; i >= 0; --i) {
            if (remaining.at(i).serialText() == serial) ordered.append(remaining.takeAt(i));
        }
    }
    ordered.append(remaining);
    return ordered;
}

QVector<QString> serialsOf(const QList<_cameraInfo>& cameras) {
    QVector<QString> serials;
    serials.reserve(cameras.size());
    for (const _cameraInfo& info : cameras) serials.append(info.serialText());
    return serials;
}

bool isValidOrder(const QVector<int>& order, int count) {
    QVector<bool> used(qMax(count, 0), false);
    for (int index : order) {
        if (index < 0 || index >= count || used[index]) return false;
        used[index] = true;
    }
    return true;
}

}  // namespace camera
