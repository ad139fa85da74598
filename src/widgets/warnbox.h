#pragma once
#include "messagedialog.h"

// The system's message box: a centred 750 x 370 modal box with a Confirm button. Callers set
// the text and either exec() it or show() it without blocking and hide() it later.
class WarnBox : public MessageDialog {
    Q_OBJECT
public:
    explicit WarnBox(QWidget* parent);

    int exec() override;

signals:
    // The box is being shown: the main window switches the backlight on and restarts the
    // screen-off timer. Also emitted when a test answerer answers an exec().
    void sigShown();

protected:
    void showEvent(QShowEvent* event) override;
};
