#include "viewtexts.h"

#include "globals.h"
#include "roilimits.h"
#include "viewlimits.h"

namespace cameraview {

namespace {

// The upper and lower halves of a packed count range; the upper half is unsigned.
int lowHalf(int v) {
    return v & 0xFFFF;
}
int highHalf(int v) {
    return int(quint32(v) >> 16);
}
int lowByte(int v) {
    return v & 0xFF;
}
int secondByte(int v) {
    return (v >> 8) & 0xFF;
}

}  // namespace

QString detectionName(int detectMode, int d) {
    int base = kEntryNamesStandard;
    if (detectMode == 1 || detectMode == 2) base = kEntryNamesTwoMould;
    if (detectMode == kModeMultiDetect) base = kEntryNamesMulti;
    if (d < 0 || d >= kMaxDetections) return QString();
    return lan(base + d);
}

QString regionParamText(const RegionNumbers& r, const GlobalLimits& g) {
    switch (r.func) {
        case roi::kFuncDefect:
            if (!g.showAllParam)
                return QStringLiteral("%1, %2, %3")
                    .arg(r.param1)
                    .arg(g.alarmArea)
                    .arg(g.filterSize);
            return QStringLiteral("%1,%2,%3").arg(r.param1).arg(r.param2).arg(r.param3);
        case roi::kFuncSpot:
            return QStringLiteral("%1--%2,%3--%4")
                .arg(r.param1)
                .arg(r.param2)
                .arg(lowByte(r.param3))
                .arg(secondByte(r.param3));
        case roi::kFuncDarkArea:
        case roi::kFuncBrightArea:
            return QStringLiteral("%1, %2").arg(lowByte(r.param1)).arg(r.param2);
        case roi::kFuncSimilarity:
            return QString::number(r.param1);
        case roi::kFuncBrightCount:
        case roi::kFuncDarkCount:
            return QStringLiteral("%1,%2--%3,%4")
                .arg(lowByte(r.param1))
                .arg(lowHalf(r.param2))
                .arg(highHalf(r.param2))
                .arg(r.param3);
        default:
            return QString::number(r.param2);
    }
}

QString regionLimitText(const RegionNumbers& r, const GlobalLimits& g) {
    switch (r.func) {
        case roi::kFuncDefect:
            return g.showAllParam ? QString::number(r.param2) : QString::number(g.alarmArea);
        case roi::kFuncSimilarity:
            return QString::number(r.param1);
        case roi::kFuncSpot:
            return QStringLiteral("%1--%2").arg(r.param1).arg(r.param2);
        case roi::kFuncBrightCount:
        case roi::kFuncDarkCount:
            return QStringLiteral("%1--%2").arg(lowHalf(r.param2)).arg(highHalf(r.param2));
        default:
            return QString::number(r.param2);
    }
}

QString regionLabel(int i, const QString& limitOrParams, int value, int regionCount) {
    if (regionCount < kCompactLabelRois)
        return QStringLiteral("%1: %2 / %3 ").arg(i + 1).arg(limitOrParams).arg(value);
    return QStringLiteral("%1: %2").arg(i + 1).arg(value);
}

StatusWord liveStatus(bool retrainPending, int detectState, int cycleState, bool tempAlarm) {
    if (retrainPending) return {lan(kEntryResampling), StatusTone::Cyan};
    if (detectState == kDetectStopped) {
        QString text = lan(kEntryStopping);
        if (tempAlarm) text += QStringLiteral("   温度报警");
        return {text, StatusTone::Red};
    }
    switch (cycleState) {
        case kCycleDetecting:
            return {lan(kEntryDetecting), StatusTone::Green};
        case kCycleDetected:
            return {lan(kEntryDetected), StatusTone::Green};
        case kCycleWaiting:
            return {lan(kEntryWaiting), StatusTone::Green};
        default:
            return {QString(), StatusTone::Green};
    }
}

StatusWord recentNgStatus(int detectState) {
    if (detectState == kDetectResampling) return {lan(kEntryResampling), StatusTone::Cyan};
    if (detectState == kDetectStopped) return {lan(kEntryStopping), StatusTone::Red};
    return {lan(kEntryDetecting), StatusTone::Green};
}

QString countdownText(float secondsLeft) {
    if (!(secondsLeft > kCountdownMinSeconds)) return QString();
    return QString::number(double(secondsLeft), 'g', 3);
}

}  // namespace cameraview
