#include "warnbox.h"

#include "colorbutton.h"
#include "dialogseam.h"
#include "globals.h"
#include "toolkitlimits.h"

WarnBox::WarnBox(QWidget* parent)
    : MessageDialog(parent, toolkit::kDialogWidth, toolkit::kDialogHeight) {
    auto* confirm = new ColorButton(lan(121), this, ColorButton::Dark);
    confirm->setObjectName(QStringLiteral("confirm"));
    confirm->setFixedSize(toolkit::kDialogButtonWidth, toolkit::kDialogButtonHeight);
    confirm->move((width() - toolkit::kDialogButtonWidth) / 2,
                  height() - toolkit::kDialogMargin - toolkit::kDialogButtonHeight);
    connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
}

WarnBoxHub* WarnBox::hub() {
    static WarnBoxHub theHub;
    return &theHub;
}

void WarnBox::reportShown() {
    emit sigShown();
    emit hub()->sigAnyShown();
}

int WarnBox::exec() {
    // An answered box never opens, but for the program it was shown all the same.
    if (dialogs::hasAnswerer()) reportShown();
    return MessageDialog::exec();
}

void WarnBox::showEvent(QShowEvent* event) {
    MessageDialog::showEvent(event);
    reportShown();
}
