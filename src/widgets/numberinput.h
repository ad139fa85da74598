#pragma once
#include "keypad.h"

// The digit keypad (the shared instance is gpNumPad): digits, minus, point, backspace and
// Confirm.
class NumberInput : public Keypad {
    Q_OBJECT
public:
    explicit NumberInput(QWidget* parent);

    // Hides the keypad when it is visible and repaints the window below. While the password
    // box is visible this is the moment its password is checked; otherwise the field loses
    // the focus (which ends editing).
    void HideUpdate() override;
};
