#pragma once
#include "warnbox.h"

// The production-count alarm box. Confirming it is the operator's release of the alarm; the
// main window does the work (outputs 0 and 2 off, flush, clear the count and the alarm flag)
// in reaction to sigReleaseAlarm.
class ProductAlarmWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit ProductAlarmWarnBox(QWidget* parent);

public slots:
    void accept() override;

signals:
    void sigReleaseAlarm();
};
