#include "visionguard.h"

#include <opencv2/imgproc.hpp>

namespace vision {

cv::Mat toGray8(const cv::Mat& image) {
    if (image.empty() || image.depth() != CV_8U) return {};
    switch (image.channels()) {
        case 1:
            return image;
        case 3: {
            cv::Mat gray;
            cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
            return gray;
        }
        case 4: {
            // Colour frames of this system hold R in the lowest byte.
            cv::Mat gray;
            cv::cvtColor(image, gray, cv::COLOR_RGBA2GRAY);
            return gray;
        }
        default:
            return {};
    }
}

}  // namespace vision
