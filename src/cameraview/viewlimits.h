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

// Edit state: a new area is being drawn.
constexpr int kEditDrawing = 1;

// Named colour of the area hints.
constexpr const char* kAreaHintColor = "#E9967A";

// Language entries.
constexpr int kEntryParamFileError = 0;
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
constexpr int kEntryDetected = 528;
constexpr int kEntryWaiting = 529;
constexpr int kEntryCameraLost = 655;

}  // namespace cameraview
