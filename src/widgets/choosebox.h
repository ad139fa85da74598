#pragma once
#include "messagedialog.h"

// The modal yes/no box of a given size: exec() returns 1 (QDialog::Accepted) on Confirm and
// 0 on Cancel.
class ChooseBox : public MessageDialog {
    Q_OBJECT
public:
    ChooseBox(QWidget* parent, int width, int height);
};
