#pragma once
// Limits and fixed values of the ROI shapes and the per-camera ROI parameters.

#include "globals.h"

namespace roi {

constexpr int kDetections = kMaxDetections;  // detection steps per camera
constexpr int kMaxRois = 100;                // ROIs per detection
constexpr int kMaxPolygonPoints = 8096;      // points a polygon slot can hold
constexpr int kSpareValues = 8;              // reserved values stored in a detection row
constexpr int kNgOutputs = 4;                // NG output numbers 0..3

// Shape types (CammerSingleton::roiShapeType) and the stored shape code of a freehand polygon.
constexpr int kShapeRect = 1;
constexpr int kShapePolygon = 2;
constexpr int kShapeRing = 4;
constexpr int kFreehandFlag = 0x100;

// Function codes (CammerSingleton::roiFunc).
constexpr int kFuncDefect = 0;
constexpr int kFuncSpot = 1;
constexpr int kFuncIgnore = 2;
constexpr int kFuncPosition = 3;
constexpr int kFuncDarkArea = 4;
constexpr int kFuncBrightArea = 5;
constexpr int kFuncSimilarity = 6;
constexpr int kFuncBrightCount = 7;
constexpr int kFuncDarkCount = 8;
constexpr int kFuncRegistration = 10;

// Handles and hit-testing of the shapes (display pixels).
constexpr int kHandleTolerance = 20;  // corner, ring band and polygon point tolerance
constexpr int kHandleHalf = 10;       // handle squares are 20 x 20 around their point
constexpr int kContainsMargin = 20;   // rectangles and rings are grabbed this far outside
constexpr int kPolygonMargin = 20;    // left/top margin of a polygon's display rectangle
// A polygon's display rectangle narrower or lower than this (x2 - x1, y2 - y1) is hit-tested
// by the rectangle alone.
constexpr int kPolygonContourMinExtent = 79;
constexpr int kPenWidth = 3;

// Defaults of a ROI whose row is missing or unusable.
constexpr int kDefaultParam1 = 25;
constexpr int kDefaultParam2 = 100;
constexpr int kDefaultParam3 = 3;
constexpr int kDefaultFunc = kFuncDefect;
constexpr int kDefaultRectX1 = 50;
constexpr int kDefaultRectY1 = 50;
constexpr int kDefaultRectX2 = 100;
constexpr int kDefaultRectY2 = 100;

// A stored number is an optional sign and at most this many digits; longer tokens read as 0.
constexpr int kMaxTokenDigits = 18;

// The ring radius is stored as inner x 65536 + outer.
constexpr int kRingRadiusBits = 16;

}  // namespace roi
