#include "imghomotrans.h"

#include <algorithm>
#include <cmath>
#include <opencv2/calib3d.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>

#include "visionguard.h"
#include "visionlimits.h"

namespace lim = vision::limits;

namespace {
constexpr int kFrameIndex = 0;
constexpr int kTemplateIndex = 1;
}  // namespace

namespace vision {

const char* implausibleHomography(const cv::Matx33d& hIn, cv::Size frame, int inliers,
                                  int matches) {
    if (inliers < lim::kHomoMinInliers || inliers < lim::kHomoMinInlierShare * matches)
        return "too few inliers";
    if (frame.width <= 0 || frame.height <= 0) return "empty frame";
    if (!cv::checkRange(hIn) || std::abs(hIn(2, 2)) < 1e-12) return "degenerate";
    const cv::Matx33d h = hIn * (1.0 / hIn(2, 2));

    // Scale and shape are judged on the warp's linear approximation at the frame centre: with
    // perspective the linear part alone describes only the frame's origin corner.
    const double cx = frame.width / 2.0, cy = frame.height / 2.0;
    const double w = h(2, 0) * cx + h(2, 1) * cy + 1.0;
    if (!(w > 0)) return "folded";
    const double u = h(0, 0) * cx + h(0, 1) * cy + h(0, 2);
    const double v = h(1, 0) * cx + h(1, 1) * cy + h(1, 2);
    const double a = (h(0, 0) * w - u * h(2, 0)) / (w * w);
    const double b = (h(0, 1) * w - u * h(2, 1)) / (w * w);
    const double c = (h(1, 0) * w - v * h(2, 0)) / (w * w);
    const double d = (h(1, 1) * w - v * h(2, 1)) / (w * w);
    const double det = a * d - b * c;
    if (!(det > 0)) return "mirrored or collapsed";
    const double scale = std::sqrt(det);
    if (scale < lim::kHomoMinScale || scale > lim::kHomoMaxScale) return "scale out of range";
    // Singular values of the linear approximation, in closed form.
    const double q = std::hypot((a + d) / 2, (c - b) / 2);
    const double r = std::hypot((a - d) / 2, (c + b) / 2);
    if (q - r <= 0 || (q + r) / (q - r) > lim::kHomoMaxAnisotropy) return "sheared";
    if (std::abs(h(2, 0)) * frame.width + std::abs(h(2, 1)) * frame.height >
        lim::kHomoMaxPerspective)
        return "too much perspective";

    const double reach = lim::kHomoMaxCornerShare * std::hypot(frame.width, frame.height);
    const cv::Point2d corners[] = {{0, 0},
                                   {double(frame.width), 0},
                                   {double(frame.width), double(frame.height)},
                                   {0, double(frame.height)}};
    std::vector<cv::Point2f> moved;
    for (const cv::Point2d& p : corners) {
        const cv::Vec3d m = h * cv::Vec3d(p.x, p.y, 1.0);
        if (m[2] <= 0) return "folded";
        const cv::Point2d q2(m[0] / m[2], m[1] / m[2]);
        if (cv::norm(q2 - p) > reach) return "corners moved too far";
        moved.emplace_back(q2);
    }
    if (!cv::isContourConvex(moved)) return "folded";
    return nullptr;
}

}  // namespace vision

ImgHomoTrans::ImgHomoTrans() : features(2), scale(1.0f) {}

bool ImgHomoTrans::setTemplate(const cv::Mat& templ, const cv::Mat& maskIn, int minFeatures) {
    return vision::guarded("ImgHomoTrans::setTemplate", false,
                           [&] { return setTemplateImpl(templ, maskIn, minFeatures); });
}

void ImgHomoTrans::findFeature(const cv::Mat& img, cv::detail::ImageFeatures& out, int index) {
    vision::guarded("ImgHomoTrans::findFeature", 0, [&] {
        findFeatureImpl(img, out, index);
        return 0;
    });
}

bool ImgHomoTrans::transImageHomo(cv::Mat src, cv::Mat& dst, float matchConf) {
    lastFailure_ = "error";
    return vision::guarded("ImgHomoTrans::transImageHomo", false,
                           [&] { return transImpl(src, dst, matchConf); });
}

int ImgHomoTrans::templateFeatures() const {
    return features.size() > kTemplateIndex ? int(features[kTemplateIndex].keypoints.size()) : 0;
}

