#pragma once
// Sizes, places, texts and times of the fail pictures, the retrain and ignore-point files and
// the fail-image saver, in one place.

#include "globals.h"

namespace failimage {

// --- the shared slots (gpFailImage, gisSaveFail, gFailIndex) ---
constexpr int kCameras = kMaxCameras;
constexpr int kSteps = kMaxDetections;
constexpr int kKinds = 2;  // 0 NG picture, 1 OK picture
constexpr int kKindNG = 0;
constexpr int kKindOK = 1;
constexpr int kSlotCount = kCameras * kSteps * kKinds;
constexpr int kBytesPerPixel = 4;  // slots hold 32-bit RGB pictures

// --- annotation of a fail picture ---
constexpr const char* kFontFamily = "wqy-microhei";
constexpr int kResultFontPx = 26;  // "NG" / "OK", the safety-door line, the handling text
constexpr int kLabelFontPx = 16;   // area labels
constexpr int kResultX = 5;        // baseline of "NG" / "OK"
constexpr int kResultY = 80;
constexpr int kLineX = 5;  // baseline of the safety-door line
constexpr int kLineY = 110;
constexpr int kHandlingX = 55;  // baseline of the alarm handling text
constexpr int kHandlingY = 110;
// Area labels sit in (x, y - 26)..(x + 399, y - 2) above the area's anchor.
constexpr int kLabelTop = 26;
constexpr int kLabelBottom = 2;
constexpr int kLabelWidth = 400;
// From this many areas in a detection on, labels show the value only.
constexpr int kShortLabelAreas = 11;
// The ring's own outline is drawn in display coordinates with this pen (roi::kPenWidth).
constexpr int kRingPenWidth = 3;

// Language entries of the texts drawn on fail pictures.
constexpr int kEntrySafetyDoorTrigger = 265;  // "Safety door trigger detection"
constexpr int kEntryAlarmClearMethod = 120;   // "Alarm clear method:"
constexpr int kEntryDontDetect = 47;          // "Don't Detect"
constexpr int kEntryAddAsTemp = 48;           // "Add As Temp"
constexpr int kEntryRedetectToMold = 338;     // "Re-detect switch to mold detection"
constexpr int kEntryRedetected = 61;          // "Re-detected"
constexpr int kEntryOkImageRedetect = 143;    // "OK Image Re-detect"

// Alarm handling states (DeRaRazovi::alarmClearState) that the handling text reads and moves.
constexpr int kStateDontDetect = 4;
constexpr int kStateAddAsTemp = 5;
constexpr int kStateRedetectToMold = 6;
constexpr int kStateRedetected = 7;
constexpr int kStateRedetectedOK = 8;
constexpr int kStateNGImageDue = 9;
constexpr int kStateBothImagesDue = 10;

// --- per-detection files ---
constexpr const char* kTemplatePattern = "./cammer%1%2/template%3.bmp";
constexpr const char* kIgnorePointPattern = "./cammer%1%2/ignorepoint.bmp";
// Detection mode whose cameras always keep 8 detections.
constexpr int kSequenceMode = 3;

// --- the saver ---
constexpr const char* kDefaultFolderRoot = "./alarmimage";
constexpr const char* kFolderPattern = "%1//camera%2//detect%3//%4";
constexpr const char* kNGFolder = "NG";
constexpr const char* kOKFolder = "OK";
constexpr const char* kPictureFilter = "*.jpg";
constexpr const char* kPictureSuffix = ".jpg";
constexpr const char* kPictureFormat = "JPG";
constexpr const char* kTimeFormat = "yyyy-MM-dd_hh.mm.ss";
constexpr int kDefaultJpegQuality = -1;  // the image library's default
constexpr int kScanPeriodMs = 100;
constexpr int kPauseAfterPictureMs = 200;
// After an NG picture that is followed by the step's OK picture in the same folder: names
// carry whole seconds, so the second picture must not be written in the same second.
constexpr int kPauseAfterUnreportedMs = 1000;
// At a stop, the pictures still marked are written for at most this long (beside the
// statistics' save, well within the time a run command or a shutdown gives the program).
constexpr int kStopWriteLimitMs = 5000;

}  // namespace failimage
