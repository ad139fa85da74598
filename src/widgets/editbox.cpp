#include "editbox.h"

#include <QHBoxLayout>
#include <QLabel>

#include "edit.h"
#include "toolkitlimits.h"

EditBox::EditBox(QWidget* parent, const QString& caption, int minimum, int maximum, int value)
    : QWidget(parent),
      caption_(new QLabel(caption, this)),
      edit_(new Edit(this, Edit::Number)),
      minimum_(qMin(minimum, maximum)),
      maximum_(qMax(minimum, maximum)),
      value_(qBound(minimum_, value, maximum_)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont f = caption_->font();
    f.setPixelSize(toolkit::kEditFontPx);
    caption_->setFont(f);
    layout->addWidget(caption_);
    layout->addWidget(edit_, 1);
    edit_->setText(QString::number(value_));
    connect(edit_, &QLineEdit::editingFinished, this, &EditBox::commitEntry);
}

void EditBox::setCaption(const QString& caption) {
    caption_->setText(caption);
}

void EditBox::setRange(int minimum, int maximum) {
    minimum_ = qMin(minimum, maximum);
    maximum_ = qMax(minimum, maximum);
    setValue(value_);
}

void EditBox::setValue(int value) {
    const int bounded = qBound(minimum_, value, maximum_);
    edit_->setText(QString::number(bounded));
    if (bounded == value_) return;
    value_ = bounded;
    emit valueChanged(value_);
}

void EditBox::commitEntry() {
    bool ok = false;
    const int entered = edit_->text().trimmed().toInt(&ok);
    if (!ok) {
        edit_->setText(QString::number(value_));
        return;
    }
    setValue(entered);
}
