#include "messagedialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "dialogseam.h"
#include "toolkitlimits.h"

namespace {
// Message texts break lines with "\r\n"; a label only needs the line feed.
QString forLabel(QString text) {
    return text.remove(QLatin1Char('\r'));
}
}  // namespace

MessageDialog::MessageDialog(QWidget* parent, int width, int height)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), message_(new QLabel(this)) {
    setModal(true);
    setFixedSize(width, height);
    setObjectName(QStringLiteral("messagedialog"));
    setStyleSheet(
        QStringLiteral("QDialog#messagedialog{background-color:#2b2b2b;border:2px solid #ff9900;}"
                       "QLabel{color:white;}"));
    message_->setObjectName(QStringLiteral("message"));
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    QFont f = message_->font();
    f.setPixelSize(toolkit::kDialogMessageFontPx);
    message_->setFont(f);
    const int m = toolkit::kDialogMargin;
    message_->setGeometry(m, m, width - 2 * m, height - 3 * m - toolkit::kDialogButtonHeight);
}

void MessageDialog::setText(const QString& text) {
    text_ = text;
    if (isVisible()) showMessage(text_);
}

int MessageDialog::exec() {
    return dialogs::exec(this);
}

void MessageDialog::showMessage(const QString& text) {
    message_->setText(forLabel(text));
}

void MessageDialog::showEvent(QShowEvent* event) {
    showMessage(text_);
    centre();
    QDialog::showEvent(event);
}

void MessageDialog::centre() {
    QRect area;
    if (parentWidget())
        area = parentWidget()->window()->geometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->geometry();
    if (area.isValid()) move(area.center() - rect().center());
}
