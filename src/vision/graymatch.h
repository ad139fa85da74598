#pragma once
// Grey-template defect matcher of one defect region.
//
// Training builds a per-pixel variation model from the templates: the darkest and brightest
// value each pixel took, widened to the 3x3 neighbourhood on edges (a part shifted by one pixel
// moves its contours), then widened by a grey-level tolerance. Matching compensates a small
// global brightness offset and marks every pixel of the training mask outside its band.
//
// Life cycle: Create, AddTemp once per template, Train, then Match as often as needed; Clear
// drops everything. A default-constructed matcher holds no buffers.

#include <opencv2/core.hpp>

class GrayMatch {
public:
    GrayMatch() = default;

    // Starts a model for crops of width x height; mask (8-bit, 255 = inspect) has that size or
    // is empty (inspect everything). The last argument is not used.
    bool Create(int width, int height, const cv::Mat& mask, int reserved);
    // Adds one template crop of the created size (8-bit single channel).
    bool AddTemp(const cv::Mat& crop);
    // sensitivity: grey-level tolerance 0..255 (larger is less sensitive); amplify: multiple
    // 0..4 of the difference (0 and 1 leave it as it is); flatPercent and edgePercent scale the
    // tolerance on flat and on edge pixels.
    bool Train(int sensitivity, int amplify, int flatPercent, int edgePercent);
    // Sets 255 in out (8-bit, the crop's size; made so when it is not) on every defect pixel
    // inside the training mask. A crop of the wrong size leaves out zero and answers false.
    bool Match(const cv::Mat& crop, cv::Mat& out) const;

    bool IsValid() const { return trained_; }
    void Clear();

private:
    bool createImpl(int width, int height, const cv::Mat& mask);
    bool addImpl(const cv::Mat& crop);
    bool trainImpl(int sensitivity, int amplify, int flatPercent, int edgePercent);
    bool matchImpl(const cv::Mat& crop, cv::Mat& out) const;
    int brightnessOffset(const cv::Mat& crop) const;

    cv::Size size_;
    cv::Mat mask_;  // 255 = inspected
    // Accumulators, released by Train.
    cv::Mat minimum_;
    cv::Mat maximum_;
    cv::Mat sum_;  // CV_32S
    int templateCount_ = 0;
    // Trained model.
    cv::Mat lower_;      // a pixel below is a defect
    cv::Mat upper_;      // a pixel above is a defect
    cv::Mat reference_;  // mean template, for the brightness estimate
    cv::Mat flat_;       // 255 on inspected non-edge pixels: where brightness is estimated
    bool trained_ = false;
};
