#pragma once
// Which detection stage ends a machine cycle, by the detection mode in force (the controller
// counts cycles by the same rule).

namespace stats {

// Detection modes of the system parameters.
enum DetectMode { kModeStandard = 0, kModeTwoColor = 1, kModeTurntable = 2, kModeMultiDet = 3 };

// True when the stage is the last one of a cycle. Two-colour and turntable machines run two
// cycles per round (stages 0/1 on one side, 2/3 on the other), so every odd stage ends one;
// the standard mode ends at stage 1; multi-detection ends at stage stageCount - 1.
bool isCycleEnd(int detectMode, int stage, int stageCount);

}  // namespace stats
