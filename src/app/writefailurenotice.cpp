#include "writefailurenotice.h"

#include <QEvent>
#include <QStringList>

#include "warnbox.h"
#include "writefailuretexts.h"
#include "writewatch.h"

WriteFailureNotice::WriteFailureNotice(const storage::WriteWatch& watch, WarnBox* box,
                                       QObject* parent)
    : QObject(parent), watch_(watch), box_(box) {
    if (!box_) return;
    box_->installEventFilter(this);
    connect(box_, &QDialog::finished, this, [this] {
        if (box_->text() == shown_) shown_.clear();
    });
}

void WriteFailureNotice::show() {
    QStringList lines;
    for (const storage::WriteWatch::Failure& f : watch_.failures())
        lines << lang::cannotWriteText(f.file, f.cause);
    // Files that are written again owe the operator nothing.
    shown_ = lines.join(QLatin1Char('\n'));
    if (shown_.isEmpty() || !box_) return;
    box_->setText(shown_);
    box_->show();
}

bool WriteFailureNotice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_ && event->type() == QEvent::Hide && isOwed()) showAgainWhenFree();
    return false;
}

void WriteFailureNotice::showAgainWhenFree() {
    // Queued: a confirmation is reported after the box has gone down, and a modal warning
    // that replaced the list has to return to its caller first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isOwed() && box_ && !box_->isVisible()) show();
        },
        Qt::QueuedConnection);
}
