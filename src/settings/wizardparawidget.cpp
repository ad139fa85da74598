#include "wizardparawidget.h"

namespace {
constexpr int kTitleEntry = 215;  // "System Param"
}

WizardParaWidget::WizardParaWidget(QWidget* owner) : SettingsPage(owner, kTitleEntry) {}
