#pragma once
#include "warnbox.h"

// The production-count alarm box. The cycle goes on while it is up: it is shown without
// blocking, asking about the count alarm (dialogs::askWithoutBlocking), and its Confirm is the
// operator's release of that alarm, which the main window asks for.
class ProductAlarmWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit ProductAlarmWarnBox(QWidget* parent);
};
