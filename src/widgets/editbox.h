#pragma once
#include <QWidget>

class QLabel;
class Edit;

// A captioned whole-number field with a range, entered on the digit keypad. A finished entry
// outside the range is clamped into it; an entry that is not a number restores the value.
class EditBox : public QWidget {
    Q_OBJECT
public:
    EditBox(QWidget* parent, const QString& caption, int minimum, int maximum, int value);

    int value() const { return value_; }
    void setValue(int value);
    void setRange(int minimum, int maximum);
    void setCaption(const QString& caption);
    Edit* edit() const { return edit_; }

signals:
    void valueChanged(int value);

private:
    void commitEntry();

    QLabel* caption_;
    Edit* edit_;
    int minimum_;
    int maximum_;
    int value_;
};
