#include "edit.h"

#include "globals.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "toolkitlimits.h"

Edit::Edit(QWidget* parent, Kind kind) : QLineEdit(parent), kind_(kind) {
    setFocusPolicy(Qt::ClickFocus);
    QFont f = font();
    f.setPixelSize(toolkit::kEditFontPx);
    setFont(f);
    setMinimumHeight(toolkit::kEditHeight);
}

void Edit::openKeypad() {
    Keypad* wanted =
        kind_ == Number ? static_cast<Keypad*>(gpNumPad) : static_cast<Keypad*>(gpNumCharPad);
    Keypad* other =
        kind_ == Number ? static_cast<Keypad*>(gpNumCharPad) : static_cast<Keypad*>(gpNumPad);
    if (other) other->hide();
    if (wanted) wanted->openFor(this);
}

void Edit::hideKeypads() {
    if (gpNumPad) gpNumPad->hide();
    if (gpNumCharPad) gpNumCharPad->hide();
}

void Edit::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (!isReadOnly() && isEnabled()) openKeypad();
}

void Edit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    hideKeypads();
}
