#pragma once
// The JSON documents of the HTTP API, built from the machine's state, the process counters and
// the region results of a step. Pure functions, so that every field can be checked without a
// socket.

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include "paramroi.h"

namespace httpapi {

// The main window's state that the API reports.
struct MachineState {
    int detectState = 3;    // 1 detection running, 3 stopped
    int resultState = 0;    // 0 waiting, 1 last cycle OK, 2 NG with the alarm shown, 3 area setting
    int currentDetect = 0;  // detection step being run or last run (0..7)
};

constexpr int kDetectStateStopped = 3;
constexpr int kResultStateAlarm = 2;

// "/v18/http/get_product_infos": run and alarm state, and the counters: judged steps of the
// busiest camera and steps in which a camera failed (gAllNum, gSyncNGNum), then per camera in use
// judged and failed cycles (gAllCycleNum, gFailCycleNum).
QJsonObject productInfos(const MachineState& state);

// The seven numbers of a region: its value, then the low bytes of its lower limit, upper limit
// and parameter, then their second bytes.
QJsonArray roiAlgorithm(const param_roi& roi);

// The last-detection document of a step: the step's result and time, and its region results
// grouped by camera and detection.
QJsonObject lastDetect(const QList<param_roi>& results, int detectIndex, bool result,
                       int cameraCount, const QDateTime& when);

}  // namespace httpapi
