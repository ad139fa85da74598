#pragma once
// Similarity score of one region against its templates, 0..100 (higher is more similar).
//
// The frame's crop is aligned to each template within a small shift (masked normalised
// cross-correlation), corrected for a global linear brightness change, and compared block by
// block: textured blocks by their structure (a regularised correlation, so that noise in weak
// texture does not count), flat blocks by their brightness. The score is the masked-pixel
// weighted mean of the block scores, the best over all templates. Deterministic.
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
    // not) over the blocks that differ from the best template. 0 when not trained or when the
    // crop does not fit.
    float Match(cv::Mat& crop, cv::Mat& out) const;

    bool IsValid() const { return trained_; }
    void Clear();

private:
    struct Template {
        cv::Mat image;      // 8-bit
        cv::Mat weighted;   // CV_32F, mask * (image - mean) over the core, for the alignment
        double norm = 0.0;  // L2 norm of weighted
        double mean = 0.0;  // over the masked core
        double sigma = 0.0;
    };
    struct Comparison {
        double score = 0.0;
        cv::Point shift;
        cv::Mat different;  // 8-bit, crop size
    };

    bool createImpl(int width, int height, const cv::Mat& mask);
    bool trainImpl();
    float matchImpl(const cv::Mat& crop, cv::Mat& out) const;
    cv::Point bestShift(const Template& t, const cv::Mat& cropF) const;
    Comparison compare(const Template& t, const cv::Mat& crop, const cv::Mat& cropF) const;

    cv::Size size_;
    cv::Mat mask_;      // 255 = compared
    int shift_ = 0;     // shift searched in each direction
    cv::Rect core_;     // template pixels compared (the crop is read shifted by up to shift_)
    cv::Mat coreMask_;  // CV_32F, 1 = compared, over core_
    double coreCount_ = 0.0;
    int block_ = 0;
    std::vector<Template> templates_;
    bool trained_ = false;
};
