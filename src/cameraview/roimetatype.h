#pragma once
// The live region parameters travel to thermal cameras as a QVariant of this registered type.

#include <QMetaType>

class CammerSingleton;
Q_DECLARE_METATYPE(CammerSingleton*)

namespace cameraview {
// Registers the type under the name the plug-ins look for: "CammerSingleton *".
int registerRegionParamType();
}  // namespace cameraview
