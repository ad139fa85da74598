#include "warnbox.h"

#include <QDebug>
#include <QEventLoop>
#include <QPointer>

#include "colorbutton.h"
#include "dialogseam.h"
#include "globals.h"
#include "question.h"
#include "toolkitlimits.h"

WarnBox::WarnBox(QWidget* parent)
    : MessageDialog(parent, toolkit::kDialogWidth, toolkit::kDialogHeight) {
    auto* confirm = new ColorButton(QString(), this, ColorButton::Dark);
    nameButton(confirm, 121);
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

void WarnBox::setText(const QString& text) {
    // The words on the box are the operator's until confirmed: the new ones are kept for the
    // show() or exec() that follows.
    hasPending_ = isVisible() && text != this->text();
    if (hasPending_)
        pending_ = text;
    else
        MessageDialog::setText(text);
}

void WarnBox::setVisible(bool visible) {
    const bool wasVisible = isVisible();
    if (visible && wasVisible) {
        if (hasPending_ && !waiting_.contains(pending_)) waiting_ << pending_;
        hasPending_ = false;
        return;
    }
    MessageDialog::setVisible(visible);
    if (visible || !wasVisible) return;
    emit sigDown();
    showNextWhenFree();
}

void WarnBox::showNextWhenFree() {
    // Queued: a confirmation is reported (finished) with the confirmed words still on the box.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible() || waiting_.isEmpty()) return;
            MessageDialog::setText(waiting_.takeFirst());
            show();
        },
        Qt::QueuedConnection);
}

namespace {
bool over(const dialogs::Watch* watch) {
    return dialogs::stopping() || (watch && watch->isOver());
}
}  // namespace

int WarnBox::execAbout(dialogs::Watch* watch) {
    const bool ownWords = hasPending_;
    const QString words = ownWords ? pending_ : text();
    hasPending_ = false;
    if (over(watch)) return QDialog::Rejected;
    if (dialogs::hasAnswerer()) {
        // An answered box never opens, but for the program it was shown all the same. The
        // answerer reads the caller's words; a warning on the box keeps its own.
        reportShown();
        const QString onBox = text();
        MessageDialog::setText(words);
        const int answer = MessageDialog::execAbout(watch);
        MessageDialog::setText(onBox);
        return answer;
    }
    QPointer<WarnBox> self(this);
    if (!isVisible() && running_ == 0) {
        ++running_;
        const int answer = MessageDialog::execAbout(watch);
        if (self) --running_;
        return answer;
    }
    if (!ownWords && isVisible()) {
        // These very words are on the box: the caller goes on once they are confirmed.
        waitUntilDown(watch);
        return self ? result() : int(QDialog::Rejected);
    }
    // Another warning is read first. The box's own modal run may still be on the stack
    // below (it cannot return before this caller does), so this one runs without it.
    while (self && isVisible() && !over(watch)) waitUntilDown(watch);
    if (!self || over(watch)) return QDialog::Rejected;
    qInfo().noquote() << "Dialog shown after the one before:" << words.simplified();
    MessageDialog::setText(words);
    setResult(QDialog::Rejected);
    show();
    waitUntilDown(watch);
    if (!self) return QDialog::Rejected;
    // Its subject went while these words were up: they go with it, unconfirmed.
    if (over(watch) && isVisible() && text() == words) {
        setResult(QDialog::Rejected);
        hide();
    }
    return result();
}

void WarnBox::waitUntilDown(dialogs::Watch* watch) {
    if (!isVisible() || over(watch)) return;
    QEventLoop loop;
    bool endedHere = false;
    const auto quit = [&loop, &endedHere] {
        endedHere = true;
        loop.quit();
    };
    connect(this, &WarnBox::sigDown, &loop, quit);
    connect(this, &QObject::destroyed, &loop, quit);
    if (watch) connect(watch, &dialogs::Watch::ended, &loop, quit);
    loop.exec(QEventLoop::DialogExec);
    // A nested loop returns at once, without any of the above, once the program quits: waiting
    // again would spin for ever.
    if (!endedHere) dialogs::stopAll();
}

void WarnBox::withdraw(const QString& text) {
    waiting_.removeAll(text);
    if (hasPending_ && pending_ == text) hasPending_ = false;
    if (isVisible() && this->text() == text) hide();
}

bool WarnBox::replaceShown(const QString& was, const QString& now) {
    if (!isVisible() || text() != was) return false;
    MessageDialog::setText(now);
    return true;
}

bool WarnBox::tells(const QString& text) const {
    return (isVisible() && this->text() == text) || waiting_.contains(text) ||
           (hasPending_ && pending_ == text);
}

void WarnBox::showEvent(QShowEvent* event) {
    MessageDialog::showEvent(event);
    reportShown();
}
