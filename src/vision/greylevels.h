#pragma once
// Grey-level helpers the template matchers share: the range a pixel's neighbourhood takes in
// the templates, and the global brightness change between a picture and its reference.

#include <opencv2/core.hpp>

namespace vision {

// low = the darkest of minimum, high = the brightest of maximum, within reach pixels of each
// pixel (a square): where a part shifted by up to reach pixels may bring its grey levels.
void neighbourhoodRange(const cv::Mat& minimum, const cv::Mat& maximum, int reach, cv::Mat& low,
                        cv::Mat& high);

// The median of picture - reference (grey levels) over the pixels where `where` is non-zero,
// sampled every `step` rows and columns: a compact fault moves it little, a change of the
// lighting moves it fully. False, and median untouched, when no pixel is sampled.
bool medianDifference(const cv::Mat& picture, const cv::Mat& reference, const cv::Mat& where,
                      int step, int* median);

}  // namespace vision
