#pragma once
// The decisions a camera view takes from the program's state: whether a grabbed frame is
// shown, and which overlays a repaint draws over the picture.

namespace cameraview {

// A grabbed frame replaces the shown one only while the editing page is closed or shows the
// live image, the external trigger is not in use (the cycle then shows the inspected frame
// itself) and the picture is not frozen on an NG alarm.
bool showsGrabbedFrame(int source, bool externalTrigger, bool noRefreshAfterAlarm, int resultState);

// What is drawn over the picture of sources -1 (no editing), 0 (template) and 1 (live).
struct OverlayChoice {
    bool mark = false;     // the large OK/NG mark
    bool regions = false;  // the regions with their labels (and the legend on templates)
};
OverlayChoice overlayChoice(int resultState, int source, bool realTimeShowROI);

}  // namespace cameraview
