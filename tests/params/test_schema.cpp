// The field description itself: every stored value has exactly one place in the rows, the rows
// have the documented widths and orders, and the load-check rules compare as the store needs.
#include <gtest/gtest.h>

#include <QHash>
#include <QSet>

#include "paramschema.h"
#include "wizardpara.h"

using params::CheckRule;
using params::LoadCheck;
using params::ParamSchema;

TEST(ParamSchema, RowsHaveTheirDocumentedWidthsInLoadOrder) {
    const QList<QPair<QString, int>> expected = {
        {"trigInDelay", 8},  {"exposeTime", 4}, {"adjustPlus", 4}, {"numFailDetect", 8},
        {"numAllDetect", 8}, {"isPswUsed", 1},  {"password", -1},  {"system1", 9},
        {"system2", 18},     {"system3", 11},   {"system4", 3},    {"sharp", 4},
        {"contrast", 4},     {"system5", 13},   {"system6", 12},   {"system7", 20},
        {"system8", 20},     {"system9", 20},   {"system10", 20},  {"system11", 20},
        {"system12", 20},    {"system13", 20},  {"system14", 20},  {"serviceCode", -1}};
    const auto& rows = ParamSchema::rows();
    ASSERT_EQ(rows.size(), expected.size());
    for (int i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].first.toStdString());
        EXPECT_EQ(rows[i].name, expected[i].first);
        if (expected[i].second < 0)
            EXPECT_TRUE(rows[i].isText());
        else
            EXPECT_EQ(rows[i].tokens.size(), expected[i].second);
    }
}

TEST(ParamSchema, SaveOrderIsTheDocumentedOne) {
    QStringList names;
    for (const auto* row : ParamSchema::rowsInSaveOrder()) names << row->name;
    EXPECT_EQ(names.join(' '),
              "trigInDelay exposeTime sharp contrast adjustPlus numFailDetect numAllDetect "
              "isPswUsed password system1 system2 system3 system4 system5 system6 system7 "
              "system8 system9 system10 system11 system12 system13 system14 serviceCode");
}

TEST(ParamSchema, EveryStoredElementHasExactlyOneToken) {
    QHash<QString, int> reads, writes;
    for (const auto& row : ParamSchema::rows()) {
        if (row.isText()) {
            reads[row.text->name] += 1;
            writes[row.text->name] += 1;
            continue;
        }
        for (const auto& t : row.tokens) {
            ASSERT_TRUE(t.read && t.write) << row.name.toStdString();
            ASSERT_LT(t.element, t.read->count) << row.name.toStdString();
            reads[QStringLiteral("%1[%2]").arg(t.read->name).arg(t.element)] += 1;
            writes[QStringLiteral("%1[%2]").arg(t.write->name).arg(t.element)] += 1;
        }
    }
    for (const auto& f : ParamSchema::fields()) {
        if (f.isText()) {
            EXPECT_EQ(reads.value(f.name), 1) << f.name.toStdString();
            continue;
        }
        for (int i = 0; i < f.count; ++i) {
            const QString key = QStringLiteral("%1[%2]").arg(f.name).arg(i);
            SCOPED_TRACE(key.toStdString());
            if (f.name == "spareToken") {
                EXPECT_EQ(reads.value(key), 51);  // every reserved token
            } else if (f.name == "detectMode") {
                EXPECT_EQ(reads.value(key), 1);
                EXPECT_EQ(writes.value(key), 0);
            } else if (f.name == "detectModeNext") {
                EXPECT_EQ(reads.value(key), 0);
                EXPECT_EQ(writes.value(key), 1);
            } else {
                EXPECT_EQ(reads.value(key), 1);
                EXPECT_EQ(writes.value(key), 1);
            }
        }
    }
}

TEST(ParamSchema, ChecksCompareAsUnsignedNumbers) {
    const LoadCheck above{CheckRule::AboveMax, 0, 10000, 30};
    EXPECT_TRUE(above.accepts(0));
    EXPECT_TRUE(above.accepts(10000));
    EXPECT_FALSE(above.accepts(10001));
    EXPECT_FALSE(above.accepts(-5));  // negative counts as larger than any limit
    EXPECT_EQ(above.corrected(-5), 30);

    const LoadCheck range{CheckRule::OutsideRange, 1, 100, 10};
    EXPECT_FALSE(range.accepts(0));
    EXPECT_TRUE(range.accepts(1));
    EXPECT_TRUE(range.accepts(100));
    EXPECT_FALSE(range.accepts(-1));

    const LoadCheck unlessZero{CheckRule::OutsideRangeUnlessZero, 30, 9999, 600};
    EXPECT_TRUE(unlessZero.accepts(0));
    EXPECT_FALSE(unlessZero.accepts(29));
    EXPECT_FALSE(unlessZero.accepts(10000));
    EXPECT_FALSE(unlessZero.accepts(-30));

    const LoadCheck motion{CheckRule::ZeroOrMinusOne, 0, 0, -1};
    EXPECT_TRUE(motion.accepts(0));
    EXPECT_TRUE(motion.accepts(-1));
    EXPECT_EQ(motion.corrected(1), -1);
    EXPECT_EQ(motion.corrected(-2), -1);
}

TEST(ParamSchema, FactoryValuesPassEveryLoadCheck) {
    WizardPara para;
    params::StoreContext ctx;
    ParamSchema::applyFactory(para, ctx);
    for (const auto& f : ParamSchema::fields()) {
        if (f.isText()) continue;
        for (int i = 0; i < f.count; ++i)
            EXPECT_TRUE(f.check.accepts(f.numbers(para, ctx)[i])) << f.name.toStdString();
    }
    EXPECT_EQ(para.serviceCodeText(), QString(params::kFactoryServiceCode));
    EXPECT_EQ(para.passwordText(), QString());
}

TEST(ParamSchema, ConstructorSetsTheInitialValues) {
    WizardPara para;
    EXPECT_EQ(para.shapeAccuracy, 5);
    EXPECT_EQ(para.zoomLayers, 5);
    EXPECT_EQ(para.detectNum, 2);
    EXPECT_EQ(para.detectEnable[0], 0);
    EXPECT_EQ(para.detectEnable[1], 1);
    EXPECT_EQ(para.exposeTime[7], 0);
    EXPECT_EQ(para.tempNum, 0);
    EXPECT_EQ(para.curGroupName, QString("default"));
    EXPECT_EQ(para.passwordText(), QString());
    EXPECT_EQ(para.startSide, params::kKeepSide);
}
