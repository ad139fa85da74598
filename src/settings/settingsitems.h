#pragma once
// The settings the operator edits: every stored field of the system parameters (from the
// parameter schema) with the page it is shown on, its language-table label, the editor it gets
// and the range it accepts. Plain data, no widget: the screen builds its rows from it and the
// tests check it against the schema.

#include <QString>
#include <QVector>

#include "paramschema.h"
#include "settingshost.h"

class WizardPara;

namespace settings {

enum class Page { System, Camera, InputOutput, Advanced };
constexpr int kPageCount = 4;

enum class Editor {
    Number,        // digit keypad, refused outside the range
    Slider,        // camera image settings: every move is shown by the camera at once
    Flag,          // 0 / 1
    InvertedFlag,  // 0 / 1 shown the other way round (the label says "not ...")
    OnZero,        // on is 0, off is -1 (position correction)
    Choice,        // one of choiceValues, named by choiceTexts
    Language,      // the four language names (entry 317 in each language)
    Password,      // new password typed twice
    Text,          // a text field (the service code)
};

// A value the screen accepts: min..max, or 0 as well when zeroAllowed.
struct Range {
    int min = 0;
    int max = 0;
    bool zeroAllowed = false;
    bool contains(int value) const {
        return (zeroAllowed && value == 0) || (value >= min && value <= max);
    }
    QString text() const;
};

// Codes of choiceArgBase: the input slot's terminal (TriginNo), the input function names
// (gInName), the output function names (gOutName).
constexpr int kArgTriggerSlot = -1;
constexpr int kArgInputFunction = -2;
constexpr int kArgOutputFunction = -3;

// Rows the language table has no fitting text for: labels of our own, in every language.
enum class OwnLabel { None, MoldSide, TriggerInput, CutMode, ServiceCode };

struct SettingItem {
    QString field;    // the schema's stored name
    int element = 0;  // array element (per-camera items: set to the chosen camera)
    Page page = Page::System;
    bool perCamera = false;
    int labelEntry = -1;  // language entry, -1: ownLabel names the row
    OwnLabel ownLabel = OwnLabel::None;
    int labelArg = -1;  // fills %1 of the label
    Editor editor = Editor::Number;
    Range range;
    QVector<int> choiceValues;
    // Per choice: a language entry, or -1 when choiceTexts has a fixed text.
    QVector<int> choiceEntries;
    QStringList choiceTexts;
    // %1 of a choice entry is the value plus this offset; the negative codes below name tables.
    int choiceArgBase = 0;
    bool hasCamera = false;
    CameraSetting camera = CameraSetting::Exposure;

    QString label() const;
    QString choiceText(int index) const;
    const params::FieldSpec* spec() const { return params::ParamSchema::field(field); }
};

// Every item, in page order.
const QVector<SettingItem>& settingItems();
QVector<SettingItem> itemsOf(Page page, int camera = 0);
// Pages that open only at the service level.
bool needsServiceLevel(Page page);
// Stored fields the screen does not offer, with the reason in settingsitems.cpp.
bool isHiddenField(const QString& name);

// The editing copy with the language chosen on the screen (the language is stored with the
// parameters but lives in the global gLan).
class SettingsEdit {
public:
    SettingsEdit(WizardPara& para, int language) : para_(para) { ctx_.language = language; }

    int value(const SettingItem& item) const;
    // False, and nothing changed, for a value outside the item's range.
    bool setValue(const SettingItem& item, int value);
    int language() const { return ctx_.language; }
    void setLanguage(int language) { ctx_.language = language; }
    WizardPara& para() { return para_; }

private:
    int* slot(const SettingItem& item) const;

    WizardPara& para_;
    mutable params::StoreContext ctx_;
};

}  // namespace settings
