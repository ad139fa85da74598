#pragma once
#include <QLineEdit>

// The toolkit's edit field. A tap opens the keypad of its kind (digits: gpNumPad, text:
// gpNumCharPad); losing the focus hides the keypads.
class Edit : public QLineEdit {
    Q_OBJECT
public:
    enum Kind { Number, Text };

    explicit Edit(QWidget* parent, Kind kind = Number);

    Kind kind() const { return kind_; }
    void setKind(Kind kind) { kind_ = kind; }
    // Opens the keypad of this field's kind for it.
    void openKeypad();

    // Hides both shared keypads.
    static void hideKeypads();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Kind kind_;
};
