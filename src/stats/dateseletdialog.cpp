#include "dateseletdialog.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "exportselection.h"
#include "statisticsconstants.h"
#include "statisticsscreenconstants.h"
#include "systemactions.h"

using namespace stats::screen;

namespace {

const char* const kPresetTexts[stats::PresetCount] = {"自定义", "1天",   "7天",
                                                      "1个月",  "6个月", "1年"};

QDate today() {
    return sys::actions().now().date();
}

QLabel* cellLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFixedSize(kDateCellWidth, kDateCellHeight);
    return label;
}

QDateEdit* dateEdit(QWidget* parent) {
    auto* edit = new QDateEdit(today(), parent);
    edit->setDisplayFormat(QLatin1String(stats::kDateFormat));
    QFont font(QString::fromLatin1(kDateEditFontFamily));
    font.setPixelSize(kDateEditFontPx);
    edit->setFont(font);
    edit->setFixedSize(kDateEditWidth, kDateCellHeight);
    edit->setAlignment(Qt::AlignCenter);
    edit->setStyleSheet(
        QStringLiteral("QDateEdit::up-button{subcontrol-origin:border;subcontrol-position:right;"
                       "image: url(./images/right.png);width: %1px;height: %1px;}"
                       "QDateEdit::down-button {subcontrol-origin:border;subcontrol-position:"
                       "left;image: url(./images/left.png);width: %1px;height: %1px;}")
            .arg(kDateArrowPx));
    return edit;
}

}  // namespace

DateSeletDialog::DateSeletDialog(QWidget* parent)
    : QDialog(parent), presetGroup(new QButtonGroup(this)) {
    auto* presetRow = new QHBoxLayout;
    QLabel* time = cellLabel(tr("时间："), this);
    time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    presetRow->addWidget(time, 0, Qt::AlignRight);
    for (int id = 0; id < stats::PresetCount; ++id) {
        auto* button = new QRadioButton(tr(kPresetTexts[id]), this);
        button->setFixedSize(kDateCellWidth, kDateCellHeight);
        presetGroup->addButton(button, id);
        presetRow->addWidget(button);
    }

    startEdit = dateEdit(this);
    endEdit = dateEdit(this);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(cellLabel(tr("开始时间"), this));
    startRow->addWidget(startEdit);
    auto* endRow = new QHBoxLayout;
    endRow->addWidget(cellLabel(tr("结束时间"), this));
    endRow->addWidget(endEdit);
    // A date typed by hand makes the range a custom one.
    for (QDateEdit* edit : {startEdit, endEdit})
        connect(edit, &QDateEdit::dateTimeChanged, this, [this] {
            if (presetId != stats::PresetCustom) presetGroup->button(stats::PresetCustom)->click();
        });
    connect(presetGroup, &QButtonGroup::idClicked, this, [this](int id) {
        presetId = id;
        updateDate();
    });
    presetGroup->button(stats::PresetOneDay)->click();

    auto* confirm = new QPushButton(tr("确定"), this);
    auto* cancel = new QPushButton(tr("取消"), this);
    confirm->setFixedSize(kDateCellWidth, kDateCellHeight);
    cancel->setFixedSize(kDateCellWidth, kDateCellHeight);
    connect(confirm, &QPushButton::pressed, this, &QDialog::accept);
    connect(cancel, &QPushButton::pressed, this, &QDialog::reject);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(confirm);
    buttonRow->addWidget(cancel);

    auto* rows = new QVBoxLayout(this);
    rows->addLayout(presetRow);
    rows->addLayout(startRow);
    rows->addLayout(endRow);
    rows->addLayout(buttonRow);
    rows->setSizeConstraint(QLayout::SetFixedSize);
    setStyleSheet(
        QStringLiteral("QRadioButton,QPushButton,QLabel{font-size:%1px;}").arg(kDateDialogFontPx));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
}

QPair<QString, QString> DateSeletDialog::getDays() const {
    return {startEdit->date().toString(QLatin1String(stats::kDateFormat)),
            endEdit->date().toString(QLatin1String(stats::kDateFormat))};
}

void DateSeletDialog::updateDate() {
    if (presetId == stats::PresetCustom) return;
    const QPair<QDate, QDate> range = stats::presetRange(presetId, today());
    const QSignalBlocker blockStart(startEdit);
    const QSignalBlocker blockEnd(endEdit);
    endEdit->setDate(range.second);
    startEdit->setDate(range.first);
    update();
}
