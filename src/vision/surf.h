#pragma once
// Similarity score of one region against its templates, 0..100 (higher is more similar).
//
// Training builds a grey band per pixel: the darkest and brightest value the templates took
// in the pixel's 3 x 3 neighbourhood (a part off by one pixel after position correction stays
// inside), widened by a noise tolerance. A frame's crop is first corrected for a global
// brightness offset (the median difference over the pixels where the templates agree), then
// every pixel's distance outside its band is measured. The score is local: 100 minus the share
// of difference in the worst square window of the region, so that a compact fault costs as
// much in a large region as in a small one. Deterministic; the cost of a match does not depend
// on the number of templates.
//
// A default-constructed matcher holds no buffers.

#include <opencv2/core.hpp>
#include <vector>

class SURF {
public:
    SURF() = default;

    // Starts a model for crops of width x height; mask (8-bit, 255 = compare) has that size or
    // is empty (compare everything).
    bool Create(int width, int height, const cv::Mat& mask);
    // Adds one template crop of the created size; the other arguments are not used.
    bool AddTemp(const cv::Mat& crop, int reserved1, int reserved2, int minScore);
    // Prepares the templates; the arguments are not used.
    bool Train(int reserved1, int reserved2, int reserved3, int reserved4);
    // Score of the crop, 0..100; sets 255 in out (8-bit, the crop's size; made so when it is
    // not) on the differing pixels of the windows that cost the score points. 0 when not
    // trained or when the crop does not fit.
    float Match(cv::Mat& crop, cv::Mat& out) const;

    bool IsValid() const { return trained_; }
    void Clear();

private:
    // One window of the local measure, as corners of the integral picture.
    struct Window {
        int topLeft, topRight, bottomLeft, bottomRight;  // offsets into the CV_32S integral
        float weight;    // 1 / (saturation x the pixels the window is judged on)
        cv::Rect cells;  // the cells of the marking grid it covers
    };

    bool createImpl(int width, int height, const cv::Mat& mask);
    bool addImpl(const cv::Mat& crop);
    bool trainImpl();
    float matchImpl(const cv::Mat& crop, cv::Mat& out) const;
    int brightnessOffset(const cv::Mat& crop) const;
    void layOutWindows();

    cv::Size size_;
    cv::Mat mask_;  // 255 = compared
    // Accumulators, released by Train.
    cv::Mat minimum_;
    cv::Mat maximum_;
    int templateCount_ = 0;
    // Trained model.
    cv::Mat lower_;      // a pixel below is outside its band
    cv::Mat upper_;      // a pixel above is outside its band
    cv::Mat reference_;  // middle of the templates' range, for the brightness estimate
    cv::Mat steady_;     // 255 where the templates agree: where brightness is estimated
    std::vector<Window> windows_;
    int cell_ = 1;       // side of the marking grid's cells
    cv::Size cellGrid_;  // cells across and down
    bool trained_ = false;
};
