#pragma once
#include <QWidget>

class QLabel;
class QSlider;

// A captioned, touch-sized slider that shows its value and emits valueChanged(int) whenever
// the value changes.
class Slider : public QWidget {
    Q_OBJECT
public:
    Slider(int min, int max, int pageStep, int value, QWidget* parent, const QString& caption);

    // Sets the caption, the range, the page step and the value, in that order.
    void Reset(int min, int max, int pageStep, int value, const QString& caption);

    int value() const;
    void setValue(int value);
    int minimum() const;
    int maximum() const;
    int pageStep() const;
    QString caption() const;

signals:
    void valueChanged(int value);

private:
    QLabel* caption_;
    QSlider* slider_;
    QLabel* value_;
};
