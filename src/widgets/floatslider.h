#pragma once
#include <QSlider>
#include <functional>
#include <memory>

// The wait after the last use before the slider returns to its minimum. The slider's own runs
// on a timer; a test gives one whose time it moves by hand.
class IdleWait {
public:
    virtual ~IdleWait() = default;
    virtual void start(int ms) = 0;  // starts the wait again from the beginning
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    std::function<void()> expired;  // called when the wait has run out
};

// The zoom slider: its float value is the integer position divided by a scale (the main
// window uses 100, so positions 100..500 are magnifications 1.00..5.00). Every change is
// reported by updateValue(float). Left alone for the idle interval (30 s) after its last use,
// it returns to its minimum by itself.
class FloatSlider : public QSlider {
    Q_OBJECT
public:
    explicit FloatSlider(QWidget* parent);
    ~FloatSlider() override;

    void setScale(float scale);
    float scale() const { return scale_; }
    float floatValue() const { return value() / scale_; }

    // Moves the slider to its minimum.
    void setToMinValue();
    // Restarts the idle timer (the slider or the zoomed view is in use).
    void startTimer();
    void setIdleInterval(int ms) { idleMs_ = ms; }
    int idleInterval() const { return idleMs_; }
    bool isIdleTimerActive() const { return idle_->isActive(); }
    void setIdleWait(std::unique_ptr<IdleWait> wait);

signals:
    void updateValue(float value);

private:
    float scale_ = 1.0f;
    int idleMs_;
    std::unique_ptr<IdleWait> idle_;
};
