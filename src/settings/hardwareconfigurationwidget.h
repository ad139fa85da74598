#pragma once
#include "settingspage.h"

// The hardware configuration page.
class HardwareConfigurationWidget : public SettingsPage {
    Q_OBJECT
public:
    explicit HardwareConfigurationWidget(QWidget* owner);
};
