#include "writefailurenotice.h"

#include <QEvent>
#include <QStringList>

#include "warnbox.h"
#include "writefailuretexts.h"

WriteFailureNotice::WriteFailureNotice(const storage::WriteWatch& watch, WarnBox* box,
                                       QObject* parent)
    : QObject(parent), watch_(watch), box_(box) {
    if (!box_) return;
    box_->installEventFilter(this);
    connect(box_, &QDialog::finished, this, [this] {
        if (isOwed() && box_->text() == owed_) confirmed();
    });
}

void WriteFailureNotice::show() {
    QStringList lines;
    QList<Told> failures;
    bool news = false;
    for (const storage::WriteWatch::Failure& f : watch_.failures())
        for (int i = 0; i < f.files.size(); ++i) {
            lines << lang::cannotWriteText(f.files[i], f.causes[i]);
            failures << Told{f.store, f.files[i], f.causes[i], f.round};
            news = news || !confirmed_.contains(failures.last());
        }
    // Files that are written again, and failures the operator has read, owe nothing.
    owed_ = news ? lines.join(QLatin1Char('\n')) : QString();
    owedFailures_ = news ? failures : QList<Told>();
    if (!isOwed() || !box_) return;
    // The list replaces only its own older words; another warning going down brings it.
    if (box_->isVisible()) {
        if (box_->replaceShown(onBox_, owed_)) onBox_ = owed_;
        return;
    }
    onBox_ = owed_;
    box_->setText(owed_);
    box_->show();
}

void WriteFailureNotice::confirmed() {
    // A failure of an earlier round cannot come back as it was.
    QList<Told> kept;
    for (const Told& t : confirmed_)
        if (t.round == watch_.round(storage::WriteWatch::Store(t.store))) kept << t;
    for (const Told& t : owedFailures_)
        if (!kept.contains(t)) kept << t;
    confirmed_ = kept;
    owed_.clear();
    owedFailures_.clear();
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
