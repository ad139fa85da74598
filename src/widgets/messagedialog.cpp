#include "messagedialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "colorbutton.h"
#include "dialogseam.h"
#include "fittedfont.h"
#include "globals.h"
#include "question.h"
#include "toolkitlimits.h"

namespace {
// Message texts break lines with "\r\n"; a label only needs the line feed. A longer line is
// broken between phrases, never where the label's own wrapping would cut a word.
QString forLabel(const QLabel& label, QString text) {
    return phraseLines(label.font(), text.remove(QLatin1Char('\r')), label.contentsRect().width());
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
    return execAbout(nullptr);
}

int MessageDialog::execAbout(dialogs::Watch* watch) {
    if (dialogs::stopping()) return QDialog::Rejected;
    QMetaObject::Connection ending;
    if (watch)
        ending = connect(watch, &dialogs::Watch::ended, this, [this] {
            if (isVisible()) done(QDialog::Rejected);
        });
    const int answer = dialogs::exec(this, watch);
    disconnect(ending);
    endedFromOutside();
    return answer;
}

bool MessageDialog::endedFromOutside() {
    if (dialogs::hasAnswerer() || !isVisible()) return false;
    dialogs::stopAll();
    hide();
    return true;
}

void MessageDialog::nameButton(ColorButton* button, int entry) {
    namedButtons_.append({button, entry});
    nameInForce(namedButtons_.back());
}

void MessageDialog::nameInForce(const NamedButton& named) {
    QFont f = named.button->font();
    f.setPixelSize(ColorButton::fontPixelSize(named.button->type(), gLan));
    named.button->setFont(f);
    named.button->setText(lan(named.entry));
}

void MessageDialog::showMessage(const QString& text) {
    message_->setText(forLabel(*message_, text));
}

void MessageDialog::showEvent(QShowEvent* event) {
    for (const NamedButton& named : namedButtons_) nameInForce(named);
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
