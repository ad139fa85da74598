#include "brightness.h"

#include <array>

namespace vision {

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
