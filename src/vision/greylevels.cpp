#include "greylevels.h"

#include <array>
#include <opencv2/imgproc.hpp>

namespace vision {

void neighbourhoodRange(const cv::Mat& minimum, const cv::Mat& maximum, int reach, cv::Mat& low,
                        cv::Mat& high) {
    const cv::Mat square =
        cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * reach + 1, 2 * reach + 1));
    cv::erode(minimum, low, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    cv::dilate(maximum, high, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
}

bool medianDifference(const cv::Mat& picture, const cv::Mat& reference, const cv::Mat& where,
                      int step, int* median) {
    std::array<int, 511> histogram{};
    int count = 0;
    for (int y = 0; y < picture.rows; y += step) {
        const uchar* p = picture.ptr<uchar>(y);
        const uchar* r = reference.ptr<uchar>(y);
        const uchar* w = where.ptr<uchar>(y);
        for (int x = 0; x < picture.cols; x += step) {
            if (!w[x]) continue;
            ++histogram[p[x] - r[x] + 255];
            ++count;
        }
    }
    if (count == 0) return false;
    int seen = 0;
    for (int i = 0; i < int(histogram.size()); ++i) {
        seen += histogram[i];
        if (2 * seen >= count) {
            *median = i - 255;
            break;
        }
    }
    return true;
}

}  // namespace vision
