#include "slider.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include "fittedfont.h"
#include "toolkitlimits.h"

namespace {
const char* const kSliderStyle =
    "QSlider::groove:horizontal{height:16px;background:#505050;border-radius:8px;}"
    "QSlider::sub-page:horizontal{background:#ff9900;border-radius:8px;}"
    "QSlider::handle:horizontal{width:40px;margin:-14px 0;background:#e6e6e6;"
    "border:2px solid #322f2f;border-radius:20px;}";
}

Slider::Slider(int min, int max, int pageStep, int value, QWidget* parent, const QString& caption)
    : QWidget(parent),
      caption_(new QLabel(this)),
      slider_(new QSlider(Qt::Horizontal, this)),
      value_(new QLabel(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont f = font();
    f.setPixelSize(toolkit::kSliderFontPx);
    caption_->setFont(f);
    value_->setFont(f);
    caption_->setFixedWidth(toolkit::kSliderCaptionWidth);
    value_->setFixedWidth(toolkit::kSliderValueWidth);
    value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    slider_->setStyleSheet(QString::fromLatin1(kSliderStyle));
    slider_->setFocusPolicy(Qt::NoFocus);
    slider_->setMinimumHeight(toolkit::kSliderHeight);
    layout->addWidget(caption_);
    layout->addWidget(slider_, 1);
    layout->addWidget(value_);
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        value_->setText(QString::number(v));
        emit valueChanged(v);
    });
    Reset(min, max, pageStep, value, caption);
    value_->setText(QString::number(slider_->value()));
}

void Slider::Reset(int min, int max, int pageStep, int value, const QString& caption) {
    caption_->setText(caption);
    // The caption column is fixed; a longer caption is drawn smaller rather than cut off
    // under the handle.
    QFont f = caption_->font();
    f.setPixelSize(toolkit::kSliderFontPx);
    caption_->setFont(fittedFont(f, caption,
                                 toolkit::kSliderCaptionWidth - toolkit::kSliderCaptionGapPx,
                                 toolkit::kMinFittedFontPx));
    slider_->setRange(min, max);
    slider_->setPageStep(pageStep);
    slider_->setValue(value);
}

int Slider::value() const {
    return slider_->value();
}
void Slider::setValue(int value) {
    slider_->setValue(value);
}
int Slider::minimum() const {
    return slider_->minimum();
}
int Slider::maximum() const {
    return slider_->maximum();
}
int Slider::pageStep() const {
    return slider_->pageStep();
}
QString Slider::caption() const {
    return caption_->text();
}
