#include "keypad.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>

#include "colorbutton.h"
#include "fittedfont.h"
#include "toolkitlimits.h"

Keypad::Keypad(QWidget* parent) : QFrame(parent), grid_(new QGridLayout(this)) {
    setFocusPolicy(Qt::NoFocus);
    // A press between the keys is on the keypad, not elsewhere: passed on to the window it
    // would close the keypad, and its release would take the focus from the field.
    setAttribute(Qt::WA_NoMousePropagation);
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setStyleSheet(
        QStringLiteral("Keypad,NumberInput,NumCharInput{background-color:#1e1e1e;"
                       "border:2px solid #ff9900;}"));
    grid_->setContentsMargins(toolkit::kKeypadMargin, toolkit::kKeypadMargin,
                              toolkit::kKeypadMargin, toolkit::kKeypadMargin);
    grid_->setSpacing(toolkit::kKeySpacing);
    hide();
}

ColorButton* Keypad::addKey(const QString& text, const QString& name, int row, int column,
                            int columnSpan) {
    auto* key = new ColorButton(text, this, ColorButton::Dark);
    key->setObjectName(name);
    key->setFixedSize(toolkit::kKeyWidth * columnSpan + toolkit::kKeySpacing * (columnSpan - 1),
                      toolkit::kKeyHeight);
    fitKeyText(key);
    grid_->addWidget(key, row, column, 1, columnSpan);
    return key;
}

void Keypad::fitKeyText(ColorButton* key) {
    QFont f = key->font();
    f.setPixelSize(toolkit::kKeyFontPx);
    key->setFont(fittedFont(f, key->text(), key->width() - toolkit::kButtonTextMarginPx,
                            toolkit::kMinFittedFontPx));
}

void Keypad::finishLayout() {
    grid_->activate();
    setFixedSize(sizeHint());
}

void Keypad::openFor(QLineEdit* target) {
    if (!target) return;
    if (target_ != target) {
        if (target_) target_->removeEventFilter(this);
        disconnect(targetGone_);
        // A field whose page closes or turns keeps the focus when nothing else can take it;
        // the keypad, a child of the window, would stay and type into a field nobody sees.
        target->installEventFilter(this);
        targetGone_ = connect(target, &QObject::destroyed, this, &QWidget::hide);
    }
    target_ = target;
    watchedTarget_ = target;
    QWidget* host = target->window();
    // Always a child of the field's window, also when it was adopted as a window of its own (as
    // the main window adopts the shared keypads): the window system activates a window that is
    // pressed, the field's window loses the focus with it, and the field closes the keypad
    // after every key. setParent(host) alone does nothing when host already owns the keypad.
    if (host != this && (parentWidget() != host || isWindow())) setParent(host, Qt::Widget);
    if (host != this && host_ != host) {
        if (host_) host_->removeEventFilter(this);
        // A press that no widget of the window takes is a press elsewhere; in a dialog no main
        // window behind it sees that press.
        host->installEventFilter(this);
        host_ = host;
        watchedHost_ = host;
    }

    const int gap = toolkit::kKeypadGap;
    const QPoint fieldTopLeft = target->mapTo(host, QPoint(0, 0));
    int x = fieldTopLeft.x() + (target->width() - width()) / 2;
    int y = fieldTopLeft.y() + target->height() + gap;
    if (y + height() > host->height()) y = fieldTopLeft.y() - gap - height();
    if (y < 0) y = qMax(0, host->height() - height());
    x = qBound(0, x, qMax(0, host->width() - width()));
    move(x, y);
    raise();
    show();
}

bool Keypad::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedTarget_ && event->type() == QEvent::Hide) hide();
    if (watched == watchedHost_ && event->type() == QEvent::MouseButtonPress) hide();
    return QFrame::eventFilter(watched, event);
}

void Keypad::sendKey(int key, const QString& text) {
    if (!target_) return;
    // Delivered to the field alone: an unhandled key (the field ignores Return) must not
    // travel on to the window, where a dialog would take Return or Escape for its buttons.
    QObject* field = target_;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    field->event(&press);
    if (!target_) return;  // the field may have gone in reaction to the key
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    field->event(&release);
}

void Keypad::typeText(const QString& text) {
    for (const QChar c : text) {
        // Qt's key codes of printable ASCII are the upper-case character codes.
        sendKey(c.toUpper().unicode(), QString(c));
    }
}
