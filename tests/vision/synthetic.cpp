#include "synthetic.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace synthetic {

cv::Mat scene(cv::Size size, unsigned seed, const SceneStyle& style) {
    cv::RNG rng(seed);
    cv::Mat img(size, CV_8UC1);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x)
            img.at<uchar>(y, x) =
                cv::saturate_cast<uchar>(90 + 50.0 * x / size.width + 30.0 * y / size.height);
    const int shapes = std::max(style.minShapes, size.area() / style.pixelsPerShape);
    const int maxSide = std::max(12, std::min(size.width, size.height) / style.sideDivisor);
    for (int i = 0; i < shapes; ++i) {
        const cv::Point c(rng.uniform(0, size.width), rng.uniform(0, size.height));
        const int grey = rng.uniform(10, 246);
        const int a = rng.uniform(4, maxSide), b = rng.uniform(4, maxSide);
        switch (rng.uniform(0, style.triangles ? 4 : 3)) {
            case 0:
                cv::rectangle(img, cv::Rect(c.x - a, c.y - b, 2 * a, 2 * b), grey, cv::FILLED);
                break;
            case 1:
                cv::circle(img, c, a, grey, cv::FILLED, cv::LINE_AA);
                break;
            case 2:
                cv::ellipse(img, c, cv::Size(a, b), rng.uniform(0, 180), 0, 360, grey, cv::FILLED,
                            cv::LINE_AA);
                break;
            default: {
                std::vector<cv::Point> poly;
                for (int k = 0; k < 3; ++k)
                    poly.emplace_back(c.x + rng.uniform(-a, a + 1), c.y + rng.uniform(-b, b + 1));
                cv::fillConvexPoly(img, poly, grey, cv::LINE_AA);
                break;
            }
        }
    }
    cv::GaussianBlur(img, img, cv::Size(0, 0), 0.8);
    return img;
}

cv::Mat featureRich(cv::Size size, unsigned seed) {
    cv::Mat out;
    cv::addWeighted(scene(size, seed), 0.7, texture(size, seed + 1, 1.5), 0.3, 0, out);
    return out;
}

cv::Mat texture(cv::Size size, unsigned seed, double blurSigma) {
    cv::RNG rng(seed);
    cv::Mat noise(size, CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0, 1);
    cv::GaussianBlur(noise, noise, cv::Size(0, 0), blurSigma);
    cv::normalize(noise, noise, 30, 220, cv::NORM_MINMAX);
    cv::Mat out;
    noise.convertTo(out, CV_8U);
    return out;
}

cv::Mat withNoise(const cv::Mat& picture, double sigma, unsigned seed) {
    cv::RNG rng(seed);
    cv::Mat noise(picture.size(), CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0, sigma);
    cv::Mat f;
    picture.convertTo(f, CV_32F);
    f += noise;
    cv::Mat out;
    f.convertTo(out, CV_8U);
    return out;
}

cv::Mat posedFrame(const cv::Mat& big, const cv::Rect& inner, cv::Point2d centre, double angle,
                   cv::Point2d shift) {
    // Template point q = b - inner.tl lands at centre + shift + R (q - centre).
    cv::Mat m = cv::getRotationMatrix2D(centre, angle, 1.0);
    for (int r = 0; r < 2; ++r)
        m.at<double>(r, 2) += (r == 0 ? shift.x : shift.y) - m.at<double>(r, 0) * inner.x -
                              m.at<double>(r, 1) * inner.y;
    cv::Mat frame;
    cv::warpAffine(big, frame, m, inner.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return frame;
}

cv::Point2d posedPoint(cv::Point2d point, cv::Point2d centre, double angle, cv::Point2d shift) {
    const double a = angle * CV_PI / 180.0;
    const cv::Point2d d = point - centre;
    return centre + shift +
           cv::Point2d(std::cos(a) * d.x + std::sin(a) * d.y,
                       -std::sin(a) * d.x + std::cos(a) * d.y);
}

cv::Mat correctPosition(const cv::Mat& frame, int dx, int dy, cv::Point centre, double angle) {
    cv::Mat moved = cv::Mat::zeros(frame.size(), frame.type());
    const cv::Rect from =
        cv::Rect(-dx, -dy, frame.cols, frame.rows) & cv::Rect(0, 0, frame.cols, frame.rows);
    if (!from.empty()) frame(from).copyTo(moved(from + cv::Point(dx, dy)));
    cv::Mat out;
    cv::warpAffine(moved, out, cv::getRotationMatrix2D(centre, angle, 1.0), frame.size(),
                   cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    return out;
}

double meanAbsDiff(const cv::Mat& a, const cv::Mat& b, const cv::Rect& rect) {
    cv::Mat d;
    cv::absdiff(a(rect), b(rect), d);
    return cv::mean(d)[0];
}

}  // namespace synthetic
