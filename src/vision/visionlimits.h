#pragma once
// Every tuning constant and limit of the vision matchers, in one place.

namespace vision::limits {

// ---- Grey-template defect matcher (GrayMatch) ----
// Sensor noise that no sensitivity setting can go below, in grey levels.
constexpr int kNoiseFloor = 4;
// A template pixel counts as an edge when its neighbourhood reaches beyond its own value by more
// than this share of the flat tolerance.
constexpr double kEdgeWideningShare = 0.5;
// Neighbourhood (pixels) over which edge pixels take the darkest and brightest template value,
// so that a part shifted by one pixel does not raise an alarm along its contours.
constexpr int kEdgeShiftTolerance = 1;
// Largest global brightness offset (grey levels) that is compensated before comparing.
constexpr int kMaxBrightnessShift = 24;
// Only every n-th row and column is sampled to estimate the brightness offset.
constexpr int kBrightnessSampleStep = 2;
// Largest difference multiple accepted from the settings.
constexpr int kMaxAmplify = 4;

// ---- Similarity score (SURF) ----
// Shift of the part (pixels, each direction) that still counts as the same picture.
constexpr int kSimilarityShift = 2;
// Region side below which no shift is searched (the shifted core would be too small).
constexpr int kSimilarityMinShiftSide = 16;
// Side of the square blocks whose structure is compared, and the smallest block used.
constexpr int kSimilarityBlock = 16;
constexpr int kSimilarityMinBlock = 4;
// A block needs this fraction of its pixels inside the mask to count.
constexpr double kSimilarityMinBlockFill = 0.25;
// Standard deviation (grey levels) below which a block or region counts as flat.
constexpr double kSimilarityFlatSigma = 6.0;
// Regularisation of the structure term (grey levels squared): contrast below about 10 grey
// levels is treated as noise.
constexpr double kSimilarityStructureC = 100.0;
// Difference of block means (grey levels) at which the brightness term falls to one half.
constexpr double kSimilarityLuminanceTolerance = 24.0;
// Range of the global contrast correction between frame and template.
constexpr double kSimilarityMinGain = 0.25;
constexpr double kSimilarityMaxGain = 4.0;
// Blocks scoring below this are marked as different in the result picture.
constexpr double kSimilarityDifferentBlock = 0.5;

// ---- Position search (FindShape) ----
// The model is matched on a core shrunk by this fraction of its smaller side on every side,
// so that the part may move out of a model area that touches the frame edge.
constexpr double kShapeCoreMargin = 0.125;
constexpr int kShapeMinCoreMargin = 2;
// The core must keep at least this many pixels on its smaller side (full resolution).
constexpr int kShapeMinCoreSide = 16;
// The core at the top pyramid level keeps at least this many pixels on its smaller side.
constexpr int kShapeMinTopCoreSide = 12;
// Largest number of pyramid levels, whatever the settings ask for.
constexpr int kShapeMaxLevels = 8;
// The top level searched exhaustively is made no larger than this (pixels), so that a
// layer setting of 1 on a full frame cannot stall the inspection.
constexpr int kShapeMaxTopSearchPixels = 160 * 1024;
// Hypotheses kept from the exhaustive top-level search and refined downwards.
constexpr int kShapeCandidates = 4;
// Accuracy setting range and the minimum correlation it asks for: base + accuracy * step.
constexpr int kShapeMaxAccuracy = 10;
constexpr double kShapeMinScoreBase = 0.4;
constexpr double kShapeMinScoreStep = 0.05;
// Search pictures with a standard deviation below this (grey levels) are flat: nothing to find.
constexpr double kShapeFlatSigma = 2.0;
// Largest rotation range in degrees (either direction).
constexpr int kShapeMaxAngle = 180;
// Angle steps are kept within these bounds (degrees).
constexpr double kShapeMinAngleStep = 0.05;
constexpr double kShapeMaxAngleStep = 10.0;

// ---- Homography registration (ImgHomoTrans) ----
// Feature detection works on pictures of at most this many pixels.
constexpr double kHomoWorkingPixels = 500000.0;
constexpr int kHomoSiftOctaveLayers = 3;
constexpr double kHomoSiftContrast = 0.04;
constexpr double kHomoSiftEdge = 10.0;
constexpr double kHomoSiftSigma = 1.6;
constexpr int kHomoMatchCountThreshold = 6;
constexpr int kHomoMinPointPairs = 4;
constexpr double kHomoReprojectionPx = 3.0;
constexpr int kHomoRansacIterations = 2000;
constexpr double kHomoRansacConfidence = 0.995;

}  // namespace vision::limits
