#include "changelog.h"

#include <algorithm>

#include "cammersingleton.h"
#include "globals.h"
#include "viewtexts.h"

namespace cameraview {

namespace {

constexpr int kEntryLabel = 73;
constexpr int kEntryRectangle = 74;
constexpr int kEntryCircle = 75;
constexpr int kEntryPolygon = 76;
constexpr int kEntryAddedSpot = 77;
constexpr int kEntryAddedDefect = 78;
constexpr int kEntryAddedPosition = 79;
constexpr int kEntryAdded = 80;
constexpr int kEntryDeleted = 81;
constexpr int kEntryFunctionFrom = 82;
constexpr int kEntryFunctionTo = 83;
constexpr int kEntryFunctionIs = 84;
constexpr int kEntryMinGrey = 85;
constexpr int kEntryMaxGrey = 86;
constexpr int kEntryMinArea = 87;
constexpr int kEntryMaxArea = 88;
constexpr int kEntrySpotChanged = 89;
constexpr int kEntryAccuracy = 90;
constexpr int kEntryLeastMatch = 91;
constexpr int kEntrySpeed = 92;
constexpr int kEntryPositionChanged = 93;
constexpr int kEntrySensitivity = 94;
constexpr int kEntryArea = 95;
constexpr int kEntryMinSize = 96;
constexpr int kEntryDefectChanged = 97;
constexpr int kEntryMoved = 98;
constexpr int kEntryChanged = 99;
constexpr int kEntryDefect = 25;
constexpr int kEntrySpot = 15;
constexpr int kEntryIgnore = 17;
constexpr int kEntryPosition = 21;
constexpr int kEntryWhiteNum = 521;
constexpr int kEntryBlackNum = 626;
constexpr int kEntryAngleCorrection = 583;
constexpr int kGreyByte = 0xFF;
constexpr int kMaxGreyShift = 8;

QString number(int v) {
    return QString::number(v);
}

QString shapeName(int type) {
    if (type == roi::kShapeRect) return lan(kEntryRectangle);
    if (type == roi::kShapeRing) return lan(kEntryCircle);
    return lan(kEntryPolygon);
}

// The function's name; a registration area is a kind of position area where functions are
// compared, and named for itself where it is deleted.
QString functionName(int func, bool deleted) {
    switch (func) {
        case roi::kFuncDefect:
            return lan(kEntryDefect);
        case roi::kFuncSpot:
            return lan(kEntrySpot);
        case roi::kFuncIgnore:
            return lan(kEntryIgnore);
        case roi::kFuncPosition:
            return lan(kEntryPosition);
        case roi::kFuncBrightCount:
            return lan(kEntryWhiteNum);
        case roi::kFuncDarkCount:
            return lan(kEntryBlackNum);
        case roi::kFuncRegistration:
            return lan(deleted ? kEntryAngleCorrection : kEntryPosition);
        default:
            return {};
    }
}

bool movesModels(int func) {
    return func == roi::kFuncPosition || func == roi::kFuncRegistration;
}

// The spot band keeps its minimum grey in the low byte and its maximum in the second.
int minGrey(int param3) {
    return param3 & kGreyByte;
}
int maxGrey(int param3) {
    return (param3 >> kMaxGreyShift) & kGreyByte;
}

QString addedDetail(const CammerSingleton& p, int g, int i) {
    const int b = p.roiParam1[g][i];
    const int c = p.roiParam2[g][i];
    const int a = p.roiParam3[g][i];
    switch (p.roiFunc[g][i]) {
        case roi::kFuncDefect:
            return lan(kEntryAddedDefect).arg(number(b), number(a), number(c));
        case roi::kFuncSpot:
            return lan(kEntryAddedSpot)
                .arg(number(minGrey(a)), number(maxGrey(a)), number(b), number(c));
        case roi::kFuncPosition:
            return lan(kEntryAddedPosition).arg(number(b), number(c), number(a));
        case roi::kFuncIgnore:
            return lan(kEntryIgnore);
        case roi::kFuncRegistration:
            return lan(kEntryAngleCorrection);
        default:
            return {};
    }
}

// ", Changing ... from <before> to <after>", or nothing when the value stayed.
QString changePiece(int entry, int before, int after) {
    return before == after ? QString() : lan(entry).arg(number(before), number(after));
}

struct ChangedDetail {
    QString text;
    bool paramsChanged = false;
};

ChangedDetail changedDetail(const CammerSingleton& live, const CammerSingleton& edited, int g,
                            int i) {
    const int b0 = live.roiParam1[g][i], b1 = edited.roiParam1[g][i];
    const int c0 = live.roiParam2[g][i], c1 = edited.roiParam2[g][i];
    const int a0 = live.roiParam3[g][i], a1 = edited.roiParam3[g][i];
    QStringList pieces;
    int entry = -1;
    switch (edited.roiFunc[g][i]) {
        case roi::kFuncDefect:
            entry = kEntryDefectChanged;
            pieces =
                QStringList{changePiece(kEntrySensitivity, b0, b1), changePiece(kEntryArea, c0, c1),
                            changePiece(kEntryMinSize, a0, a1)};
            break;
        case roi::kFuncSpot:
            entry = kEntrySpotChanged;
            pieces =
                QStringList{changePiece(kEntryMinGrey, minGrey(a0), minGrey(a1)),
                            changePiece(kEntryMaxGrey, maxGrey(a0), maxGrey(a1)),
                            changePiece(kEntryMinArea, b0, b1), changePiece(kEntryMaxArea, c0, c1)};
            break;
        case roi::kFuncPosition:
            entry = kEntryPositionChanged;
            pieces = QStringList{changePiece(kEntryAccuracy, b0, b1),
                                 changePiece(kEntryLeastMatch, c0, c1),
                                 changePiece(kEntrySpeed, a0, a1)};
            break;
        case roi::kFuncIgnore:
            return {lan(kEntryIgnore), false};
        case roi::kFuncRegistration:
            return {lan(kEntryAngleCorrection), false};
        default:
            return {};
    }
    ChangedDetail detail;
    detail.paramsChanged = std::any_of(pieces.begin(), pieces.end(),
                                       [](const QString& piece) { return !piece.isEmpty(); });
    detail.text = lan(entry);
    for (const QString& piece : pieces) detail.text = detail.text.arg(piece);
    return detail;
}

}  // namespace

DetectionChanges describeChanges(const CammerSingleton& live, const CammerSingleton& edited,
                                 int camera, int g, int detectMode) {
    DetectionChanges changes;
    if (g < 0 || g >= roi::kDetections) return changes;
    const QString label = lan(kEntryLabel).arg(number(camera + 1), detectionName(detectMode, g));
    const int liveCount = std::clamp(live.roiCount[g], 0, roi::kMaxRois);
    const int editedCount = std::clamp(edited.roiCount[g], 0, roi::kMaxRois);
    for (int i = 0; i < std::max(liveCount, editedCount); ++i) {
        const QString k = number(i + 1);
        if (i >= editedCount) {
            const int func = live.roiFunc[g][i];
            changes.records << label + lan(kEntryDeleted)
                                           .arg(shapeName(live.roiShapeType[g][i]), k,
                                                functionName(func, true));
            changes.rebuild = changes.rebuild || movesModels(func);
            continue;
        }
        const int func = edited.roiFunc[g][i];
        if (i >= liveCount) {
            changes.records << label + lan(kEntryAdded)
                                           .arg(shapeName(edited.roiShapeType[g][i]), k,
                                                addedDetail(edited, g, i));
            changes.rebuild = changes.rebuild || movesModels(func);
            continue;
        }
        const int type = edited.roiShapeType[g][i];
        // The display geometry only: selection and hover marks are no change of the area.
        const bool moved = !edited.sameGeometry(live, g, i, type);
        const int liveFunc = live.roiFunc[g][i];
        QString functionPart = lan(kEntryFunctionIs);
        if (liveFunc != func) {
            functionPart =
                lan(kEntryFunctionFrom) + functionName(liveFunc, false) + lan(kEntryFunctionTo);
            changes.rebuild = changes.rebuild || movesModels(liveFunc);
        }
        // A position or registration area may have moved: its models are made again either way.
        changes.rebuild = changes.rebuild || movesModels(func);
        const ChangedDetail detail = changedDetail(live, edited, g, i);
        if (!moved && !detail.paramsChanged) continue;
        changes.records << label + lan(kEntryChanged)
                                       .arg(shapeName(type), k, functionPart, detail.text,
                                            moved ? lan(kEntryMoved) : QString());
    }
    return changes;
}

}  // namespace cameraview
