#pragma once
// Builds the description of a fail picture from a camera's inspection areas and the results of
// its last run, so that a camera view renders a step with one call:
//
//   failimage::saveFailPicture(cameraNo, d, isOK, frame,
//       failimage::describeDetection(*liveParam, d, results, labels, isOK, lineText,
//                                    baseScaleX, baseScaleY));

#include <QString>
#include <QtGlobal>
#include <functional>

#include "cammersingleton.h"
#include "failpicture.h"

namespace failimage {

// The results of one detection's last run, per area index.
struct RegionResults {
    const quint8* roiOK = nullptr;  // 0 = the area failed
    const int* roiValue = nullptr;
    // Defect boxes of an area (only asked for failed areas); empty function: none.
    std::function<QVector<DefectBox>(int area)> defects;
};

// The system settings that shape the labels.
struct LabelSettings {
    bool showAllParam = false;
    int alarmArea = 0;
};

// Areas of detection `step` of `param` in order, red or green by their results, with their
// labels. baseScaleX/Y are display pixels per frame pixel (rings draw in display coordinates).
FailPictureSpec describeDetection(const CammerSingleton& param, int step,
                                  const RegionResults& results, const LabelSettings& labels,
                                  bool isOK, const QString& lineText, float baseScaleX,
                                  float baseScaleY);

}  // namespace failimage