bool ImgHomoTrans::setTemplateImpl(const cv::Mat& templ, const cv::Mat& maskIn, int minFeatures) {
    features.resize(2);
    const double area = double(templ.rows) * templ.cols;
    if (area <= 0) return false;
    scale = static_cast<float>(std::min(1.0, std::sqrt(lim::kHomoWorkingPixels / area)));

    if (!maskIn.empty()) {
        if (maskIn.type() != CV_8UC1 || maskIn.size() != templ.size()) return false;
        cv::resize(maskIn, mask, cv::Size(), scale, scale, cv::INTER_LINEAR_EXACT);
    } else {
        mask.release();
    }
    findFeatureImpl(templ, features[kTemplateIndex], kTemplateIndex);
    return static_cast<int>(features[kTemplateIndex].keypoints.size()) >= minFeatures;
}

void ImgHomoTrans::findFeatureImpl(const cv::Mat& img, cv::detail::ImageFeatures& out, int index) {
    if (img.empty()) return;
    const cv::Ptr<cv::SIFT> sift =
        cv::SIFT::create(0, lim::kHomoSiftOctaveLayers, lim::kHomoSiftContrast, lim::kHomoSiftEdge,
                         lim::kHomoSiftSigma);
    cv::Mat gray = img;
    if (img.channels() == 3) cv::cvtColor(img, gray, cv::COLOR_BGR2GRAY);
    cv::Mat scaled;
    cv::resize(gray, scaled, cv::Size(), scale, scale, cv::INTER_LINEAR_EXACT);

    const bool maskFits = !mask.empty() && mask.type() == CV_8UC1 && mask.size() == scaled.size();
    cv::detail::computeImageFeatures(sift, scaled, out, maskFits ? mask : cv::Mat());
    out.img_idx = index;
}

bool ImgHomoTrans::transImpl(const cv::Mat& src, cv::Mat& dst, float matchConf) {
    if (src.empty()) {
        lastFailure_ = "empty frame";
        return false;
    }
    features.resize(2);
    findFeatureImpl(src, features[kFrameIndex], kFrameIndex);

    // The matcher of this OpenCV version rejects pairs whose confidence exceeds 3.0 (near
    // duplicates) on its own; that is the matches-confidence threshold wanted here.
    cv::detail::BestOf2NearestMatcher matcher(false, matchConf, lim::kHomoMatchCountThreshold,
                                              lim::kHomoMatchCountThreshold);
    std::vector<cv::detail::MatchesInfo> pairs;
    matcher(features, pairs);
    matcher.collectGarbage();

    const std::vector<cv::KeyPoint>& frameKeys = features[kFrameIndex].keypoints;
    const std::vector<cv::KeyPoint>& templKeys = features[kTemplateIndex].keypoints;
    std::vector<cv::Point2f> framePoints, templPoints;
    // Pairs are stored image by image: entry 0 is the frame with itself, entry 1 the frame
    // with the template.
    for (size_t pair = 0; pair < std::min<size_t>(2, pairs.size()); ++pair) {
        for (const cv::DMatch& m : pairs[pair].matches) {
            if (m.queryIdx < 0 || m.queryIdx >= static_cast<int>(frameKeys.size()) ||
                m.trainIdx < 0 || m.trainIdx >= static_cast<int>(templKeys.size()))
                continue;
            framePoints.push_back(frameKeys[m.queryIdx].pt / scale);
            templPoints.push_back(templKeys[m.trainIdx].pt / scale);
        }
    }
    if (static_cast<int>(framePoints.size()) < lim::kHomoMinPointPairs) {
        lastFailure_ = "too few matches";
        return false;
    }

    std::vector<uchar> inliers;
    const cv::Mat homography =
        cv::findHomography(framePoints, templPoints, cv::RANSAC, lim::kHomoReprojectionPx, inliers,
                           lim::kHomoRansacIterations, lim::kHomoRansacConfidence);
    if (homography.empty()) {
        lastFailure_ = "no homography";
        return false;
    }
    lastFailure_ = vision::implausibleHomography(
        cv::Matx33d(homography), src.size(), cv::countNonZero(inliers), int(framePoints.size()));
    if (lastFailure_) return false;
    if (dst.data == src.data) {
        // A warp cannot run in place; the caller still gets the result in its own buffer.
        cv::Mat warped;
        cv::warpPerspective(src, warped, homography, src.size(), cv::INTER_LINEAR,
                            cv::BORDER_CONSTANT, cv::Scalar(0));
        warped.copyTo(dst);
    } else {
        cv::warpPerspective(src, dst, homography, src.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                            cv::Scalar(0));
    }
    return true;
}
