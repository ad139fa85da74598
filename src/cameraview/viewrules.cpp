#include "viewrules.h"

#include "viewlimits.h"

namespace cameraview {

bool showsGrabbedFrame(int source, bool externalTrigger, bool noRefreshAfterAlarm,
                       int resultState) {
    const bool editingShowsLive = source == kSourceNone || source == kSourceLive;
    const bool frozenOnAlarm = noRefreshAfterAlarm && resultState == kResultNgAlarm;
    return editingShowsLive && !externalTrigger && !frozenOnAlarm;
}

OverlayChoice overlayChoice(int resultState, int source, bool realTimeShowROI) {
    const bool templ = source == kSourceTemplate;
    const bool live = source == kSourceLive;
    switch (resultState) {
        case kResultWaiting:
            if (realTimeShowROI) return {live, true};
            return {false, templ};
        case kResultOk:
            return {true, true};
        case kResultNgAlarm:
            if (templ) return {false, true};
            if (live) return {true, true};
            return {false, false};
        default:  // area setting and anything unknown: regions on the template only
            return {false, templ};
    }
}

}  // namespace cameraview
