#pragma once
#include "settingspage.h"

// The camera-number page (camera order by serial number); while it is visible the tool-bar
// commands are ignored.
class WidgetChangeCamera : public SettingsPage {
    Q_OBJECT
public:
    explicit WidgetChangeCamera(QWidget* owner);
};
