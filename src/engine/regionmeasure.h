#pragma once
// The per-region measurements and decisions of the inspection, as plain functions of pictures
// and parameters: the grey band of a function, the opening that removes specks, the blob
// measurement, and the OK/NG decision with the limits reported in the result record.

#include <opencv2/core.hpp>

#include "enginecontext.h"

class WizardPara;

namespace engine {

// Where a region lies in the frame, or why it cannot be measured.
struct RegionPlace {
    int error = 0;     // 0, kErrorNoMask or kErrorEmptyRegion
    cv::Rect rect;     // the region's image rectangle (x, y, width, height)
    cv::Rect inFrame;  // the part of it inside the frame
    cv::Mat mask;      // the region mask over inFrame (a view of the given mask)
};
// An empty mask or one that does not have the rectangle's size: kErrorNoMask; a rectangle
// without width or height, or entirely outside the frame: kErrorEmptyRegion.
RegionPlace placeRegion(const CammerSingleton& param, int g, int i, const cv::Mat& mask,
                        cv::Size frame);

// Functions that are not inspected and give no result: ignore, position, registration areas.
bool isUninspected(int func);
// Functions measured by a grey band (every code but defect, similarity and the uninspected).
bool isBandFunction(int func);
// Bright count and dark count.
bool isCountFunction(int func);

// dst = 255 where lo <= src <= hi (both inclusive), else 0; lo > hi gives all 0.
void thresholdBand(const cv::Mat& src, cv::Mat& dst, int lo, int hi);

struct GreyBand {
    int lo = 0;
    int hi = 255;
};
// Spot: the two bytes of param3 (smaller is lo); dark area and dark count: [0, param1 & 255];
// bright area and bright count: [param1 & 255, 255]; any other band function: [0, 255].
GreyBand bandFor(int func, int param1, int param3);

// Side of the opening's elliptic kernel as the settings give it: similarity 1; defect param3
// with showAllParam, else filterSize; count functions max(2 x param3 + 1, 1); other band
// functions minSpot.
int openingKernel(int func, int param3, const WizardPara& para);

// A count region whose kernel does not fit is cleared: with m the smaller side of the region,
// when 2 x (m / 2) - slack <= k. The inspection uses slack 2, the single-region test slack 3.
constexpr int kCountClearSlackRun = 2;
constexpr int kCountClearSlackTest = 3;
bool countKernelTooLarge(cv::Size region, int kernel, int slack);

// out = opening of bin with an elliptic k x k kernel (constant border); k is kept within
// 1 .. kMaxOpeningKernel, and k = 1 copies bin.
void openRegion(const cv::Mat& bin, cv::Mat& out, int kernel);

// The outer contours of a binary region picture.
struct BlobMeasure {
    int area = 0;   // summed contour areas, truncated to int after each addition
    int count = 0;  // all contours
};
// Measures `out`; the first kMaxDefectRects bounding boxes, moved by offset, go to defects
// (when given), whose count is set.
BlobMeasure measureBlobs(const cv::Mat& out, cv::Point offset, DefectList* defects);

// The decision of one region and the limits its result record reports (-1 = not set).
struct Verdict {
    bool ng = false;
    int value = 0;
    int lower = -1;
    int upper = -1;
    int param = -1;
};
// area: summed blob area; blobs: number of blobs; score: similarity score.
Verdict judgeRegion(int func, int area, int blobs, int score, int param1, int param2, int param3,
                    const WizardPara& para);

}  // namespace engine
