#pragma once
// The side panel of the selected area as plain decisions: which controls show, where the rows
// sit beside the area, how the three sliders are armed for the area's function and what the
// buttons read. The view applies a plan to its widgets; nothing here touches a widget.
//
// The sliders edit B = roiParam1, C = roiParam2 and A = roiParam3 of the area; D = roiFunc.

#include <QRect>
#include <QString>
#include <array>

class CammerSingleton;
class WizardPara;

namespace cameraview {

enum PanelControl {
    SliderB,
    SliderC,
    SliderA,
    FuncLabel,
    FuncButton,
    ParamSwitch,
    NgOutput,
    RoiSwitch,
    PointButton,
    Step0,
    Step1,
    Step2,
    Step3,
    SyncButton,
    FineTune,
    MoveUp,
    MoveDown,
    MoveLeft,
    MoveRight,
    MoveAll,
    PanelControlCount
};

// Keep: the control stays as it is (the rules leave it alone in that case).
enum class Shown { Keep, Hide, Show };

// Slider::Reset arguments (the page step is always 1).
struct SliderArm {
    int min = 0;
    int max = 0;
    int value = 0;
    int captionEntry = 0;
    bool operator==(const SliderArm& o) const {
        return min == o.min && max == o.max && value == o.value && captionEntry == o.captionEntry;
    }
};

// What the panel looks like for the state it was planned from.
struct PanelPlan {
    bool selected = false;  // false: everything hidden, fine tune unchecked, modes reset
    std::array<Shown, PanelControlCount> shown{};
    std::array<QRect, PanelControlCount> place{};   // null: stays where it is
    std::array<QString, PanelControlCount> text{};  // null: unchanged
    std::array<SliderArm, 3> arm{};                 // SliderB, SliderC, SliderA
    int ngOutput = -1;                              // >= 0: the combo box shows it
};

// The editing state the panel is planned from.
struct PanelState {
    int detect = 0;
    int selected = -1;
    int dragPoint = 0;
    int moveAllMode = 0;
    bool fineTune = false;  // the fine-tune button is checked
    float baseScaleY = 1.0f;
};

// Uses gShowW, gShowH and the current language.
PanelPlan planPanel(const CammerSingleton& p, const PanelState& s, const WizardPara& para);

// Where the first row goes: above the area when the panel fits there, else below it, else
// over a part of the area that leaves it visible. rows counts the slider and button rows.
int panelTop(const CammerSingleton& p, int d, int i, int rows, float baseScaleY);

// Default B, C and A of a function; entries the table leaves alone stay as they are. False
// for an unknown code, which then gets the defaults of code 0.
bool funcInitParam(int code, const WizardPara& para, int& B, int& C, int& A);

// The next enabled function after `current` in the panel's cyclic order, after at most one
// round; -1 when none is enabled.
int nextEnabledFunc(int current, const WizardPara& para);

// The function of the first area of a detection.
int firstAreaFunc(const WizardPara& para);

// The slider the parameter switch re-arms for the other half of a packed value (SliderA for
// spot areas, SliderC for count areas) and how; PanelControlCount when the function has none.
PanelControl paramSwitchSlider(int func, int A, int C, bool upperHalf, SliderArm* arm);

}  // namespace cameraview
