#pragma once
// Limits, fixed arguments and result codes of the recognition engine, in one place.

#include "roilimits.h"

namespace engine {

constexpr int kDetections = roi::kDetections;  // detection steps per camera
constexpr int kMaxRois = roi::kMaxRois;        // regions per detection

// Defect rectangles kept per region; further blobs still count towards the value.
constexpr int kMaxDefectRects = 99;

// Result codes of a region that could not be inspected (written to the operation record).
constexpr int kErrorNoMask = -1;       // the region has no usable mask
constexpr int kErrorUntrained = -2;    // the detection was never trained for this frame
constexpr int kErrorEmptyRegion = -3;  // the region has no pixels inside the frame

// Fixed arguments of the matchers.
constexpr int kDefectFlatPercent = 100;
constexpr int kDefectEdgePercent = 150;
constexpr int kSimilarityAddArg1 = 1;
constexpr int kSimilarityAddArg2 = 50;
constexpr int kHomoMinFeatures = 300;
constexpr float kHomoMatchConfidence = 0.4f;
constexpr int kShapeModelThreshold = 255;

// Rotation search is asked for with an angle range in 1..180 degrees.
constexpr int kMinRotateAngle = 1;
constexpr int kMaxRotateAngle = 180;
// A rotation found below this (degrees) is applied as a pure shift: turning by it would move no
// pixel of a full-HD frame by a tenth of a pixel more, yet interpolation would blur them all.
constexpr double kMinResampledAngle = 0.05;
// WizardPara::motionCorrect value that switches position correction off.
constexpr int kMotionCorrectOff = -1;

// Opening kernels are kept within 1 .. this many pixels: a garbage setting must not build a
// kernel of megabytes (an opening that large removes everything a region can hold anyway).
constexpr int kMaxOpeningKernel = 511;

// Grey band of the spot function: low byte and second byte of roiParam3.
constexpr int kBandByteMask = 0xFF;
constexpr int kBandHighShift = 8;
// Count range of the count functions: low and high 16 bits of roiParam2.
constexpr unsigned kCountLowMask = 0xFFFF;
constexpr int kCountHighShift = 16;

}  // namespace engine
