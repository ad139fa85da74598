#pragma once
// Which frame a camera view shows and what the editing page's source and caption name, for
// tests that check that the two agree: the source (gSource, also the choice on show), the
// detection edited, the template or recent NG slot of the view, and the frame each names.
#include <QString>
#include <vector>

#include "cammerwidget.h"
#include "globals.h"

namespace shownframe {

// The frames the source and caption of view v may show: the live source the registered judged
// frame or the newest grab; a template or recent NG slot that holds nothing a blank frame.
// Stored pictures (sources 3 and 4) are painted from the page's picture, not from the view's
// frame: none.
inline std::vector<std::vector<uchar>> named(const CammerWidget& v, int editDetect) {
    const int d = editDetect;
    const bool detection = d >= 0 && d < kMaxDetections;
    const auto zeroedIfEmpty = [&](const std::vector<uchar>& f) {
        return f.empty() ? std::vector<uchar>(size_t(v.frameBytes), 0) : f;
    };
    switch (gSource) {
        case 0:  // "Template": template curTemplate of the edited detection
            if (detection && v.context.curTemplate >= 0 &&
                v.context.curTemplate < int(v.context.templateBuf[size_t(d)].size()))
                return {
                    zeroedIfEmpty(v.context.templateBuf[size_t(d)][size_t(v.context.curTemplate)])};
            return {zeroedIfEmpty({})};
        case 2:  // "Recent NG": ring slot recentNgShown of the edited detection
            if (detection && v.recentNgShown >= 0 &&
                v.recentNgShown < int(v.recentNgBuf[size_t(d)].size()))
                return {zeroedIfEmpty(v.recentNgBuf[size_t(d)][size_t(v.recentNgShown)])};
            return {zeroedIfEmpty({})};
        case -1:
        case 1:  // live: the judged frame (registered or raw) or the newest grab
            return {v.context.alignedBuf, v.context.grabBuf};
        default:
            return {};
    }
}

// Empty when the view shows a frame its source and caption name, else a line that says what
// the caption names (source, detection, template and recent NG slot, all counted from 1 but
// the source).
inline QString mismatch(const CammerWidget& v, int editDetect) {
    if (gSource == 3 || gSource == 4) return {};
    for (const std::vector<uchar>& f : named(v, editDetect))
        if (f == v.showBuf) return {};
    return QStringLiteral(
               "camera %1 on source %2, detection %3, template %4, recent NG %5: "
               "the frame on show is not the one named")
        .arg(v.cameraNo + 1)
        .arg(gSource)
        .arg(editDetect + 1)
        .arg(v.context.curTemplate + 1)
        .arg(v.recentNgShown + 1);
}

}  // namespace shownframe
