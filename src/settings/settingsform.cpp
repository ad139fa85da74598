#include "settingsform.h"

#include <QFontMetrics>
#include <QLabel>

#include "checkbox.h"
#include "combobox.h"
#include "edit.h"
#include "fittedfont.h"
#include "globals.h"
#include "pagevisits.h"
#include "settingslayout.h"
#include "settingssession.h"
#include "slider.h"
#include "wizardpara.h"

namespace settings {

namespace {

const char* const kEditStyle = "QLineEdit{background:white;color:black;}";

QFont sizedFont(const QWidget* w, int px) {
    QFont f = w->font();
    f.setPixelSize(px);
    return f;
}

QFont labelFont(const QWidget* w) {
    return sizedFont(w, kLabelFontPx);
}

// The slider's span for a value: the usual span, widened to a larger stored value.
int sliderMaximum(const SettingItem& item, int value) {
    return qBound(qMin(kCameraSliderMax, item.range.max), value, item.range.max);
}

int checkedValue(const SettingItem& item, bool checked) {
    switch (item.editor) {
        case Editor::InvertedFlag:
            return checked ? 0 : 1;
        case Editor::OnZero:
            return checked ? params::kMotionCorrectOn : params::kMotionCorrectOff;
        default:
            return checked ? 1 : 0;
    }
}

bool isChecked(const SettingItem& item, int value) {
    switch (item.editor) {
        case Editor::InvertedFlag:
            return value == 0;
        case Editor::OnZero:
            return value == params::kMotionCorrectOn;
        default:
            return value != 0;
    }
}

}  // namespace

SettingsForm::SettingsForm(SettingsSession& session, SettingsHost& host, QWidget* parent)
    : QWidget(parent),
      session_(session),
      host_(host),
      visits_(new PageVisits(parent ? parent : this, "a visit of the settings screen")) {}

void SettingsForm::setItems(const QVector<SettingItem>& items) {
    for (Row& row : rows_) {
        delete row.label;
        delete row.editor;
        delete row.extra;
    }
    rows_.clear();
    items_ = items;
    for (int i = 0; i < items_.size(); ++i) rows_.append(makeRow(i));
    layoutRows();
    refresh();
    setSheet(qMin(sheet_, sheets_ - 1));
}

SettingsForm::Row SettingsForm::makeRow(int index) {
    const SettingItem& item = items_[index];
    Row row;
    row.label = new QLabel(item.label(), this);
    row.label->setFont(labelFont(this));
    row.label->setWordWrap(true);
    row.label->setStyleSheet(QStringLiteral("color:white;"));
    switch (item.editor) {
        case Editor::Number: {
            auto* edit = new Edit(this, Edit::Number);
            edit->setStyleSheet(QLatin1String(kEditStyle));
            connect(edit, &QLineEdit::editingFinished, this,
                    [this, index] { numberEntered(index); });
            row.editor = edit;
            auto* hint = new QLabel(QStringLiteral("(%1)").arg(item.range.text()), this);
            hint->setFont(labelFont(this));
            hint->setStyleSheet(QStringLiteral("color:#a0a0a0;"));
            row.extra = hint;
            break;
        }
        case Editor::Slider: {
            auto* slider = new Slider(item.range.min, sliderMaximum(item, item.range.min), 10,
                                      item.range.min, this, QString());
            connect(slider, &Slider::valueChanged, this,
                    [this, index](int value) { session_.change(items_[index], value); });
            row.editor = slider;
            break;
        }
        case Editor::Flag:
        case Editor::InvertedFlag:
        case Editor::OnZero: {
            auto* box = new CheckBox(QString(), this);
            connect(box, &QCheckBox::toggled, this, [this, index](bool on) {
                session_.change(items_[index], checkedValue(items_[index], on));
            });
            row.editor = box;
            break;
        }
        case Editor::Choice:
        case Editor::Language: {
            auto* combo = new ComboBox(this);
            combo->setFont(sizedFont(this, kControlFontPx));
            combo->setItemHeight(kChoiceItemHeight);
            if (item.editor == Editor::Language) {
                for (int l = 0; l < kLanguageCount; ++l)
                    combo->addItem(gaLanStr[item.labelEntry * kLanguageCount + l], l);
            } else {
                for (int i = 0; i < item.choiceValues.size(); ++i)
                    combo->addItem(item.choiceText(i), item.choiceValues[i]);
            }
            connect(combo, QOverload<int>::of(&QComboBox::activated), this,
                    [this, index, combo](int i) {
                        if (!session_.change(items_[index], combo->itemData(i).toInt()))
                            refuse(items_[index]);
                    });
            row.editor = combo;
            break;
        }
        case Editor::Password: {
            auto* entry = new Edit(this, Edit::Text);
            auto* again = new Edit(this, Edit::Text);
            for (Edit* e : {entry, again}) {
                e->setEchoMode(QLineEdit::Password);
                e->setMaxLength(params::kMaxTextLength);
                e->setStyleSheet(QLatin1String(kEditStyle));
                connect(e, &QLineEdit::textChanged, this, [this, entry, again] {
                    session_.setPasswordEntries(entry->text(), again->text());
                });
            }
            entry->setPlaceholderText(lan(226).trimmed());
            again->setPlaceholderText(lan(227).trimmed());
            row.editor = entry;
            row.extra = again;
            break;
        }
        case Editor::Text: {
            auto* edit = new Edit(this, Edit::Text);
            edit->setMaxLength(params::kMaxTextLength);
            edit->setStyleSheet(QLatin1String(kEditStyle));
            connect(edit, &QLineEdit::editingFinished, this, [this, index, edit] {
                if (!session_.setServiceCode(edit->text())) {
                    refuse(items_[index]);
                    showValue(index);
                }
            });
            row.editor = edit;
            break;
        }
    }
    row.editor->setObjectName(QStringLiteral("%1_%2").arg(item.field).arg(item.element));
    return row;
}

void SettingsForm::layoutRows() {
    const int columnWidth = (width() - (kFormColumns - 1) * kColumnGap) / kFormColumns;
    const int labelWidth = qMax(100, columnWidth - kEditorWidth - kMargin);
    const QFontMetrics fm(labelFont(this));
    int column = 0;
    int y = 0;
    int sheet = 0;
    for (int i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        const bool wide =
            items_[i].editor == Editor::Slider || items_[i].editor == Editor::Password;
        const int textWidth = wide ? labelWidth - kHintWidth : labelWidth;
        // Broken here between phrases: the label's own wrapping cuts Japanese words in two.
        row.label->setText(phraseLines(row.label->font(), items_[i].label(), textWidth));
        const QRect need =
            fm.boundingRect(QRect(0, 0, textWidth, 1000), Qt::TextWordWrap, row.label->text());
        const int h = qMax(kRowMinHeight, need.height() + 8);
        if (y + h > height() && y > 0) {
            y = 0;
            if (++column == kFormColumns) {
                column = 0;
                ++sheet;
            }
        }
        const int x = column * (columnWidth + kColumnGap);
        row.sheet = sheet;
        row.label->setGeometry(x, y, textWidth, h);
        const int ex = x + textWidth + kMargin;
        const int ew = columnWidth - textWidth - kMargin;
        const int eh = kRowMinHeight - 6;
        const int ey = y + (h - eh) / 2;
        switch (items_[i].editor) {
            case Editor::Number:
                row.editor->setGeometry(ex, ey, ew - kHintWidth, eh);
                row.extra->setGeometry(ex + ew - kHintWidth + 8, ey, kHintWidth - 8, eh);
                break;
            case Editor::Password:
                row.editor->setGeometry(ex, ey, (ew - 8) / 2, eh);
                row.extra->setGeometry(ex + (ew + 8) / 2, ey, (ew - 8) / 2, eh);
                break;
            case Editor::Flag:
            case Editor::InvertedFlag:
            case Editor::OnZero:
                row.editor->setGeometry(ex, ey, eh, eh);
                break;
            default:
                row.editor->setGeometry(ex, ey, ew, eh);
        }
        y += h + kRowGap;
    }
    sheets_ = sheet + 1;
}

void SettingsForm::setSheet(int sheet) {
    sheet_ = qBound(0, sheet, sheets_ - 1);
    for (Row& row : rows_) {
        const bool on = row.sheet == sheet_;
        for (QWidget* w : {static_cast<QWidget*>(row.label), row.editor, row.extra})
            if (w) w->setVisible(on);
    }
}

void SettingsForm::refresh() {
    for (int i = 0; i < rows_.size(); ++i) showValue(i);
}

void SettingsForm::showValue(int index) {
    const SettingItem& item = items_[index];
    QWidget* editor = rows_[index].editor;
    const QSignalBlocker block(editor);
    const int value =
        item.editor == Editor::Language ? session_.edit().language() : session_.edit().value(item);
    switch (item.editor) {
        case Editor::Number:
            static_cast<Edit*>(editor)->setText(QString::number(value));
            break;
        case Editor::Slider:
            static_cast<Slider*>(editor)->Reset(item.range.min, sliderMaximum(item, value), 10,
                                                value, QString());
            break;
        case Editor::Flag:
        case Editor::InvertedFlag:
        case Editor::OnZero:
            static_cast<QCheckBox*>(editor)->setChecked(isChecked(item, value));
            break;
        case Editor::Choice:
        case Editor::Language: {
            auto* combo = static_cast<ComboBox*>(editor);
            combo->setCurrentIndex(combo->findData(value));
            break;
        }
        case Editor::Password:
            static_cast<Edit*>(editor)->clear();
            static_cast<Edit*>(rows_[index].extra)->clear();
            break;
        case Editor::Text:
            static_cast<Edit*>(editor)->setText(session_.edit().para().serviceCodeText());
            break;
    }
}

void SettingsForm::numberEntered(int index) {
    const SettingItem& item = items_[index];
    auto* edit = static_cast<Edit*>(rows_[index].editor);
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (ok && value == session_.edit().value(item)) return;
    if (!ok || !session_.change(item, value)) {
        showValue(index);
        refuse(item);
    }
}

void SettingsForm::refuse(const SettingItem& item) {
    host_.warn(item.label() + QStringLiteral("\n(") + item.range.text() + QLatin1Char(')'),
               visits_->subject());
}

QWidget* SettingsForm::editorOf(const QString& field, int element) const {
    for (int i = 0; i < items_.size(); ++i)
        if (items_[i].field == field && items_[i].element == element) return rows_[i].editor;
    return nullptr;
}

QLabel* SettingsForm::labelOf(const QString& field, int element) const {
    for (int i = 0; i < items_.size(); ++i)
        if (items_[i].field == field && items_[i].element == element) return rows_[i].label;
    return nullptr;
}

}  // namespace settings
