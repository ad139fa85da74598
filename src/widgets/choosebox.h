#pragma once
#include "messagedialog.h"

// The modal yes/no box of a given size: exec() returns 1 (QDialog::Accepted) on Confirm and
// 0 on Cancel.
class ChooseBox : public MessageDialog {
    Q_OBJECT
public:
    ChooseBox(QWidget* parent, int width, int height);

    // The box is shared, and a timer or an input edge may ask while the operator reads another
    // question on it: that question is not asked (No), and the open one keeps its words, as
    // its answer goes to the one who asked it.
    void setText(const QString& text) override;
    int execAbout(dialogs::Watch* watch) override;

private:
    bool asking_ = false;
    QString refused_;  // the text of a question not asked, for the log
};
