#include "regionoverlay.h"

#include <algorithm>
#include <cmath>

#include "roilimits.h"

namespace failimage {

namespace {

double inverseScale(float scale) {
    return std::isfinite(scale) && scale > 0.0f ? 1.0 / double(scale) : 1.0;
}

}  // namespace

FailPictureSpec describeDetection(const CammerSingleton& param, int step,
                                  const RegionResults& results, const LabelSettings& labels,
                                  bool isOK, const QString& lineText, float baseScaleX,
                                  float baseScaleY) {
    FailPictureSpec spec;
    spec.isOK = isOK;
    spec.lineText = lineText;
    spec.imagePerDisplay = QPointF(inverseScale(baseScaleX), inverseScale(baseScaleY));
    if (step < 0 || step >= roi::kDetections) return spec;
    const int count = std::clamp(param.roiCount[step], 0, roi::kMaxRois);
    spec.areas.reserve(count);
    for (int i = 0; i < count; ++i) {
        AreaOverlay area;
        area.passed = !results.roiOK || results.roiOK[i] != 0;
        if (!area.passed && results.defects) area.defects = results.defects(i);
        switch (param.roiShapeType[step][i]) {
            case roi::kShapeRect:
                area.shape = AreaShape::Rect;
                area.imageRect = param.rects[step][i].imageRect;
                break;
            case roi::kShapePolygon: {
                area.shape = AreaShape::Polygon;
                const RePolygon& polygon = param.polygons[step][i];
                const int points = std::clamp(polygon.count, 0, roi::kMaxPolygonPoints);
                area.imagePolygon = QPolygon(points);
                std::copy(polygon.imagePoints, polygon.imagePoints + points,
                          area.imagePolygon.begin());
                break;
            }
            case roi::kShapeRing:
                area.shape = AreaShape::Ring;
                area.ring = param.circles[step][i];
                // An area selected on the editing page must not carry its handles into the
                // stored picture.
                area.ring.SetSelected(false);
                break;
            default:
                break;
        }
        const QString limit =
            limitText(param.roiFunc[step][i], param.roiParam1[step][i], param.roiParam2[step][i],
                      labels.showAllParam, labels.alarmArea);
        area.label = areaLabel(i, count, limit, results.roiValue ? results.roiValue[i] : 0);
        spec.areas.append(area);
    }
    return spec;
}

}  // namespace failimage
