#include "differenceregions.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace imaging {

std::vector<std::vector<cv::Point>> differenceRegions(const cv::Mat& before, const cv::Mat& after) {
    std::vector<std::vector<cv::Point>> regions;
    if (before.empty() || before.size() != after.size() || before.type() != CV_8UC1 ||
        after.type() != CV_8UC1)
        return regions;

    cv::Mat changed;
    cv::absdiff(before, after, changed);
    cv::threshold(changed, changed, kDifferenceThreshold, 255, cv::THRESH_BINARY);
    const cv::Mat square = cv::getStructuringElement(
        cv::MORPH_RECT, cv::Size(kDifferenceCleanSize, kDifferenceCleanSize));
    cv::morphologyEx(changed, changed, cv::MORPH_OPEN, square);
    cv::morphologyEx(changed, changed, cv::MORPH_CLOSE, square);

    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(changed, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    std::vector<std::pair<double, size_t>> bySize;
    for (size_t i = 0; i < contours.size(); ++i) {
        const double area = cv::contourArea(contours[i]);
        if (area >= kDifferenceMinArea) bySize.emplace_back(area, i);
    }
    std::stable_sort(bySize.begin(), bySize.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });

    for (const auto& entry : bySize) {
        if (int(regions.size()) == kDifferenceMaxRegions) break;
        std::vector<cv::Point> hull, polygon;
        cv::convexHull(contours[entry.second], hull);
        cv::approxPolyDP(hull, polygon, kDifferencePolygonTolerance * cv::arcLength(hull, true),
                         true);
        regions.push_back(std::move(polygon));
    }
    return regions;
}

}  // namespace imaging
