#include "helpwidget.h"

namespace {
constexpr int kTitleEntry = 111;  // "Help"
}

HelpWidget::HelpWidget(QWidget* parent) : SettingsPage(parent, kTitleEntry) {}
