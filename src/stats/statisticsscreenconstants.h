#pragma once
// Sizes, fonts and language entries of the statistics screens, in one place. The screens fill
// the 1920 x 1080 panel; every size is in pixels.

namespace stats::screen {

// Outer tab i shows camera (i + 8) mod 9 and inner tab j detection (j + 8) mod 9, so tab 0
// is the summary (index 8) and the pages hold at most this many entries.
constexpr int kMaxTabs = 9;

// The screen and its parts.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kScreenMargin = 10;
constexpr int kTabsWidth = 1738;
constexpr int kTabsHeight = 980;
constexpr int kDayListHeight = 980;
constexpr int kTopRowSpacing = 100;
constexpr int kGroupBoxWidth = 300;
constexpr int kGroupBoxItemHeight = 50;
constexpr int kButtonWidth = 300;
constexpr int kRowHeight = 50;
constexpr int kShiftFromLabelWidth = 125;
constexpr int kShiftBoxWidth = 100;
constexpr int kShiftToLabelWidth = 100;
constexpr int kShiftBoxItemHeight = 40;
constexpr int kTopRowFontPx = 33;
// The camera tabs and, on each camera page, the step tabs.
constexpr int kCameraTabWidth = 200;
constexpr int kStepTabWidth = 230;
constexpr int kTabHeight = 50;
constexpr int kTabFontPx = 25;
// A camera page sits inside the frame of the camera tabs' pane, which takes a few pixels off
// each side of it; tabs are narrowed to share what is left (nine of the full widths are wider
// than the panel leaves), so that a finger reaches every one without scrolling.
constexpr int kPaneFrameAllowance = 4;
constexpr int kTabsRoom = kTabsWidth - 2 * kPaneFrameAllowance;
// ColorButton size type of the return and export buttons.
constexpr int kButtonType = 3;
constexpr int kHoursPerDay = 24;

// A camera page.
constexpr int kPageLabelPointSize = 10;
constexpr int kPageTitleWidth = 150;
constexpr int kPageTitleHeight = 50;
constexpr int kPageFigureWidth = 120;
constexpr int kPageFigureHeight = 40;
constexpr int kPageColumnSpacing = 5;
constexpr int kPageMarginX = 30;
constexpr int kPageMarginY = 10;
constexpr int kHistogramHeight = 420;
// The histograms' hour labels until the first refresh puts the shifts' real hours there.
constexpr int kFirstNightHour = 12;

// A histogram (offsets from the widget's edges).
constexpr int kAxisOffset = 20;  // x axis above the bottom, y axis right of the left edge
constexpr int kAxisTop = 40;     // top of the y axis: where the largest bar ends
constexpr int kTickLength = 10;
constexpr int kFigureHeight = 20;  // hour labels and bar figures
constexpr int kHistogramFontPx = 15;
constexpr int kLegendFontPointSize = 10;
constexpr int kLegendRightOffset = 140;
constexpr int kLegendTop = 5;
constexpr int kLegendTextWidth = 100;  // the least; a longer text gets what it needs
constexpr int kLegendTextPadding = 4;  // each side of a legend text that sets its own width
constexpr int kLegendHeight = 30;
constexpr int kLegendGap = 5;
constexpr int kBarAlpha = 200;

// The date range dialog of the export.
constexpr int kDateCellWidth = 150;  // labels, preset buttons, Confirm and Cancel
constexpr int kDateCellHeight = 50;
constexpr int kDateEditWidth = 330;
constexpr int kDateEditFontPx = 30;
constexpr int kDateArrowPx = 50;
constexpr int kDateDialogFontPx = 33;
constexpr char kDateEditFontFamily[] = "wenquanyi";

constexpr char kFontFamily[] = "wqy-microhei";

// Language entries.
constexpr int kLanReturn = 58;
constexpr int kLanExport = 326;
constexpr int kLanAllCameras = 585;
constexpr int kLanCameraN = 586;
constexpr int kLanSaveShiftHours = 234;
constexpr int kLanExporting = 654;
constexpr int kLanNoUsbDisk = 320;
constexpr int kLanExported = 147;
constexpr int kLanAllDetections = 584;
constexpr int kLanMorningShift = 545;
constexpr int kLanNightShift = 546;
constexpr int kLanDayTotalTitle = 587;
constexpr int kLanOkCaption = 542;
constexpr int kLanNgCaption = 543;
constexpr int kLanDayTotalCaption = 547;
constexpr int kLanNgRate = 588;
constexpr int kLanLegendOk = 589;
constexpr int kLanLegendNg = 590;
// First detection name per system function: mode 0, modes 1 and 2, mode 3.
constexpr int kLanSingleStepNames = 263;
constexpr int kLanSideStepNames = 372;
constexpr int kLanMultiStepNames = 477;

// The end of a failed export, in the four languages of the language table; the log says why.
constexpr const char* kExportFailedTexts[] = {"数据导出失败", "Failed to export the data",
                                              "資料匯出失敗", "データのエクスポートに失敗しました"};
// The end of an export whose days hold no statistics, in the same four languages.
constexpr const char* kExportNothingTexts[] = {
    "所选日期没有可导出的统计数据", "There are no statistics to export for these days",
    "所選日期沒有可匯出的統計資料", "この期間にエクスポートする統計データはありません"};

}  // namespace stats::screen
