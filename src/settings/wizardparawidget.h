#pragma once
#include "settingspage.h"

// The system settings screen. The owner shows it after refreshing the editing copy of the
// parameters; while it is visible the tool-bar commands are ignored.
class WizardParaWidget : public SettingsPage {
    Q_OBJECT
public:
    explicit WizardParaWidget(QWidget* owner);
};
