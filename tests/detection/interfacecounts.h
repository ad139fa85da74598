#pragma once
// The production counts as every interface of a running window shows them, read in one call:
// the Modbus registers by pymodbus and the HTTP API by Python's http.client (clients we did not
// write), count.ini as the next start reads it, the cameras' "NG / Total" and the running day's
// statistics. A test compares them with the cycles and steps it drove.

#include <QList>
#include <QString>

class DeRaRazovi;

namespace cycletest {

struct InterfaceCounts {
    // Modbus holding registers 2 and 3: judged cycles of the busiest camera, cycles in which a
    // camera failed.
    int modbusCycles = -1;
    int modbusFailedCycles = -1;
    // "/v18/http/get_product_infos": "detect_all" and "detect_ng" (judged cycles of the busiest
    // camera; cycles in which a camera failed), "detect_all_detail" and "detect_ng_detail"
    // cycles per camera in use.
    int apiBusiestCycles = -1;
    int apiFailedCyclesAny = -1;
    QList<int> apiCycles;
    QList<int> apiFailedCycles;
    // count.ini, cameras in use: "list_allcyclenum", "list_failcyclenum", "list_allnum",
    // "list_failnum", then "gSyncNGcycleNum" and "gSyncNGNum".
    QList<int> fileCycles;
    QList<int> fileFailedCycles;
    QList<int> fileSteps;
    QList<int> fileFailedSteps;
    int fileFailedCyclesAny = -1;
    int fileFailedStepsAny = -1;
    // The camera pictures' "NG %1 / Total %2", per camera in use: failed and judged cycles.
    QList<int> screenCycles;
    QList<int> screenFailedCycles;
    // Whole cycles and NG cycles of the running day's statistics, every group.
    int statisticsCycles = -1;
    int statisticsFailedCycles = -1;
    // Empty when every interface answered; else what failed.
    QString error;
};

// Reads every interface of `window` (run by a WindowRig, statistics on). With `resetFirst` a
// Modbus master first writes 1 into register 4, as a line controller resets the counts.
// Handles events while the clients run, so the window's servers answer.
InterfaceCounts readInterfaceCounts(DeRaRazovi& window, bool resetFirst = false);

}  // namespace cycletest
