#pragma once
// The operation records a save of edited areas writes: one per added, deleted or changed area
// of a detection, composed in the current language, and whether the edit moves the position
// or registration models (they must then be rebuilt before the matchers are trained).

#include <QStringList>

class CammerSingleton;

namespace cameraview {

struct DetectionChanges {
    QStringList records;  // each: the detection's label and the text of one area
    bool rebuild = false;
};

// The changes of detection g of camera `camera` (0-based) from `live` to `edited`.
DetectionChanges describeChanges(const CammerSingleton& live, const CammerSingleton& edited,
                                 int camera, int g, int detectMode);

}  // namespace cameraview
