#include "customionamewidget.h"

#include <QLabel>

#include "globals.h"
#include "settingslayout.h"
#include "wizardpara.h"

namespace {
constexpr int kTitleEntry = 473;   // "Custom IO"
constexpr int kEntryInput = 495;   // "   Input %1"
constexpr int kEntryOutput = 476;  // "Out %1"
// Modes 0..2 use four inputs (names 0..3) and four outputs (names 4..7); the multi-detection
// mode nine of each (names 0..8 and 9..17).
constexpr int kFewTerminals = 4;
constexpr int kAllTerminals = 9;
constexpr int kRowTop = 150;
constexpr int kCaptionWidth = 220;
constexpr int kNameWidth = 600;
}  // namespace

CustomIONameWidget::CustomIONameWidget(QWidget* owner) : SettingsPage(owner, kTitleEntry) {}

void CustomIONameWidget::init() {
    refreshTexts();
    fill();
    hide();
}

void CustomIONameWidget::showEvent(QShowEvent* event) {
    SettingsPage::showEvent(event);
    fill();
}

void CustomIONameWidget::fill() {
    using namespace settings;
    qDeleteAll(inputs_);
    qDeleteAll(outputs_);
    qDeleteAll(captions_);
    inputs_.clear();
    outputs_.clear();
    captions_.clear();
    const bool multi = gpWPara && gpWPara->detectMode == params::kModeMultiDetect;
    const int count = multi ? kAllTerminals : kFewTerminals;
    const int outputBase = multi ? kAllTerminals : kFewTerminals;
    QFont f = font();
    f.setPixelSize(kLabelFontPx);
    for (int side = 0; side < 2; ++side) {
        const int x = kMargin + side * (kCaptionWidth + kNameWidth + 3 * kMargin);
        for (int i = 0; i < count; ++i) {
            const int y = kRowTop + i * (kRowMinHeight + kRowGap);
            auto* caption =
                new QLabel(lan(side == 0 ? kEntryInput : kEntryOutput).arg(i + 1).trimmed(), this);
            auto* name = new QLabel(gaName[side == 0 ? i : outputBase + i], this);
            caption->setGeometry(x, y, kCaptionWidth, kRowMinHeight);
            name->setGeometry(x + kCaptionWidth + kMargin, y, kNameWidth, kRowMinHeight);
            name->setStyleSheet(QStringLiteral("QLabel{background:#404040;padding-left:10px;}"));
            for (QLabel* l : {caption, name}) {
                l->setFont(f);
                l->show();
            }
            captions_.append(caption);
            (side == 0 ? inputs_ : outputs_).append(name);
        }
    }
}

QString CustomIONameWidget::inputName(int terminal) const {
    return terminal >= 1 && terminal <= inputs_.size() ? inputs_[terminal - 1]->text() : QString();
}

QString CustomIONameWidget::outputName(int terminal) const {
    return terminal >= 1 && terminal <= outputs_.size() ? outputs_[terminal - 1]->text()
                                                        : QString();
}
