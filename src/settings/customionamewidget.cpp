#include "customionamewidget.h"

namespace {
constexpr int kTitleEntry = 473;  // "Custom IO"
}

CustomIONameWidget::CustomIONameWidget(QWidget* owner) : SettingsPage(owner, kTitleEntry) {}

void CustomIONameWidget::init() {
    refreshTexts();
    hide();
}
