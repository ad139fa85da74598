#pragma once
#include "warnbox.h"

// The camera-loss box. Its Confirm means "power the panel off": it is shown without blocking,
// asking about the loss (dialogs::askWithoutBlocking), and the main window stops the watchdog,
// writes the record, flushes the databases and powers off through the system seam.
class LostCameraWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit LostCameraWarnBox(QWidget* parent);
};
