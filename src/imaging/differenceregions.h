#pragma once
// Outlines of what changed between two pictures of the same scene, as the start of areas the
// operator would otherwise draw by hand.

#include <opencv2/core.hpp>
#include <vector>

namespace imaging {

// A grey step smaller than this is sensor noise, not a change.
constexpr int kDifferenceThreshold = 40;
// Side of the square that opens away specks and closes small gaps of a change.
constexpr int kDifferenceCleanSize = 5;
// Changes smaller than this (in pixels) are not worth an area.
constexpr double kDifferenceMinArea = 100.0;
// How far a polygon may stray from the hull it simplifies, as a share of the hull's perimeter.
constexpr double kDifferencePolygonTolerance = 0.01;
constexpr int kDifferenceMaxRegions = 2;

// The largest changed regions (at most two, largest first) between two 8-bit one-channel
// pictures of the same size, each a convex polygon in picture coordinates. Pictures that do not
// match in size or are not 8-bit one-channel give nothing.
std::vector<std::vector<cv::Point>> differenceRegions(const cv::Mat& before, const cv::Mat& after);

}  // namespace imaging
