#pragma once
#include <QWidget>

#include "question.h"

class QLabel;
class ColorButton;
class PageVisits;

// Frame of a settings and maintenance page: a full-size page over its owner with a title and
// a close button. Pages are created hidden; the owner shows them.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    QString title() const;
    // Reads the title and button texts from the language table again.
    void refreshTexts();
    // The visit going on now: what every box asked on the page is about.
    dialogs::Subject visit() const;

protected:
    SettingsPage(QWidget* owner, int titleEntry);
    // The close button: hides the page unless the page ends otherwise.
    virtual void closePage() { hide(); }

private:
    int titleEntry_;
    QLabel* title_;
    ColorButton* close_;
    PageVisits* visits_;
};
