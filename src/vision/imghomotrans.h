#pragma once
// Homography registration of a camera frame onto a detection's template frame: SIFT features
// on a picture scaled down to about half a megapixel, the stitching module's best-of-two
// matcher, a RANSAC homography from frame to template, and a perspective warp.
//
// The template's features are computed once by setTemplate; transImageHomo computes only the
// frame's. A homography that no camera pose could give (too few inliers, a scale, shear or
// tilt beyond what the machine allows, a warp that moves the frame's corners too far) counts
// as no homography. Not thread-safe for one object (the frame features are kept in the object);
// objects are independent.

#include <opencv2/core.hpp>
#include <opencv2/stitching/detail/matchers.hpp>
#include <vector>

namespace vision {

// Why a homography from frame to template (frame of `frame` size, `inliers` of `matches` point
// pairs kept by RANSAC) cannot be a camera pose; null when it is plausible.
const char* implausibleHomography(const cv::Matx33d& h, cv::Size frame, int inliers, int matches);

}  // namespace vision

class ImgHomoTrans {
public:
    ImgHomoTrans();

    // templ: the template frame; mask: 8-bit single channel of the template's size, or empty;
    // true when the template yielded at least minFeatures keypoints.
    bool setTemplate(const cv::Mat& templ, const cv::Mat& mask, int minFeatures);
    // SIFT features of img at the working scale (within the mask when it fits), tagged index.
    void findFeature(const cv::Mat& img, cv::detail::ImageFeatures& out, int index);
    // dst = src warped onto the template; true when dst received the warped frame. dst keeps
    // its buffer when it already has src's size and type.
    bool transImageHomo(cv::Mat src, cv::Mat& dst, float matchConf);

    // Keypoints found in the template by the last setTemplate.
    int templateFeatures() const;
    // Why the last transImageHomo gave no warp; null after a success.
    const char* lastFailure() const { return lastFailure_; }

private:
    bool setTemplateImpl(const cv::Mat& templ, const cv::Mat& maskIn, int minFeatures);
    void findFeatureImpl(const cv::Mat& img, cv::detail::ImageFeatures& out, int index);
    bool transImpl(const cv::Mat& src, cv::Mat& dst, float matchConf);

    cv::Mat mask;
    std::vector<cv::detail::ImageFeatures> features;  // 0: latest frame, 1: template
    float scale;
    const char* lastFailure_ = nullptr;
};
