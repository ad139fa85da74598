#include "cyclerule.h"

namespace stats {

bool isCycleEnd(int detectMode, int stage, int stageCount) {
    switch (detectMode) {
        case kModeStandard:
            return stage == 1;
        case kModeTwoColor:
        case kModeTurntable:
            return stage % 2 == 1;
        case kModeMultiDet:
        default:
            return stage == stageCount - 1;
    }
}

}  // namespace stats
