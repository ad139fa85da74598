#pragma once
// The global brightness change between a picture and its reference, as the matchers compensate
// it before comparing.

#include <opencv2/core.hpp>

namespace vision {

// The median of picture - reference (grey levels) over the pixels where `where` is non-zero,
// sampled every `step` rows and columns: a compact fault moves it little, a change of the
// lighting moves it fully. False, and median untouched, when no pixel is sampled.
bool medianDifference(const cv::Mat& picture, const cv::Mat& reference, const cv::Mat& where,
                      int step, int* median);

}  // namespace vision
