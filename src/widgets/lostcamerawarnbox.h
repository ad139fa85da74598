#pragma once
#include "warnbox.h"

// The camera-loss box. Its Confirm means "power the panel off": the main window stops the
// watchdog, writes the record, flushes the databases and powers off through the system seam
// in reaction to sigPowerOff.
class LostCameraWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit LostCameraWarnBox(QWidget* parent);

public slots:
    void accept() override;

signals:
    void sigPowerOff();
};
