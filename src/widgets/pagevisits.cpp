#include "pagevisits.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

PageVisits::PageVisits(QWidget* page, const char* name) : QObject(page), name_(name) {
    page->installEventFilter(this);
}

dialogs::Subject PageVisits::subject() const {
    // A box may outlive the page (the window goes while it is open): a page gone is a visit gone.
    QPointer<PageVisits> self(const_cast<PageVisits*>(this));
    return dialogs::Subject(
        name_, [self] { return dialogs::Subject::Reading{self ? self->turns_ : qint64(-1)}; });
}

bool PageVisits::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        ++turns_;
    return QObject::eventFilter(watched, event);
}
