#pragma once
#include <QList>

#include "keypad.h"

class ColorButton;

// The text keypad (the shared instance is gpNumCharPad): digits, letters with a case switch,
// a few symbols, space, backspace and Confirm.
class NumCharInput : public Keypad {
    Q_OBJECT
public:
    explicit NumCharInput(QWidget* parent);

    // Hides the keypad when it is visible and repaints its parent.
    void HideUpdate() override;

    bool isCapital() const { return capital_; }
    void setCapital(bool capital);

private:
    QList<ColorButton*> letters_;
    ColorButton* caseKey_ = nullptr;
    bool capital_ = false;
};
