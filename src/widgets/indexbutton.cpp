#include "indexbutton.h"

#include <QMetaObject>
#include <QVBoxLayout>
#include <QtDebug>

#include "colorbutton.h"
#include "combobox.h"
#include "globals.h"
#include "toolkitlimits.h"

namespace {
constexpr int kStartDetectionEntry = 136;
constexpr int kStopDetectionEntry = 127;
constexpr int kFirstStepNameEntry = 477;  // "1st" .. "8th"

struct Command {
    const char* name;
    int entry;
    const char* slot;
};

// Tool bar buttons from top to bottom with the owner slot each one calls.
const Command kCommands[] = {
    {"return", 126, "SlotReturn"},           {"startstop", kStopDetectionEntry, "SlotStartStop"},
    {"systempara", 267, "SlotSystemPara"},   {"retrain", 129, "SlotReTrain"},
    {"adjustarea", 130, "SlotAdjustArea"},   {"manualtrig1", 132, "SlotManualTrig1"},
    {"manualtrig0", 131, "SlotManualTrig0"}, {"mulimanualtrig", 516, "SlotMuliManualTrig"},
};
}  // namespace

IndexButton::IndexButton(QWidget* owner)
    : QWidget(owner), owner_(owner), panel_(new QWidget(this)) {
    auto* layout = new QVBoxLayout(panel_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(toolkit::kToolBarSpacing);

    for (const Command& command : kCommands) {
        ColorButton* button = addButton(QString::fromLatin1(command.name), lan(command.entry));
        if (qstrcmp(command.name, "startstop") == 0) startStop_ = button;
        connectToOwner(button, command.slot);
        if (qstrcmp(command.name, "mulimanualtrig") == 0) {
            stepChoice_ = new ComboBox(panel_);
            stepChoice_->setObjectName(QStringLiteral("trigchoice"));
            stepChoice_->setFixedSize(toolkit::kToolBarButtonWidth, toolkit::kToolBarButtonHeight);
            stepChoice_->setItemHeight(toolkit::kToolBarButtonHeight);
            QFont f = stepChoice_->font();
            f.setPixelSize(ColorButton::fontPixelSize(ColorButton::Dark, gLan));
            stepChoice_->setFont(f);
            layout->addWidget(stepChoice_);
            rows_.append(stepChoice_);
        }
    }
    statistics_ = addButton(QStringLiteral("statistics"), lan(541));
    connect(statistics_, &QPushButton::clicked, this, &IndexButton::sigShowStatistics);
    statistics_->hide();
    layout->addStretch(1);

    setStepCount(gDNum);
    setDetecting(true);

    collapseTimer_.setSingleShot(true);
    collapseTimer_.setInterval(toolkit::kToolBarCollapseMs);
    connect(&collapseTimer_, &QTimer::timeout, this, &IndexButton::SlotShowHideTimeout);
    setCollapsed(false);
    restartCollapseTimer();
}

ColorButton* IndexButton::addButton(const QString& name, const QString& text) {
    auto* button = new ColorButton(text, panel_, ColorButton::Dark);
    button->setObjectName(name);
    button->setFixedSize(toolkit::kToolBarButtonWidth, toolkit::kToolBarButtonHeight);
    panel_->layout()->addWidget(button);
    rows_.append(button);
    return button;
}

void IndexButton::connectToOwner(QAbstractButton* button, const char* slotName) {
    if (!owner_) return;
    // By name, so the toolkit does not depend on the main window's class.
    const QByteArray signature = QByteArray(slotName) + "()";
    if (owner_->metaObject()->indexOfSlot(signature.constData()) < 0) {
        qWarning() << "tool bar: owner" << owner_->metaObject()->className() << "has no slot"
                   << signature.constData() << "- button left unconnected";
        return;
    }
    const QByteArray slot = QByteArray::number(QSLOT_CODE) + signature;
    if (connect(button, SIGNAL(clicked()), owner_, slot.constData())) ++connectedSlots_;
}

void IndexButton::setDetecting(bool detecting) {
    detecting_ = detecting;
    startStop_->setText(lan(detecting ? kStopDetectionEntry : kStartDetectionEntry));
}

void IndexButton::setStatisticsVisible(bool visible) {
    statistics_->setVisible(visible);
    placeOnOwner();
}

void IndexButton::setStepCount(int steps) {
    const int count = qBound(1, steps, toolkit::kMaxSteps);
    const int chosen = stepChoice_->currentIndex();
    stepChoice_->clear();
    for (int step = 0; step < count; ++step)
        stepChoice_->addItem(lan(kFirstStepNameEntry + step), step);
    stepChoice_->setCurrentIndex(qBound(0, chosen, count - 1));
}

int IndexButton::CurChooseTrig() const {
    // Nothing chosen counts as the first step: the caller indexes per-step arrays with it.
    return qMax(0, stepChoice_->currentIndex());
}

void IndexButton::SlotShowHideTimeout() {
    collapseTimer_.stop();
    setCollapsed(true);
}

void IndexButton::checkShowHide() {
    if (!collapsed_) return;
    setCollapsed(false);
    restartCollapseTimer();
}

void IndexButton::restartCollapseTimer() {
    collapseTimer_.start();
}

void IndexButton::setCollapsed(bool collapsed) {
    collapsed_ = collapsed;
    panel_->setVisible(!collapsed);
    placeOnOwner();
}

void IndexButton::placeOnOwner() {
    // Collapsed, the bar takes no room, so presses reach the camera view below it.
    if (collapsed_) {
        resize(0, 0);
        return;
    }
    int rows = 0;
    for (QWidget* row : rows_)
        if (!row->isHidden()) ++rows;
    const int w = toolkit::kToolBarButtonWidth;
    const int h = rows * toolkit::kToolBarButtonHeight + (rows - 1) * toolkit::kToolBarSpacing;
    const int ownerWidth = owner_ ? owner_->width() : w + 2 * toolkit::kToolBarMargin;
    setGeometry(ownerWidth - w - toolkit::kToolBarMargin, toolkit::kToolBarMargin, w, h);
    panel_->setGeometry(0, 0, w, h);
}
