#include "widgetchangecamera.h"

namespace {
constexpr int kTitleEntry = 396;  // "reordering"
}

WidgetChangeCamera::WidgetChangeCamera(QWidget* owner) : SettingsPage(owner, kTitleEntry) {}
