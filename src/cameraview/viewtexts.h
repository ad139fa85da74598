#pragma once
// The texts a camera view paints: detection names, region labels and the status line. All of
// them are composed in the current language when asked for.

#include <QString>

namespace cameraview {

// The four numbers of a region as the labels read them: B = roiParam1, C = roiParam2,
// A = roiParam3 and D = roiFunc.
struct RegionNumbers {
    int func = 0;    // D
    int param1 = 0;  // B
    int param2 = 0;  // C
    int param3 = 0;  // A
};

// The global limits that stand in for a defect region's own while showAllParam is off.
struct GlobalLimits {
    bool showAllParam = false;
    int filterSize = 0;
    int alarmArea = 0;
};

// Name of detection d: "Prod"/"Mold" in mode 0, "Left prod" ... in modes 1 and 2, "1st" ...
// in mode 3.
QString detectionName(int detectMode, int d);

// Parameters of a region as the template editing shows them.
QString regionParamText(const RegionNumbers& r, const GlobalLimits& g);
// Limits of a region as the live view shows them.
QString regionLimitText(const RegionNumbers& r, const GlobalLimits& g);
// "i+1: T / V " for small detections, "i+1: V" from kCompactLabelRois regions on.
QString regionLabel(int i, const QString& limitOrParams, int value, int regionCount);

// Status word of the live view's status line and whether it is drawn in red, cyan or green.
enum class StatusTone { Green, Red, Cyan };
struct StatusWord {
    QString text;
    StatusTone tone = StatusTone::Green;
};
StatusWord liveStatus(bool retrainPending, int detectState, int cycleState, bool tempAlarm);
StatusWord recentNgStatus(int detectState);

// The countdown shown for a running step delay ("2.5", "12.3"); empty when too short to show.
QString countdownText(float secondsLeft);

}  // namespace cameraview
