#include "productalarmwarnbox.h"

#include "globals.h"

ProductAlarmWarnBox::ProductAlarmWarnBox(QWidget* parent) : WarnBox(parent) {
    setText(lan(661));
    hide();
}
