#pragma once
// Time stamps of the message core come from the system seam, so tests can move the clock
// (task ages, sweeps) without waiting.

#include <QDateTime>

#include "systemactions.h"

namespace netcore {

inline qint64 nowMs() {
    return sys::actions().nowMSecsSinceEpoch();
}
inline QDateTime nowLocal() {
    return sys::actions().now();
}

}  // namespace netcore
