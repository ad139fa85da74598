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
// Grey levels a pixel may lie outside the templates' range before it differs: sensor noise.
constexpr int kSimilarityTolerance = 10;
// Grey levels beyond its band at which a pixel counts as wholly different; nearer pixels count
// in part, so that the score falls smoothly with the contrast of a fault.
constexpr int kSimilaritySaturation = 24;
// Shift (pixels) the band tolerates: position correction leaves up to one pixel.
constexpr int kSimilarityShiftTolerance = 1;
// Largest global brightness offset (grey levels) that is compensated: a fault covering most of
// a small region must not be explained away as a change of the lighting.
constexpr int kSimilarityMaxBrightnessShift = 16;
// Template pixels whose band spans at most this many grey levels are steady: the brightness
// offset is estimated on them, not on edges where a small shift changes the value.
constexpr int kSimilaritySteadyRange = 24;
// Only every n-th row and column is sampled to estimate the brightness offset.
constexpr int kSimilaritySampleStep = 2;
// Side of the square window over which difference is averaged (pixels). A compact fault of
// 30 x 30 pixels fills more than half of it, wherever it lies in the region.
constexpr int kSimilarityWindow = 40;
// Windows are laid every this many pixels at most; the marking grid has cells of this side.
constexpr int kSimilarityWindowStep = 4;
// A window is judged on at least this share of its area, so that the few masked-in pixels of a
// window at the edge of a thin mask cannot decide the score alone.
constexpr double kSimilarityMinWindowFill = 0.25;
// Windows whose share of difference reaches this (5 points of score) are marked in the result
// picture, on their pixels that lie at least half the saturation outside their band.
constexpr double kSimilarityMarkedShare = 0.05;

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
// Two distinct places whose correlations differ by less than this cannot be told apart: the
// part is reported not found rather than put in a place it may not be.
constexpr double kShapeAmbiguityMargin = 0.03;
// After each refinement, places whose correlation trails the best by more than this are dropped:
// they are no rival any more, and following them costs time.
constexpr double kShapeKeepMargin = 0.15;
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
// A homography is trusted only when RANSAC kept at least this many matches, and this share of
// them: fewer fit any warp by chance.
constexpr int kHomoMinInliers = 12;
constexpr double kHomoMinInlierShare = 0.25;
// Scale of the frame against the template at the frame centre: the camera and the mould do not
// move far enough to change it more.
constexpr double kHomoMinScale = 0.8;
constexpr double kHomoMaxScale = 1.25;
// Ratio of the singular values at the frame centre: a stretch or shear beyond this is no camera
// pose.
constexpr double kHomoMaxAnisotropy = 1.15;
// Change of the projective denominator across the frame (the scale from one side to the
// other): a camera tilted by a few degrees changes it by some per cent; more bends the picture
// out of recognition.
constexpr double kHomoMaxPerspective = 0.2;
// A frame corner may move by at most this share of the frame's diagonal: the part may shift and
// turn, but not leave the picture.
constexpr double kHomoMaxCornerShare = 0.1;

}  // namespace vision::limits
