#pragma once
// Sizes, counts, times, colours and file names of the camera views, kept in one place.

#include <QColor>

#include "globals.h"

namespace cameraview {

// Frames of a camera view.
constexpr int kRecentNgFrames = 10;        // ring of recent NG frames per detection
constexpr int kSerialCopyBytes = 100;      // start of the serial block kept for log lines
constexpr int kMaxImageSide = 16384;       // a larger frame side is refused as unusable
constexpr int kColorBytesPerPixel = 4;     // R, G, B, A with R in the low byte
constexpr int kDisplayBytesPerPixel = 4;   // the painted picture: R, G, B, X
constexpr int kPolygonPointBuffer = 8096;  // points of the polygon being entered
constexpr int kModeMultiDetect = 3;        // detection mode with its own eight steps

// Timers.
constexpr int kFpsIntervalMs = 1000;
constexpr int kReconnectIntervalMs = 1000;
constexpr int kAlarmBlinkIntervalMs = 1000;  // started by the result decision
constexpr int kDrawHintMs = 3000;

// Files of camera c (1-based) and detection d (1-based), written one after the other.
constexpr const char* kTemplateFile = "./cammer%1%2/template%3.bmp";
constexpr const char* kIgnoreMaskFile = "./cammer%1%2/ignorepoint.bmp";

// Panel font and the pixel sizes of the texts.
constexpr const char* kPanelFontFamily = "wqy-microhei";
constexpr int kRecordFontPx = 35;
constexpr int kStatusFontPx = 35;
constexpr int kMarkFontPx = 100;
constexpr int kRoiFontPx = 30;
constexpr int kCountdownFontPx = 45;
constexpr float kCountdownMinSeconds = 0.02f;

// Alarm blink phases; 2 shows the ignore points instead of blinking (set by the editing page).
constexpr int kBlinkOff = 0;
constexpr int kBlinkOn = 1;
constexpr int kBlinkIgnorePoints = 2;

// A failed area whose measured value is larger cannot be ignored point by point.
constexpr int kMaxIgnoredArea = 2000;

// Labels drop their limit part from this many regions in a detection on.
constexpr int kCompactLabelRois = 11;

// Editing sources (gSource).
constexpr int kSourceNone = -1;
constexpr int kSourceTemplate = 0;
constexpr int kSourceLive = 1;
constexpr int kSourceRecentNg = 2;
constexpr int kSourceOkRecords = 3;
constexpr int kSourceNgRecords = 4;

// Main-window states the view reads.
constexpr int kDetectStopped = 3;
constexpr int kDetectResampling = 2;
constexpr int kResultWaiting = 0;
constexpr int kResultOk = 1;
constexpr int kResultNgAlarm = 2;
constexpr int kResultAreaSetting = 3;
constexpr int kCycleDetecting = 1;
constexpr int kCycleDetected = 2;
constexpr int kCycleWaiting = 3;

// Drawing tools of the editing page.
constexpr int kToolNone = 0;
constexpr int kToolRect = 1;
constexpr int kToolPolygon = 2;
constexpr int kToolCircle = 4;

// Edit states of a view.
constexpr int kEditIdle = 0;
constexpr int kEditDrawing = 1;      // a new area is being drawn
constexpr int kEditMoving = 2;       // the selected area follows the pointer
constexpr int kEditResizing = 3;     // a handle or one polygon point follows the pointer
constexpr int kEditToolPressed = 5;  // rectangle or circle tool pressed, not moved yet

// Region editing by touch (display pixels unless named otherwise).
constexpr int kStoredPolygonPoints = kPolygonPointBuffer - 1;  // an area keeps one point less
constexpr int kMinNewShapeDrag = 9;      // new rectangles and circles must be dragged further
constexpr int kMinFreehandPoints = 6;    // shorter strokes are taps, not areas
constexpr int kMinClickedPoints = 3;     // fewer points enclose nothing
constexpr int kMoveDeadZoneImagePx = 3;  // finger jitter under this many image pixels is ignored
constexpr int kDoubleTapMs = 800;        // a second press sooner than this ends a drawing
constexpr int kDoubleTapPx = 20;         // ... when it lands this close to the first
constexpr int kMoveAllModes = 3;         // 0 selected area, 1 parameters hidden, 2 every area
constexpr int kSizeStepLarge = 10;       // ring radius steps of the panel's outer buttons

// Side panel of the selected area (display pixels). Rows are 51 px apart in the height
// estimate and 50 px apart when placed; the panel keeps clear of the bottom strip.
constexpr int kPanelRowPitch = 51;
constexpr int kPanelRowStep = 50;
constexpr int kPanelMargin = 20;  // gap between the area and the panel
constexpr int kPanelAboveClearance = 40;
constexpr int kPanelBottomClearance = 70;
constexpr int kPanelRowHeight = 44;
constexpr int kPanelLeft = 400;
constexpr int kPanelSliderRightPastHalf = 424;  // slider rows end at gShowW / 2 + this
constexpr int kPanelFontPx = 30;
constexpr int kNgOutputFontPx = 20;
constexpr int kNgOutputItemHeight = 50;
// The fixed buttons: synchronise, fine tune, the four moves and move-all, in one row at the
// bottom of the display area beside the legend.
constexpr int kFixedRowLeft = 350;
constexpr int kFixedRowTopAboveBottom = 80;
constexpr int kFixedRowBottomAboveBottom = 6;
constexpr int kFixedButtonWidth = 180;
constexpr int kFixedButtonGap = 8;

// The editing page's drawing-tool slots a view calls: when the first point of a clicked
// polygon is placed, and when a double tap ends the armed tool.
enum class EditPageCall { StartPolygon, EndPolygon, EndFreehand, EndCircle, EndRect };

// The editing page: a column of touch controls over one edge of the display.
constexpr int kPageWidth = 240;
constexpr int kPageRowHeight = 76;         // every button and combo box
constexpr int kPageHalfButtonWidth = 118;  // the two paging buttons share one row
constexpr int kPageHalfButtonGap = 4;
constexpr int kPageBottomMargin = 30;
constexpr int kPageComboFontPx = 33;
constexpr int kPageComboFontPxJapanese = 21;  // the Japanese item texts are longer
constexpr int kLanguageJapanese = 3;
constexpr int kHelpPageRegions = 6;  // the help page on region editing
constexpr const char* kTemplateTimeFormat = "yyyy-MM-dd hh.mm.ss";
constexpr const char* kRecordPictureSuffix = ".jpg";

// Named colour of the area hints.
constexpr const char* kAreaHintColor = "#E9967A";

// Language entries.
constexpr int kEntryParamFileError = 0;
constexpr int kEntryFunc = 2;
constexpr int kEntryParamSwitch = 3;
constexpr int kEntryRoiSwitch = 4;
constexpr int kEntryMoveUp = 5;  // then down, left, right
constexpr int kEntryMinGray = 10;
constexpr int kEntryMaxGray = 11;
constexpr int kEntryHideSet = 12;
constexpr int kEntryMinArea = 13;
constexpr int kEntryMaxArea = 14;
constexpr int kEntrySpotDet = 15;
constexpr int kEntryReserved = 16;
constexpr int kEntryIgnoreArea = 17;
constexpr int kEntryPosition = 21;
constexpr int kEntrySensitivity = 23;
constexpr int kEntryDefect = 25;
constexpr int kEntryOuterRadius = 26;
constexpr int kEntryCentre = 27;
constexpr int kEntryInnerRadius = 28;
constexpr int kEntryBottomRight = 29;
constexpr int kEntryTopLeft = 30;
constexpr int kEntryPointN = 31;
constexpr int kEntryAllMove = 32;
constexpr int kEntrySingleDisplay = 34;
constexpr int kEntryPolygonFull = 35;
constexpr int kEntryTooManyAreas = 36;
constexpr int kEntryCopyArea = 38;
constexpr int kEntryMinScore = 362;
constexpr int kEntryBlackArea = 392;
constexpr int kEntryWhiteArea = 393;
constexpr int kEntrySimilarity = 398;
constexpr int kEntryWhiteNum = 521;
constexpr int kEntryAngleCorrection = 583;
constexpr int kEntryBlackNum = 626;
constexpr int kEntryMinNum = 627;
constexpr int kEntryMaxNum = 628;
constexpr int kEntryFilterSize = 22;
constexpr int kEntryArea = 24;
constexpr int kEntryOkRecords = 216;
constexpr int kEntryNgRecords = 217;
constexpr int kEntryRecordTitle = 218;
constexpr int kEntryNamesStandard = 263;
constexpr int kEntryNamesTwoMould = 372;
constexpr int kEntryNamesMulti = 477;
constexpr int kEntryResampling = 310;
constexpr int kEntryStopping = 311;
constexpr int kEntryDetecting = 312;
constexpr int kEntryStatusLine = 313;
constexpr int kEntryRecentNg = 314;
constexpr int kEntryTemplates = 315;
constexpr int kEntryCounters = 316;
constexpr int kEntryFrameLostWithLink = 677;
constexpr int kEntryFrameNotDelivered = 690;
constexpr int kEntryDetected = 528;
constexpr int kEntryWaiting = 529;
constexpr int kEntryCameraLost = 655;
constexpr int kEntryCameraAway = 685;

}  // namespace cameraview
