#include "lostcamerawarnbox.h"

#include "globals.h"

LostCameraWarnBox::LostCameraWarnBox(QWidget* parent) : WarnBox(parent) {
    setText(lan(39));
    hide();
}
