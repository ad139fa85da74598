#include "hardwareconfigurationwidget.h"

namespace {
constexpr int kTitleEntry = 431;  // "Device parameters"
}

HardwareConfigurationWidget::HardwareConfigurationWidget(QWidget* owner)
    : SettingsPage(owner, kTitleEntry) {}
