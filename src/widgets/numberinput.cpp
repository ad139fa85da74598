#include "numberinput.h"

#include <QLineEdit>

#include "colorbutton.h"
#include "globals.h"
#include "passwordbox.h"

NumberInput::NumberInput(QWidget* parent) : Keypad(parent) {
    static const char* const kRows[3][3] = {{"7", "8", "9"}, {"4", "5", "6"}, {"1", "2", "3"}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QString digit = QString::fromLatin1(kRows[row][column]);
            connect(addKey(digit, QStringLiteral("key_") + digit, row, column),
                    &QPushButton::clicked, this, [this, digit] { typeText(digit); });
        }
    }
    ColorButton* back = addKey(lan(157), QStringLiteral("key_backspace"), 0, 3);
    back->SetRepeat();
    connect(back, &QPushButton::clicked, this, [this] { sendKey(Qt::Key_Backspace); });
    connect(addKey(QStringLiteral("-"), QStringLiteral("key_minus"), 1, 3), &QPushButton::clicked,
            this, [this] { typeText(QStringLiteral("-")); });
    connect(addKey(QStringLiteral("."), QStringLiteral("key_point"), 2, 3), &QPushButton::clicked,
            this, [this] { typeText(QStringLiteral(".")); });
    connect(addKey(QStringLiteral("0"), QStringLiteral("key_0"), 3, 0, 2), &QPushButton::clicked,
            this, [this] { typeText(QStringLiteral("0")); });
    connect(addKey(lan(121), QStringLiteral("key_enter"), 3, 2, 2), &QPushButton::clicked, this,
            [this] {
                sendKey(Qt::Key_Return);
                HideUpdate();
            });
    finishLayout();
}

void NumberInput::HideUpdate() {
    if (!isVisible()) return;
    hide();
    if (parentWidget()) parentWidget()->update();
    if (gpPasswordBox && gpPasswordBox->isVisible()) {
        gpPasswordBox->accept();
        return;
    }
    if (QLineEdit* field = targetField()) field->clearFocus();
}
