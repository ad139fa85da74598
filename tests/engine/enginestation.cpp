#include "enginestation.h"

namespace enginetest {

void EngineStation::prepareInspection(int step) {
    preparedOn.push_back(QThread::currentThread());
    rig_.engine->InspectHeld(step);
}

std::vector<int> EngineStation::failedNgOutputs(int step) const {
    std::vector<int> groups;
    for (int i = 0; i < rig_.param->roiCount[step]; ++i)
        if (!rig_.ctx.roiOK[step][i]) groups.push_back(rig_.param->roiNgOutput[i]);
    return groups;
}

}  // namespace enginetest
