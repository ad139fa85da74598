#pragma once
// The matchers are called from the inspection cycle, which must never see an exception: every
// public entry point runs its body through guarded(), which turns a failure of OpenCV (or an
// exhausted allocation) into the entry point's failure result and a warning in the log.

#include <QtGlobal>
#include <exception>
#include <opencv2/core.hpp>
#include <utility>

namespace vision {

template <typename Result, typename Body>
Result guarded(const char* where, Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const cv::Exception& e) {
        qWarning("%s failed in OpenCV: %s", where, e.what());
    } catch (const std::exception& e) {
        qWarning("%s failed: %s", where, e.what());
    } catch (...) {
        qWarning("%s failed with an unknown error", where);
    }
    return failure;
}

// Converts a picture of 1, 3 or 4 channels to an 8-bit single-channel one (shared when it
// already is); an empty matrix for anything else.
cv::Mat toGray8(const cv::Mat& image);

}  // namespace vision
