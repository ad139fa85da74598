#pragma once
// The stable camera order: cameras are numbered by the serial numbers stored at the last
// confirmed count change, retrain or camera-order choice, so that camera n stays camera n
// across restarts whatever order the plug-ins find them in.

#include <QList>
#include <QString>
#include <QVector>

#include "camerainterface.h"

namespace camera {

// For each stored serial in order, every found camera with exactly that serial (the later-found
// one first); then the cameras no stored serial names, in the order they were found. A stored
// serial that matches nothing leaves no hole.
QList<_cameraInfo> orderBySerials(const QList<_cameraInfo>& found, const QVector<QString>& serials);

// The serial numbers of the cameras, in list order.
QVector<QString> serialsOf(const QList<_cameraInfo>& cameras);

// True when order names each of `count` positions at most once and nothing else.
bool isValidOrder(const QVector<int>& order, int count);

}  // namespace camera
