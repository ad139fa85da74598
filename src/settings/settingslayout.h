#pragma once
// Sizes of the settings screens at the panel's 1920 x 1080, kept in one place.

namespace settings {

constexpr int kMargin = 20;
constexpr int kTopBar = 110;     // title and close button
constexpr int kTabHeight = 70;   // page buttons
constexpr int kBottomBar = 100;  // paging, confirm and cancel
constexpr int kButtonWidth = 200;
constexpr int kButtonHeight = 66;
constexpr int kFormColumns = 2;
constexpr int kColumnGap = 60;
constexpr int kEditorWidth = 400;  // editor and range hint beside the label
constexpr int kHintWidth = 210;
constexpr int kRowMinHeight = 56;
constexpr int kRowGap = 8;
constexpr int kLabelFontPx = 22;
// Texts inside the editors (choices, their drop-down rows, the sheet number): the size of the
// numbers in the edit fields beside them.
constexpr int kControlFontPx = 28;
constexpr int kChoiceItemHeight = kRowMinHeight;
// The camera image sliders span 0..100, where the cameras' usual settings lie (the factory
// values are 30, 32, 0, 50 and 70); the load keeps values up to 10000, and a stored value above
// 100 widens its slider rather than being cut back.
constexpr int kCameraSliderMax = 100;
constexpr int kTableFontPx = 20;

}  // namespace settings
