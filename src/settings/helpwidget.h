#pragma once
#include "settingspage.h"

// The help page; the page it opens on is the global gHelpC.
class HelpWidget : public SettingsPage {
    Q_OBJECT
public:
    explicit HelpWidget(QWidget* parent);
};
