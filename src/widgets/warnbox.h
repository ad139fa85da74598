#pragma once
#include "messagedialog.h"

// Where every warning box reports being shown, whoever made it: the main window connects its
// screen wake-up here once, so a box made later in some screen of its own cannot be missed.
class WarnBoxHub : public QObject {
    Q_OBJECT
signals:
    void sigAnyShown();
};

// The system's message box: a centred 750 x 370 modal box with a Confirm button. Callers set
// the text and either exec() it or show() it without blocking and hide() it later.
class WarnBox : public MessageDialog {
    Q_OBJECT
public:
    explicit WarnBox(QWidget* parent);

    int exec() override;

    // The one hub of every box of the process.
    static WarnBoxHub* hub();

signals:
    // The box is being shown: the main window switches the backlight on and restarts the
    // screen-off timer. Also emitted when a test answerer answers an exec().
    void sigShown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reportShown();
};
