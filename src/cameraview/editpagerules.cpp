#include "editpagerules.h"

#include <algorithm>

#include "globals.h"
#include "viewlimits.h"
#include "viewtexts.h"
#include "wizardpara.h"

namespace cameraview {

namespace {
constexpr int kEntryItem = 46;
constexpr int kStandardDetections = 2;
constexpr int kTwoMouldDetections = 4;
}  // namespace

bool twoMoulds(int detectMode) {
    return detectMode == 1 || detectMode == 2;
}

ControlSet visibleControls(int source, int resultState, int cameras) {
    ControlSet c{};
    c[ShowHideButton] = true;
    const auto show = [&c](std::initializer_list<PageControl> controls) {
        for (PageControl k : controls) c[k] = true;
    };
    const bool alarm = resultState == kResultNgAlarm;
    switch (source) {
        case kSourceLive:
            show({SourceChoice});
            // The ignore-point tools answer an alarm too; nothing else offers them.
            if (alarm)
                show({AddTempButton, NoCheckButton, AutoChangeButton, ShowIgnoreButton,
                      IgnoreAlarmButton, DeleteIgnoreButton, ReCheckButton});
            else
                show({ReturnButton});
            break;
        case kSourceRecentNg:
        case kSourceOkRecords:
        case kSourceNgRecords:
            show({SourceChoice, DetectChoice, ReturnButton, TempLastButton, TempNextButton});
            if (source == kSourceRecentNg) show({AddTempButton});
            break;
        case kSourceTemplate:
            show({DetectChoice, ReturnButton, SourceChoice, DrawRectButton, DrawCircleButton,
                  DrawPolygonButton, DrawHandButton, DeleteRoiButton, DeleteAllRoiButton,
                  TempLastButton, TempNextButton, TempDeleteButton});
            if (alarm) show({AutoChangeButton});
            break;
        default:
            return c;
    }
    c[CameraChoice] = cameras > 1;
    return c;
}

int openingDetect(int curDetect, int resultState, const WizardPara& p, int detections) {
    int d = curDetect;
    if (resultState == kResultNgAlarm) return d;
    const bool prodEnabled = p.detectEnable[0] != 0;
    if (p.detectMode == 0) {
        if (!prodEnabled) return 1;
        return p.sameParam ? 0 : d;
    }
    if (p.detectMode == kModeMultiDetect) return d == 0 && !prodEnabled ? 1 : d;
    if (!twoMoulds(p.detectMode)) return d;
    if (d >= 2 && (p.sameParam || p.moldSide == 0)) d -= 2;
    if (p.moldSide == 1 && d <= 1) d = 2;
    if (d % 2 == 0 && !prodEnabled) d += 1;
    return d >= 0 && d < detections ? d : 0;
}

bool cameraAllowed(int source, int curCamera, int cameras) {
    const int last = source == kSourceLive ? cameras : cameras - 1;
    return curCamera >= 0 && curCamera <= last;
}

int chosenCamera(int source, int index, int cameras) {
    if (index < cameras) return index;
    return source == kSourceLive ? cameras : cameras - 1;
}

QStringList detectItems(int detectMode, int detectNum) {
    int count = 0;
    if (detectMode == 0) count = kStandardDetections;
    if (twoMoulds(detectMode)) count = kTwoMouldDetections;
    if (detectMode == kModeMultiDetect) count = std::clamp(detectNum, 0, kMaxDetections);
    QStringList items;
    for (int i = 0; i < count; ++i) items << lan(kEntryItem).arg(detectionName(detectMode, i));
    return items;
}

int steppedTemplate(const std::vector<int>& used, int current, bool forward) {
    const int slotCount = int(used.size());
    if (slotCount == 0) return current;
    int k = current;
    // Once round the slotCount at most: a detection without a used slot keeps the one on show.
    for (int step = 0; step < slotCount; ++step) {
        k = forward ? (k + 1) % slotCount : (k + slotCount - 1) % slotCount;
        if (used[size_t(k)]) return k;
    }
    return current;
}

int steppedRecentNg(int shown, int stored, bool forward) {
    if (stored <= 0) return 0;
    const int last = std::min(stored, kRecentNgFrames) - 1;
    if (forward) return shown >= last ? 0 : shown + 1;
    return shown <= 0 ? last : shown - 1;
}

int steppedRecord(int index, int count, bool forward) {
    if (count <= 0) return index;
    if (forward) return index + 1 >= count ? 0 : index + 1;
    return index <= 0 ? count - 1 : index - 1;
}

}  // namespace cameraview
