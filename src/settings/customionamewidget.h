#pragma once
#include "settingspage.h"

// The IO-name page; the owner initialises it once and keeps it hidden until needed. While it
// is visible the tool-bar commands are ignored.
class CustomIONameWidget : public SettingsPage {
    Q_OBJECT
public:
    explicit CustomIONameWidget(QWidget* owner);

    // Prepares the page: texts from the language table, hidden.
    void init();
};
