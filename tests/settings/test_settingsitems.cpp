// The settings the screen offers against the parameter schema: every stored field is offered
// (or deliberately hidden), each with the range the load accepts, and every label has a text.
#include <gtest/gtest.h>

#include <QMap>
#include <QSet>

#include "globals.h"
#include "languagetable.h"
#include "paramschema.h"
#include "settingsitems.h"

using namespace settings;

TEST(SettingItems, EveryStoredFieldIsOfferedOnceOrHidden) {
    QMap<QString, QSet<int>> offered;
    for (const SettingItem& item : settingItems()) {
        const params::FieldSpec* spec = item.spec();
        ASSERT_NE(spec, nullptr) << item.field.toStdString();
        const int elements = item.perCamera ? spec->count : 1;
        for (int e = 0; e < elements; ++e) {
            const int element = item.perCamera ? e : item.element;
            EXPECT_FALSE(offered[item.field].contains(element))
                << item.field.toStdString() << " " << element << " twice";
            offered[item.field].insert(element);
        }
    }
    for (const params::FieldSpec& f : params::ParamSchema::fields()) {
        SCOPED_TRACE(f.name.toStdString());
        if (isHiddenField(f.name)) {
            EXPECT_FALSE(offered.contains(f.name));
            continue;
        }
        EXPECT_NE(f.type, params::FieldType::Reserved);
        // Every stored element (trigInDelay[8] and outputInvert are stored by their rows).
        int stored = 0;
        for (const params::RowSpec& row : params::ParamSchema::rows()) {
            if (row.text == &f) stored = 1;
            for (const params::TokenSpec& t : row.tokens)
                if (t.write == &f) stored = qMax(stored, t.element + 1);
        }
        EXPECT_EQ(offered.value(f.name).size(), stored);
    }
}

TEST(SettingItems, RangesAreWhatTheLoadKeeps) {
    // Probe values around every limit: the screen accepts exactly what the load leaves alone.
    const int probes[] = {-2,    -1,    0,     1,      2,      3,         4,        5,
                          7,     8,     9,     10,     11,     29,        30,       99,
                          100,   101,   180,   181,    8000,   8001,      9999,     10000,
                          10001, 20000, 20001, 100000, 100001, 100000000, 100000001};
    int checked = 0;
    for (const SettingItem& item : settingItems()) {
        const params::FieldSpec* spec = item.spec();
        if (spec->check.rule == params::CheckRule::None || item.editor == Editor::Language)
            continue;
        SCOPED_TRACE(item.field.toStdString());
        for (int v : probes) {
            // A choice may offer fewer values (the eight serial ports), never one the load drops.
            if (item.editor == Editor::Choice)
                EXPECT_TRUE(!item.range.contains(v) || spec->check.accepts(v)) << v;
            else
                EXPECT_EQ(item.range.contains(v), spec->check.accepts(v)) << v;
        }
        ++checked;
    }
    EXPECT_GE(checked, 20);
    // Flags take 0 and 1 only; choices exactly their values.
    for (const SettingItem& item : settingItems()) {
        if (item.editor == Editor::Flag || item.editor == Editor::InvertedFlag) {
            EXPECT_TRUE(item.range.contains(0) && item.range.contains(1) &&
                        !item.range.contains(2) && !item.range.contains(-1))
                << item.field.toStdString();
        }
        if (item.editor == Editor::Choice) {
            for (int v = item.range.min; v <= item.range.max; ++v)
                EXPECT_TRUE(item.choiceValues.contains(v)) << item.field.toStdString() << v;
        }
    }
}

TEST(SettingItems, LabelsAndChoicesHaveTextInEveryLanguage) {
    const int saved = gLan;
    fillLanguageTable();
    QMap<QString, QString> english;  // by field and element
    for (int language : {1, 0, 2, 3}) {
        gLan = language;
        for (const SettingItem& item : settingItems()) {
            SCOPED_TRACE(item.field.toStdString() + " " + std::to_string(language));
            const QString key = item.field + QString::number(item.element);
            const QString label = item.label();
            EXPECT_FALSE(label.isEmpty());
            EXPECT_FALSE(label.contains(QLatin1String("%1")));
            // The operator reads words, never the stored name; a Japanese one reads Japanese.
            EXPECT_NE(label.section(QLatin1Char(' '), 0, 0), item.field);
            if (language == 1) english[key] = label;
            if (language == 3 && item.editor != Editor::Language) {
                EXPECT_NE(label, english[key]);
            }
            for (int i = 0; i < item.choiceValues.size(); ++i) {
                EXPECT_FALSE(item.choiceText(i).isEmpty()) << i;
                EXPECT_FALSE(item.choiceText(i).contains(QLatin1String("%1"))) << i;
            }
        }
    }
    gLan = saved;
}

TEST(SettingItems, OnlyInputOutputAndAdvancedPagesNeedTheServiceLevel) {
    EXPECT_FALSE(needsServiceLevel(Page::System));
    EXPECT_FALSE(needsServiceLevel(Page::Camera));
    EXPECT_TRUE(needsServiceLevel(Page::InputOutput));
    EXPECT_TRUE(needsServiceLevel(Page::Advanced));
}
