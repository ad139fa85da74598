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
constexpr int kTableFontPx = 20;

}  // namespace settings
