#pragma once
// Tells a double tap from two taps. The program keeps one reference press for all camera views,
// so a tap on one view and the next on another can make a double tap, as on one screen.

#include <QPoint>
#include <QtGlobal>
#include <functional>

namespace cameraview {

class DoubleTapDetector {
public:
    // Milliseconds of a monotonic clock; empty: the process's own.
    using Clock = std::function<qint64()>;
    explicit DoubleTapDetector(Clock clock = {});

    // True when this press follows the previous one within kDoubleTapMs and kDoubleTapPx in
    // both directions. Every press becomes the new reference; the first has none.
    bool press(QPoint p);

private:
    Clock clock_;
    bool hasReference_ = false;
    qint64 lastMs_ = 0;
    QPoint lastPoint_;
};

}  // namespace cameraview
