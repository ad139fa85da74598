#include "doubletap.h"

#include <QElapsedTimer>
#include <cstdlib>
#include <memory>

#include "viewlimits.h"

namespace cameraview {

DoubleTapDetector::DoubleTapDetector(Clock clock) : clock_(std::move(clock)) {
    if (clock_) return;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    clock_ = [started] { return started->elapsed(); };
}

bool DoubleTapDetector::press(QPoint p) {
    const qint64 now = clock_();
    const bool twice = hasReference_ && now - lastMs_ < kDoubleTapMs &&
                       std::abs(p.x() - lastPoint_.x()) < kDoubleTapPx &&
                       std::abs(p.y() - lastPoint_.y()) < kDoubleTapPx;
    hasReference_ = true;
    lastMs_ = now;
    lastPoint_ = p;
    return twice;
}

}  // namespace cameraview
