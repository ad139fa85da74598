#pragma once
// Sizes, counts and time-outs of the touch toolkit, kept in one place.

namespace toolkit {

// Splash screen.
constexpr int kSplashWidth = 1920;
constexpr int kSplashHeight = 1080;
constexpr int kSplashBarWidth = 500;
constexpr int kSplashBarHeight = 50;
constexpr int kSplashLabelHeight = 60;
constexpr int kSplashPercentMax = 100;
// A step above this closes the progress dialog.
constexpr int kSplashClosePercent = 99;

// Message, choice and password boxes.
constexpr int kDialogWidth = 750;
constexpr int kDialogHeight = 370;
constexpr int kPasswordBoxHeight = 560;
constexpr int kDialogButtonWidth = 200;
constexpr int kDialogButtonHeight = 70;
constexpr int kDialogMargin = 30;
constexpr int kDialogMessageFontPx = 30;
// How often an open box looks whether what it asks about still stands: an answer is compared
// again when it comes, so this only decides how soon a stale box leaves the screen.
constexpr int kSubjectPollMs = 50;

// Buttons: font pixel sizes by button type; simplified Chinese gets the larger size.
constexpr int kLargeButtonFontPxChinese = 27;
constexpr int kLargeButtonFontPxOther = 22;
constexpr int kSmallButtonFontPxChinese = 22;
constexpr int kSmallButtonFontPxOther = 20;
constexpr int kButtonRadiusPx = 8;
// Room a button keeps between its text and its edges (border and rounded corners), and the
// smallest font a fixed-size button shrinks its text to before cutting it.
constexpr int kButtonTextMarginPx = 8;
constexpr int kMinFittedFontPx = 11;
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 100;

// Check boxes: the box, a finger's size.
constexpr int kCheckBoxIndicatorPx = 40;

// Keypads.
constexpr int kKeyWidth = 84;
constexpr int kKeyHeight = 72;
constexpr int kKeySpacing = 6;
constexpr int kKeyFontPx = 28;
constexpr int kKeypadMargin = 8;
// Gap between an edit field and the keypad opened for it.
constexpr int kKeypadGap = 6;

// Edit fields.
constexpr int kEditFontPx = 28;
constexpr int kEditHeight = 56;

// Sliders.
constexpr int kSliderHeight = 60;
constexpr int kSliderCaptionWidth = 160;
// Room between the caption and the handle when the handle is at its minimum.
constexpr int kSliderCaptionGapPx = 8;
constexpr int kSliderValueWidth = 90;
constexpr int kSliderFontPx = 24;
// The zoom slider goes back to its minimum after this long without use.
constexpr int kFloatSliderIdleMs = 30000;
constexpr int kFloatSliderHandlePx = 40;

// Tool bar.
constexpr int kToolBarButtonWidth = 240;
constexpr int kToolBarButtonHeight = 76;
constexpr int kToolBarSpacing = 8;
constexpr int kToolBarMargin = 10;
constexpr int kToolBarHandleWidth = 60;
constexpr int kToolBarCollapseMs = 120000;
constexpr int kMaxSteps = 8;

// IO status strip.
constexpr int kIOInputCount = 10;
constexpr int kIOOutputCount = 9;
constexpr int kIOStripHeight = 70;
constexpr int kIOStripRightReserve = 250;
constexpr int kIOLampPx = 24;
constexpr int kIOCellWidth = 80;
constexpr int kIOFontPx = 18;
constexpr int kIOMinFontPx = 11;  // a long name is drawn smaller, down to this, not clipped
constexpr int kIOLabelPadPx = 4;  // kept clear between the names of neighbouring cells

}  // namespace toolkit
