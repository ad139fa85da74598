#pragma once
#include <QSlider>
#include <QTimer>

// The zoom slider: its float value is the integer position divided by a scale (the main
// window uses 100, so positions 100..500 are magnifications 1.00..5.00). Every change is
// reported by updateValue(float). Left alone for the idle interval (30 s) after its last use,
// it returns to its minimum by itself.
class FloatSlider : public QSlider {
    Q_OBJECT
public:
    explicit FloatSlider(QWidget* parent);

    void setScale(float scale);
    float scale() const { return scale_; }
    float floatValue() const { return value() / scale_; }

    // Moves the slider to its minimum.
    void setToMinValue();
    // Restarts the idle timer (the slider or the zoomed view is in use).
    void startTimer();
    void setIdleInterval(int ms) { idle_.setInterval(ms); }
    int idleInterval() const { return idle_.interval(); }
    bool isIdleTimerActive() const { return idle_.isActive(); }

signals:
    void updateValue(float value);

private:
    float scale_ = 1.0f;
    QTimer idle_;
};
