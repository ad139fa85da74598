#include "choosebox.h"

#include <QtDebug>

#include "colorbutton.h"
#include "globals.h"
#include "toolkitlimits.h"

ChooseBox::ChooseBox(QWidget* parent, int width, int height)
    : MessageDialog(parent, width, height) {
    auto* confirm = new ColorButton(QString(), this, ColorButton::Dark);
    auto* cancel = new ColorButton(QString(), this, ColorButton::Dark);
    nameButton(confirm, 121);
    nameButton(cancel, 124);
    confirm->setObjectName(QStringLiteral("confirm"));
    cancel->setObjectName(QStringLiteral("cancel"));
    const int w = toolkit::kDialogButtonWidth;
    const int h = toolkit::kDialogButtonHeight;
    const int y = height - toolkit::kDialogMargin - h;
    const int gap = (width - 2 * w) / 3;
    confirm->setFixedSize(w, h);
    cancel->setFixedSize(w, h);
    confirm->move(gap, y);
    cancel->move(2 * gap + w, y);
    connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ChooseBox::setText(const QString& text) {
    if (asking_) {
        refused_ = text;
        return;
    }
    MessageDialog::setText(text);
}

int ChooseBox::execAbout(dialogs::Watch* watch) {
    if (asking_) {
        qWarning().noquote() << "question not asked while another is open:"
                             << refused_.simplified();
        return QDialog::Rejected;
    }
    asking_ = true;
    const int answer = MessageDialog::execAbout(watch);
    asking_ = false;
    return answer;
}
