#include "floatslider.h"

#include "toolkitlimits.h"

FloatSlider::FloatSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(
        QStringLiteral("QSlider::groove:horizontal{height:12px;background:#505050;"
                       "border-radius:6px;}"
                       "QSlider::sub-page:horizontal{background:#ff9900;border-radius:6px;}"
                       "QSlider::handle:horizontal{width:%1px;margin:-12px 0;"
                       "background:#e6e6e6;border:2px solid #322f2f;border-radius:%2px;}")
            .arg(toolkit::kFloatSliderHandlePx)
            .arg(toolkit::kFloatSliderHandlePx / 2));
    idle_.setSingleShot(true);
    idle_.setInterval(toolkit::kFloatSliderIdleMs);
    connect(&idle_, &QTimer::timeout, this, &FloatSlider::setToMinValue);
    connect(this, &QSlider::valueChanged, this, [this](int) { emit updateValue(floatValue()); });
    // Touching the slider is using it.
    connect(this, &QSlider::sliderPressed, this, &FloatSlider::startTimer);
    connect(this, &QSlider::actionTriggered, this, [this](int) { startTimer(); });
}

void FloatSlider::setScale(float scale) {
    // A scale of zero or below would divide by zero; such a scale means "no scaling".
    scale_ = scale > 0.0f ? scale : 1.0f;
}

void FloatSlider::setToMinValue() {
    idle_.stop();
    setValue(minimum());
}

void FloatSlider::startTimer() {
    idle_.start();
}
