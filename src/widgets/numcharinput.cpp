#include "numcharinput.h"

#include "colorbutton.h"
#include "globals.h"

NumCharInput::NumCharInput(QWidget* parent) : Keypad(parent) {
    static const char* const kRows[4] = {"1234567890", "qwertyuiop-", "asdfghjkl._", "zxcvbnm@/:"};
    for (int row = 0; row < 4; ++row) {
        const QString keys = QString::fromLatin1(kRows[row]);
        const int first = row == 3 ? 1 : 0;  // the case switch starts the last row
        for (int i = 0; i < keys.size(); ++i) {
            const QChar c = keys.at(i);
            ColorButton* key = addKey(QString(c), QStringLiteral("key_") + c, row, first + i);
            if (c.isLetter()) {
                letters_.append(key);
                connect(key, &QPushButton::clicked, this, [this, key] { typeText(key->text()); });
            } else {
                connect(key, &QPushButton::clicked, this, [this, c] { typeText(QString(c)); });
            }
        }
    }
    ColorButton* back = addKey(lan(157), QStringLiteral("key_backspace"), 0, 10);
    back->SetRepeat();
    connect(back, &QPushButton::clicked, this, [this] { sendKey(Qt::Key_Backspace); });
    caseKey_ = addKey(QString(), QStringLiteral("key_case"), 3, 0);
    connect(caseKey_, &QPushButton::clicked, this, [this] { setCapital(!capital_); });
    connect(addKey(QString(), QStringLiteral("key_space"), 4, 0, 7), &QPushButton::clicked, this,
            [this] { typeText(QStringLiteral(" ")); });
    connect(addKey(lan(121), QStringLiteral("key_enter"), 4, 7, 4), &QPushButton::clicked, this,
            [this] {
                sendKey(Qt::Key_Return);
                HideUpdate();
            });
    setCapital(false);
    finishLayout();
}

void NumCharInput::setCapital(bool capital) {
    capital_ = capital;
    for (ColorButton* key : letters_)
        key->setText(capital ? key->text().toUpper() : key->text().toLower());
    // The key names the case it switches to.
    caseKey_->setText(capital ? lan(158) : lan(159));
    fitKeyText(caseKey_);
}

void NumCharInput::HideUpdate() {
    if (!isVisible()) return;
    hide();
    if (parentWidget()) parentWidget()->update();
}
