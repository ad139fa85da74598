#pragma once
// The rules of the editing page that need nothing but numbers: which controls a source shows,
// the detection the page opens on, the camera a source may show, the detection names of the
// detection choice, and the paging through templates, recent NG frames and stored pictures.

#include <QStringList>
#include <array>
#include <vector>

class WizardPara;

namespace cameraview {

// The page's controls, in the order of its column.
enum PageControl {
    ShowHideButton,
    SourceChoice,
    CameraChoice,
    DetectChoice,
    ReturnButton,
    ChangeOpButton,
    NoCheckButton,
    AddTempButton,
    AutoChangeButton,
    HelpButton,
    DrawRectButton,
    DrawCircleButton,
    DrawPolygonButton,
    DrawHandButton,
    CopyAreaButton,
    DeleteRoiButton,
    DeleteAllRoiButton,
    TempLastButton,
    TempNextButton,
    TempDeleteButton,
    ShowIgnoreButton,
    IgnoreAlarmButton,
    DeleteIgnoreButton,
    ReCheckButton,
    PageControlCount
};

using ControlSet = std::array<bool, PageControlCount>;

// The controls the page shows on a source (the show/hide button is always shown).
ControlSet visibleControls(int source, int resultState, int cameras);

// The detection the page opens on: the detection last run, moved onto one the operator edits
// in the detection mode (not during an NG alarm, which opens on the failed detection).
int openingDetect(int curDetect, int resultState, const WizardPara& p, int detections);

// Whether a source may show curCamera: the live image may tile all cameras (curCamera =
// cameras), every other source needs one camera.
bool cameraAllowed(int source, int curCamera, int cameras);
// The camera an index of the camera choice stands for on a source.
int chosenCamera(int source, int index, int cameras);

// Detection modes 1 and 2 watch two moulds, left and right, with two detections each.
bool twoMoulds(int detectMode);

// The items of the detection choice in a detection mode (mode 3: `detectNum` of them).
QStringList detectItems(int detectMode, int detectNum);

// The next used template slot before (forward false) or after `current`, round the slots
// once at most; `current` when no other slot is used.
int steppedTemplate(const std::vector<int>& used, int current, bool forward);
// The recent-NG frame shown after paging, of `stored` frames kept (the ring holds 10).
int steppedRecentNg(int shown, int stored, bool forward);
// The stored picture shown after paging through `count` pictures, wrapping at both ends.
int steppedRecord(int index, int count, bool forward);

}  // namespace cameraview
