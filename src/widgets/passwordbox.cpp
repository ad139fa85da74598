#include "passwordbox.h"

#include <QEvent>
#include <QLabel>

#include "colorbutton.h"
#include "edit.h"
#include "globals.h"
#include "toolkitlimits.h"

namespace {
constexpr int kPromptHeight = 70;
constexpr int kEntryWidth = 420;
constexpr int kEntryTop = 110;
}  // namespace

PasswordBox::PasswordBox(QWidget* parent)
    : MessageDialog(parent, toolkit::kDialogWidth, toolkit::kPasswordBoxHeight),
      entry_(new Edit(this, Edit::Number)) {
    const int m = toolkit::kDialogMargin;
    messageLabel()->setGeometry(m, m, width() - 2 * m, kPromptHeight);
    entry_->setObjectName(QStringLiteral("password"));
    entry_->setEchoMode(QLineEdit::Password);
    entry_->setGeometry(m, kEntryTop, kEntryWidth, toolkit::kEditHeight);

    auto* confirm = new ColorButton(QString(), this, ColorButton::Dark);
    auto* cancel = new ColorButton(QString(), this, ColorButton::Dark);
    nameButton(confirm, 121);
    nameButton(cancel, 124);
    confirm->setObjectName(QStringLiteral("confirm"));
    cancel->setObjectName(QStringLiteral("cancel"));
    const int buttonX = width() - m - toolkit::kDialogButtonWidth;
    for (ColorButton* b : {confirm, cancel})
        b->setFixedSize(toolkit::kDialogButtonWidth, toolkit::kDialogButtonHeight);
    confirm->move(buttonX, kEntryTop);
    cancel->move(buttonX, kEntryTop + toolkit::kDialogButtonHeight + m);
    connect(confirm, &QPushButton::clicked, this, &PasswordBox::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    entry_->installEventFilter(this);
    resetEntry();
}

void PasswordBox::setCredentials(const QString& operatorPassword, const QString& serviceCode) {
    operatorPassword_ = operatorPassword;
    serviceCode_ = serviceCode;
}

void PasswordBox::setEnteredPassword(const QString& password) {
    entry_->setText(password);
}

int PasswordBox::levelFor(const QString& entered, const QString& operatorPassword,
                          const QString& serviceCode) {
    if (entered.isEmpty()) return Unlogged;
    // The operator password is checked first: an operator who chooses the service code as
    // password must not gain the service level by it.
    if (entered == operatorPassword) return Primary;
    if (entered == serviceCode) return Advanced;
    return Unlogged;
}

void PasswordBox::resetEntry() {
    level_ = Unlogged;
    entry_->clear();
    setText(lan(125));
    showMessage(text());
}

int PasswordBox::execAbout(dialogs::Watch* watch) {
    resetEntry();
    return MessageDialog::execAbout(watch);
}

void PasswordBox::accept() {
    level_ = levelFor(entry_->text(), operatorPassword_, serviceCode_);
    emit sigLoginLevel(level_);
    if (level_ == Unlogged) {
        entry_->clear();
        showMessage(lan(357));
        // Another try: the keypad that has just closed opens again.
        if (isVisible()) entry_->openKeypad();
        return;
    }
    Edit::hideKeypads();
    QDialog::accept();
}

bool PasswordBox::eventFilter(QObject* watched, QEvent* event) {
    // The entry gets the focus back when the box is active again: a warning raised over the
    // box meanwhile took the focus and the keypad with it, and the box is typed on the keypad
    // alone.
    if (watched == entry_ && event->type() == QEvent::FocusIn && isVisible()) entry_->openKeypad();
    return MessageDialog::eventFilter(watched, event);
}

void PasswordBox::showEvent(QShowEvent* event) {
    MessageDialog::showEvent(event);
    entry_->setFocus(Qt::OtherFocusReason);
    entry_->openKeypad();
}
