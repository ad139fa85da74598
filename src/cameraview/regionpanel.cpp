#include "regionpanel.h"

#include <algorithm>
#include <vector>

#include "cammersingleton.h"
#include "viewlimits.h"
#include "wizardpara.h"

namespace cameraview {

namespace {

bool validArea(const CammerSingleton& p, int d, int i) {
    return d >= 0 && d < roi::kDetections && i >= 0 &&
           i < std::clamp(p.roiCount[d], 0, roi::kMaxRois);
}

// Slider ranges and captions by function: B, C, A and the function's name.
struct FuncSliders {
    int func;
    SliderArm b, c, a;  // values are filled from the area
    int nameEntry;
};

// Packed halves: spot areas show the low byte of A first, count areas the low half of C.
const FuncSliders kSliderTable[] = {
    {roi::kFuncDefect,
     {0, 255, 0, kEntrySensitivity},
     {0, 1000, 0, kEntryArea},
     {1, 10, 0, kEntryFilterSize},
     kEntryDefect},
    {roi::kFuncSpot,
     {0, 99999, 0, kEntryMinArea},
     {0, 99999, 0, kEntryMaxArea},
     {0, 255, 0, kEntryMinGray},
     kEntrySpotDet},
    {roi::kFuncIgnore,
     {0, 255, 0, kEntryReserved},
     {0, 255, 0, kEntryReserved},
     {0, 255, 0, kEntryReserved},
     kEntryIgnoreArea},
    {roi::kFuncPosition,
     {0, 100, 0, kEntryReserved},
     {0, 10, 0, kEntryReserved},
     {0, 10, 0, kEntryReserved},
     kEntryPosition},
    {roi::kFuncDarkArea,
     {0, 255, 0, kEntryMaxGray},
     {0, 50000, 0, kEntryArea},
     {0, 255, 0, kEntryReserved},
     kEntryBlackArea},
    {roi::kFuncBrightArea,
     {0, 255, 0, kEntryMinGray},
     {0, 50000, 0, kEntryArea},
     {0, 255, 0, kEntryReserved},
     kEntryWhiteArea},
    {roi::kFuncSimilarity,
     {0, 100, 0, kEntryMinScore},
     {0, 50000, 0, kEntryArea},
     {0, 255, 0, kEntryReserved},
     kEntrySimilarity},
    {roi::kFuncBrightCount,
     {0, 255, 0, kEntryMinGray},
     {0, 100, 0, kEntryMinNum},
     {1, 100, 0, kEntryFilterSize},
     kEntryWhiteNum},
    {roi::kFuncDarkCount,
     {0, 255, 0, kEntryMaxGray},
     {0, 100, 0, kEntryMinNum},
     {1, 100, 0, kEntryFilterSize},
     kEntryBlackNum},
    {roi::kFuncRegistration,
     {1, 2, 0, kEntryReserved},
     {1, 2, 0, kEntryReserved},
     {1, 2, 0, kEntryReserved},
     kEntryAngleCorrection},
};

const FuncSliders& slidersOf(int func) {
    for (const FuncSliders& row : kSliderTable)
        if (row.func == func) return row;
    return kSliderTable[0];
}

bool isCountFunc(int func) {
    return func == roi::kFuncBrightCount || func == roi::kFuncDarkCount;
}

// Button row x ranges (inclusive), the second pair for Japanese, whose texts are longer.
struct RowPlace {
    PanelControl control;
    int x1, x2, jx1, jx2;
};
const RowPlace kButtonRow[] = {
    {FuncLabel, 400, 479, 400, 479},   {FuncButton, 483, 602, 483, 602},
    {ParamSwitch, 606, 725, 606, 785}, {NgOutput, 729, 793, 789, 853},
    {RoiSwitch, 797, 916, 857, 1036},  {PointButton, 920, 1009, 1040, 1129},
    {Step0, 1013, 1102, 1133, 1222},   {Step1, 1106, 1195, 1226, 1315},
    {Step2, 1199, 1288, 1319, 1408},   {Step3, 1292, 1381, 1412, 1501},
};

// The order the function button steps through, with the switch that enables each.
struct FuncSwitch {
    int func;
    int WizardPara::*enabled;
};
const FuncSwitch kFuncOrder[] = {
    {roi::kFuncDefect, &WizardPara::enableDefect},
    {roi::kFuncSpot, &WizardPara::enableSpot},
    {roi::kFuncIgnore, &WizardPara::enableIgnore},
    {roi::kFuncPosition, &WizardPara::enableLocate},
    {roi::kFuncDarkArea, &WizardPara::enableBlackArea},
    {roi::kFuncBrightArea, &WizardPara::enableWhiteArea},
    {roi::kFuncSimilarity, &WizardPara::enableSimilarity},
    {roi::kFuncBrightCount, &WizardPara::enableWhiteNum},
    {roi::kFuncDarkCount, &WizardPara::enableBlackNum},
    {roi::kFuncRegistration, &WizardPara::angleCorrect},
};

void stepAndPointTexts(const CammerSingleton& p, const PanelState& s, PanelPlan& plan) {
    const int shape = p.roiShapeType[s.detect][s.selected];
    const bool radiusSteps = shape == roi::kShapeRing && s.dragPoint < 2;
    static const char* const kRadius[] = {"+10", "+1", "-1", "-10"};
    static const char* const kMove[] = {"Y -1", "X -1", "Y +1", "X +1"};
    for (int k = 0; k < 4; ++k)
        plan.text[Step0 + k] = QString::fromLatin1(radiusSteps ? kRadius[k] : kMove[k]);
    QString point;
    if (shape == roi::kShapeRect)
        point = lan(s.dragPoint == 1 ? kEntryBottomRight : kEntryTopLeft);
    else if (shape == roi::kShapeRing)
        point = lan(s.dragPoint == 1   ? kEntryOuterRadius
                    : s.dragPoint == 2 ? kEntryCentre
                                       : kEntryInnerRadius);
    else
        point = lan(kEntryPointN).arg(s.dragPoint + 1);
    plan.text[PointButton] = point;
}

}  // namespace

int panelTop(const CammerSingleton& p, int d, int i, int rows, float baseScaleY) {
    const int h = kPanelRowPitch * rows + kPanelMargin;
    const QRect r = p.roiImageRect(d, i);
    const int top = int(float(r.top()) * baseScaleY);
    const int bottom = int(float(r.bottom() + 1) * baseScaleY);
    if (h < top - kPanelAboveClearance) return top - h;
    if (h + bottom < gShowH - kPanelBottomClearance) return bottom + kPanelMargin;
    const int atBottom = gShowH - kPanelBottomClearance - kPanelRowPitch * rows;
    const int shape = p.roiShapeType[d][i];
    if (shape == roi::kShapeRect) return top + kPanelMargin;
    if (shape == roi::kShapeRing) {
        const Circle& c = p.circles[d][i];
        return c.radius > h ? c.center.y() - h : atBottom;
    }
    // A polygon: the panel goes into the first horizontal gap between its points that is
    // high enough, so the outline stays visible around it.
    const RePolygon& poly = p.polygons[d][i];
    const int n = std::clamp(poly.count, 0, roi::kMaxPolygonPoints);
    if (n == 0) return atBottom;
    std::vector<int> ys(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) ys[size_t(k)] = poly.points[k].y();
    std::sort(ys.begin(), ys.end());
    if (ys.front() > h) return ys.front() - h;
    for (size_t k = 1; k < ys.size(); ++k)
        if (ys[k] - ys[k - 1] > h) return ys[k] - h;
    return atBottom;
}

PanelPlan planPanel(const CammerSingleton& p, const PanelState& s, const WizardPara& para) {
    PanelPlan plan;
    if (!validArea(p, s.detect, s.selected)) {
        plan.shown.fill(Shown::Hide);
        plan.text[MoveAll] = lan(kEntryHideSet);
        return plan;
    }
    plan.selected = true;
    const int d = s.detect;
    const int i = s.selected;
    const int func = p.roiFunc[d][i];
    const int A = p.roiParam3[d][i];
    const int C = p.roiParam2[d][i];
    const bool showAll = para.showAllParam != 0;

    const bool parameterRows = s.moveAllMode == 0;
    const auto showIf = [](bool on) { return on ? Shown::Show : Shown::Hide; };
    const bool noB = func == roi::kFuncIgnore || func == roi::kFuncPosition;
    const bool noC = noB || func == roi::kFuncSimilarity || (func == roi::kFuncDefect && !showAll);
    const bool noA = (func >= roi::kFuncIgnore && func <= roi::kFuncSimilarity) ||
                     (func == roi::kFuncDefect && !showAll);
    plan.shown[SliderB] = showIf(parameterRows && !noB);
    plan.shown[SliderC] = showIf(parameterRows && !noC);
    plan.shown[SliderA] = showIf(parameterRows && !noA);
    const bool anyChoice = para.enableSpot || para.enableIgnore || para.enableLocate ||
                           para.enableBlackArea || para.enableWhiteArea || para.enableWhiteNum ||
                           para.enableBlackNum || para.enableSimilarity || para.angleCorrect;
    if (!parameterRows || anyChoice) {
        plan.shown[FuncLabel] = showIf(parameterRows);
        plan.shown[FuncButton] = showIf(parameterRows);
    }
    for (PanelControl c : {PointButton, Step0, Step1, Step2, Step3, RoiSwitch, SyncButton})
        plan.shown[c] = showIf(parameterRows);
    if (!parameterRows) {
        plan.shown[NgOutput] = Shown::Hide;
    } else if (d == 0 && para.ejectorPulseOnProdNG) {
        plan.shown[NgOutput] = Shown::Show;
        plan.ngOutput = std::clamp(p.roiNgOutput[i], 0, roi::kNgOutputs - 1);
    }

    const bool showC = plan.shown[SliderC] == Shown::Show;
    const bool showA = plan.shown[SliderA] == Shown::Show;
    const int rows = 2 + int(showC) + int(showA);
    int y = panelTop(p, d, i, rows, s.baseScaleY);
    const int sliderRight = gShowW / 2 + kPanelSliderRightPastHalf;
    plan.place[SliderB] = QRect(QPoint(kPanelLeft, y), QPoint(sliderRight, y + kPanelRowHeight));
    for (PanelControl c : {SliderC, SliderA}) {
        if (plan.shown[c] != Shown::Show) continue;
        y += kPanelRowStep;
        plan.place[c] = QRect(QPoint(kPanelLeft, y), QPoint(sliderRight, y + kPanelRowHeight));
    }
    y += kPanelRowStep;
    const bool japanese = gLan == kLanguageJapanese;
    for (const RowPlace& r : kButtonRow) {
        const int x1 = japanese ? r.jx1 : r.x1;
        const int x2 = japanese ? r.jx2 : r.x2;
        plan.place[r.control] = QRect(x1, y, x2 - x1 + 1, kPanelRowHeight);
    }

    const FuncSliders& table = slidersOf(func);
    plan.arm[0] = table.b;
    plan.arm[0].value = p.roiParam1[d][i];
    plan.arm[1] = table.c;
    plan.arm[1].value = isCountFunc(func) ? (C & 0xFFFF) : C;
    plan.arm[2] = table.a;
    plan.arm[2].value = func == roi::kFuncSpot ? (A & 0xFF) : A;
    plan.text[FuncButton] = lan(table.nameEntry);

    plan.shown[FineTune] = Shown::Show;
    plan.text[FineTune] = s.fineTune ? QStringLiteral("隐藏") : QStringLiteral("微调");
    for (PanelControl c : {MoveUp, MoveDown, MoveLeft, MoveRight, MoveAll})
        plan.shown[c] = showIf(s.fineTune);
    plan.shown[ParamSwitch] = showIf(func == roi::kFuncSpot || isCountFunc(func));
    stepAndPointTexts(p, s, plan);
    plan.text[MoveAll] = lan(s.moveAllMode == 1   ? kEntryAllMove
                             : s.moveAllMode == 2 ? kEntrySingleDisplay
                                                  : kEntryHideSet);
    return plan;
}

bool funcInitParam(int code, const WizardPara& para, int& B, int& C, int& A) {
    switch (code) {
        case roi::kFuncSpot:
            B = 80, C = 500, A = 50 << 8;  // grey band 0..50
            return true;
        case roi::kFuncIgnore:
            B = 0, C = 0, A = 30;
            return true;
        case roi::kFuncPosition:
            B = 10, C = 0, A = 1;
            return true;
        case roi::kFuncDarkArea:
            B = 50, C = 100;
            return true;
        case roi::kFuncBrightArea:
            B = 200, C = 100;
            return true;
        case roi::kFuncSimilarity:
            B = 80;
            return true;
        case roi::kFuncBrightCount:
        case roi::kFuncDarkCount:
            B = 128, C = (100 << 16) | 1, A = 1;  // count range 1..100
            return true;
        case roi::kFuncRegistration:
            B = 1, C = 1, A = 1;
            return true;
        default:
            B = 45, C = para.alarmArea, A = para.filterSize;
            return code == roi::kFuncDefect;
    }
}

int nextEnabledFunc(int current, const WizardPara& para) {
    constexpr int n = int(sizeof kFuncOrder / sizeof kFuncOrder[0]);
    int at = -1;
    for (int k = 0; k < n; ++k)
        if (kFuncOrder[k].func == current) at = k;
    // One round at most: with nothing enabled the search must end.
    for (int step = 1; step <= n; ++step) {
        const FuncSwitch& f = kFuncOrder[(at + step + n) % n];
        if (para.*(f.enabled)) return f.func;
    }
    return -1;
}

int firstAreaFunc(const WizardPara& para) {
    if (para.enableSpot) return roi::kFuncSpot;
    if (para.enableBlackArea) return roi::kFuncDarkArea;
    if (para.enableWhiteArea) return roi::kFuncBrightArea;
    if (para.enableSimilarity) return roi::kFuncSimilarity;
    if (para.enableWhiteNum) return roi::kFuncBrightCount;
    if (para.enableBlackNum) return roi::kFuncDarkCount;
    return roi::kFuncDefect;
}

PanelControl paramSwitchSlider(int func, int A, int C, bool upperHalf, SliderArm* arm) {
    if (func == roi::kFuncSpot) {
        *arm = upperHalf ? SliderArm{0, 255, (A >> 8) & 0xFF, kEntryMaxGray}
                         : SliderArm{0, 255, A & 0xFF, kEntryMinGray};
        return SliderA;
    }
    if (isCountFunc(func)) {
        *arm = upperHalf ? SliderArm{0, 100, int(quint32(C) >> 16), kEntryMaxNum}
                         : SliderArm{0, 100, C & 0xFFFF, kEntryMinNum};
        return SliderC;
    }
    return PanelControlCount;
}

}  // namespace cameraview
