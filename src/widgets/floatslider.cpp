#include "floatslider.h"

#include <QTimer>

#include "toolkitlimits.h"

namespace {

class TimerIdleWait : public IdleWait {
public:
    TimerIdleWait() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (expired) expired();
        });
    }
    void start(int ms) override { timer_.start(ms); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

}  // namespace

FloatSlider::FloatSlider(QWidget* parent)
    : QSlider(Qt::Horizontal, parent), idleMs_(toolkit::kFloatSliderIdleMs) {
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(
        QStringLiteral("QSlider::groove:horizontal{height:12px;background:#505050;"
                       "border-radius:6px;}"
                       "QSlider::sub-page:horizontal{background:#ff9900;border-radius:6px;}"
                       "QSlider::handle:horizontal{width:%1px;margin:-12px 0;"
                       "background:#e6e6e6;border:2px solid #322f2f;border-radius:%2px;}")
            .arg(toolkit::kFloatSliderHandlePx)
            .arg(toolkit::kFloatSliderHandlePx / 2));
    setIdleWait(std::make_unique<TimerIdleWait>());
    connect(this, &QSlider::valueChanged, this, [this](int) { emit updateValue(floatValue()); });
    // Touching the slider is using it.
    connect(this, &QSlider::sliderPressed, this, &FloatSlider::startTimer);
    connect(this, &QSlider::actionTriggered, this, [this](int) { startTimer(); });
}

FloatSlider::~FloatSlider() = default;

void FloatSlider::setIdleWait(std::unique_ptr<IdleWait> wait) {
    idle_ = std::move(wait);
    idle_->expired = [this] { setToMinValue(); };
}

void FloatSlider::setScale(float scale) {
    // A scale of zero or below would divide by zero; such a scale means "no scaling".
    scale_ = scale > 0.0f ? scale : 1.0f;
}

void FloatSlider::setToMinValue() {
    idle_->stop();
    setValue(minimum());
}

void FloatSlider::startTimer() {
    idle_->start(idleMs_);
}
