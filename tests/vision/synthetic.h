#pragma once
// Synthetic pictures for the matcher tests and benchmarks, drawn from a fixed seed.

#include <opencv2/core.hpp>

namespace synthetic {

// A scene of overlapping filled shapes of many grey levels on a shaded background, slightly
// blurred like a lens would: strong edges, corners and flat areas.
// How busy the scene is: one shape per pixelsPerShape pixels (at least minShapes), shape
// half-sides up to the smaller picture side / sideDivisor, triangles among the shapes or not.
struct SceneStyle {
    int pixelsPerShape = 4000;
    int minShapes = 40;
    int sideDivisor = 8;
    bool triangles = true;
};
cv::Mat scene(cv::Size size, unsigned seed, const SceneStyle& style = SceneStyle());

// scene() overlaid with a fine texture: plenty of corners and blobs for feature detectors.
cv::Mat featureRich(cv::Size size, unsigned seed);

// Smooth random texture (grey 30..220) without edges.
cv::Mat texture(cv::Size size, unsigned seed, double blurSigma = 2.0);

// picture + Gaussian noise of the given standard deviation (saturated to 0..255).
cv::Mat withNoise(const cv::Mat& picture, double sigma, unsigned seed);

// The frame a camera sees when the part of template frame `big(inner)` is turned by angle
// (degrees, counter-clockwise as shown) about the frame point centre and then moved by shift.
// big must extend beyond inner on every side so that no border shows.
cv::Mat posedFrame(const cv::Mat& big, const cv::Rect& inner, cv::Point2d centre, double angle,
                   cv::Point2d shift);

// Where a template point lands in the frame made by posedFrame.
cv::Point2d posedPoint(cv::Point2d point, cv::Point2d centre, double angle, cv::Point2d shift);

// The inspection's position correction: move the frame by (dx, dy), then turn it by angle
// about centre (uncovered pixels 0).
cv::Mat correctPosition(const cv::Mat& frame, int dx, int dy, cv::Point centre, double angle);

// Mean absolute grey difference of two pictures over rect.
double meanAbsDiff(const cv::Mat& a, const cv::Mat& b, const cv::Rect& rect);

}  // namespace synthetic
