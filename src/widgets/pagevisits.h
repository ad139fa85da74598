#pragma once
// The visits of a page, counted as it is shown and as it is hidden: every box asked on the page
// is about the visit it was asked in. A page closed under an open box (an NG alarm closes the
// settings and statistics screens, and with them every page on them) ends the box unanswered,
// and its road does nothing more.

#include <QObject>

#include "question.h"

class QWidget;

class PageVisits : public QObject {
    Q_OBJECT
public:
    // Counts the visits of `page` (its child: it goes with the page). The parts of a screen
    // (its forms, lists and tables) count the screen's visits.
    PageVisits(QWidget* page, const char* name);

    // The visit going on now, read now.
    dialogs::Subject subject() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const char* name_;
    qint64 turns_ = 0;  // shown and hidden, counted
};
