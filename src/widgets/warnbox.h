#pragma once
#include <QStringList>

#include "messagedialog.h"

// Where every warning box reports being shown, whoever made it: the main window connects its
// screen wake-up here once, so a box made later in some screen of its own cannot be missed.
class WarnBoxHub : public QObject {
    Q_OBJECT
signals:
    void sigAnyShown();
};

// The system's message box: a centred 750 x 370 modal box with a Confirm button. Callers set
// the text and either exec() it or show() it without blocking and take it back later with
// withdraw(). The box is shared, so a warning is never replaced by another one: a text set
// while the box shows a different one waits its turn (show()), or blocks its caller until
// the box is free and then until its own words were confirmed (exec()).
class WarnBox : public MessageDialog {
    Q_OBJECT
public:
    explicit WarnBox(QWidget* parent);

    void setText(const QString& text) override;
    int execAbout(dialogs::Watch* watch) override;
    void setVisible(bool visible) override;

    // A condition that ended takes back its own warning: hidden if it is the one shown, out
    // of the turn if it waits; another warning on the box stays.
    void withdraw(const QString& text);
    // Puts new words in place of `was` when the box shows it, else nothing (true if done):
    // for a message that follows its own changing state.
    bool replaceShown(const QString& was, const QString& now);
    // The words are on the box, or wait their turn behind another warning.
    bool tells(const QString& text) const;

    // The one hub of every box of the process.
    static WarnBoxHub* hub();

signals:
    // The box is being shown: the main window switches the backlight on and restarts the
    // screen-off timer. Also emitted when a test answerer answers an exec().
    void sigShown();
    // The box went down, confirmed or hidden.
    void sigDown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reportShown();
    // Until the box goes down, the watch ends or the program stops.
    void waitUntilDown(dialogs::Watch* watch);
    void showNextWhenFree();

    QString pending_;  // set while another text is on the box, not yet shown or run
    bool hasPending_ = false;
    QStringList waiting_;  // shown without blocking while another was on the box, in order
    int running_ = 0;      // exec() frames of this box on the stack
};
