// What the load makes of the stored values: the load-check table, the function fallback, the
// step layout of each detection mode with its index guards, and the terminal names.
#include <gtest/gtest.h>

#include <QFile>

#include "paramtesthelpers.h"
#include "testsupport.h"
#include "wizardpara.h"
#include "wizardparalayout.h"
#include "wizardparastore.h"

using params::ParamSchema;
using params::StoreContext;
using paramtest::GlobalsGuard;
using paramtest::TestDatabase;

namespace {

// Replaces the token that holds element i of a field in its stored row.
void storeToken(const TestDatabase& db, const QString& field, int i, int value) {
    for (const auto& row : ParamSchema::rows()) {
        for (int t = 0; t < row.tokens.size(); ++t) {
            const auto& token = row.tokens[t];
            if (token.read->name != field || token.element != i) continue;
            QStringList tokens = db.value(row.name).split(' ');
            tokens[t] = QString::number(value);
            db.setValue(row.name, tokens.join(' '));
            return;
        }
    }
    ADD_FAILURE() << "no token for " << field.toStdString() << "[" << i << "]";
}

struct CheckCase {
    const char* field;
    int element;
    int stored;
    int loaded;
};

class LoadCheckTest : public ::testing::Test {
protected:
    LoadCheckTest() { EXPECT_TRUE(WizardParaStore::createDefaultDatabase(work.file("PARAM.db"))); }
    testsupport::WorkDir work;
    GlobalsGuard globals;
};

}  // namespace

TEST_F(LoadCheckTest, OutOfRangeValuesFallBackWhenLoaded) {
    const CheckCase cases[] = {
        {"exposeTime", 0, -5, 30},
        {"exposeTime", 1, 10001, 30},
        {"exposeTime", 2, 10000, 10000},
        {"exposeTime", 5, 20000, 30},
        {"adjustPlus", 7, 10001, 32},
        {"sharp", 2, 10001, 0},
        {"contrast", 6, -1, 50},
        {"gamma", 3, 10001, 70},
        {"detectNum", 0, 1, 2},
        {"detectNum", 0, 9, 2},
        {"preCutTime", 0, 10001, 0},
        {"reDetectNum", 0, 10001, 0},
        {"filterSize", 0, 101, 3},
        {"alarmArea", 0, 0, 100},
        {"alarmArea", 0, 100001, 100},
        {"shapeAccuracy", 0, 11, 5},
        {"zoomLayers", 0, 11, 5},
        {"tempNum", 0, 0, 10},
        {"tempNum", 0, 101, 10},
        {"picNumNG", 0, 20001, 0},
        {"picNumOK", 0, 20001, 0},
        {"picNumOK", 0, 20000, 20000},
        {"ejectorPulse", 0, 10001, 0},
        {"clampPulse", 0, -2, 0},
        {"motionCorrect", 0, 1, -1},
        {"motionCorrect", 0, -1, -1},
        {"rotateAngle", 0, 181, 0},
        {"rotateAngle", 0, 180, 180},
        {"autoLogout", 0, 10001, 0},
        {"amplify", 0, 5, 0},
        {"amplify", 0, 4, 4},
        {"shapeOffset", 0, 0, 8000},
        {"shapeOffset", 0, 8001, 8000},
        {"screenOffTime", 0, 0, 0},
        {"screenOffTime", 0, 29, 600},
        {"screenOffTime", 0, 10000, 600},
        {"screenOffTime", 0, 30, 30},
        {"speed", 0, 101, 12},
        {"inputTimeout", 0, 100000001, 60},
        {"gLan", 0, 4, 0},
        {"comPort", 0, 101, 0},
        {"minSpot", 0, 0, 3},
        {"minSpot", 0, 101, 3},
        {"trigInDelay", 2, -3, 0},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(
            QStringLiteral("%1[%2] = %3").arg(c.field).arg(c.element).arg(c.stored).toStdString());
        {
            TestDatabase db(work.file("PARAM.db"));
            storeToken(db, c.field, c.element, c.stored);
        }
        WizardPara para;
        {
            TestDatabase db(work.file("PARAM.db"));
            para.LoadDatafromFile(db.db());
        }
        StoreContext ctx{gLan};
        EXPECT_EQ(paramtest::element(para, ctx, c.field, c.element), c.loaded);
        // Put the factory value back for the next case.
        TestDatabase db(work.file("PARAM.db"));
        storeToken(db, c.field, c.element, ParamSchema::field(c.field)->factoryAt(c.element));
    }
}

TEST_F(LoadCheckTest, StoredModeOutsideTheFourLoadsAsStandardForBothModes) {
    {
        TestDatabase db(work.file("PARAM.db"));
        db.setValue("numFailDetect", "7 0 0 0 0 0 0 0");
    }
    WizardPara para;
    TestDatabase db(work.file("PARAM.db"));
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.detectMode, 0);
    EXPECT_EQ(para.detectModeNext, 0);
    EXPECT_EQ(gDNum, 2);
}

TEST_F(LoadCheckTest, ReservedValueAboveItsLimitIsWrittenBackAsZero) {
    {
        TestDatabase db(work.file("PARAM.db"));
        db.setValue("system14", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 100000001");
    }
    WizardPara para;
    TestDatabase db(work.file("PARAM.db"));
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.spareToken, 0);
}

TEST(LoadChecks, EveryCheckedElementFallsBackAndKeepsItsLimits) {
    for (const auto& f : ParamSchema::fields()) {
        if (f.isText() || f.check.rule == params::CheckRule::None) continue;
        SCOPED_TRACE(f.name.toStdString());
        const auto& c = f.check;
        QList<int> bad{-5};
        QList<int> good;
        switch (c.rule) {
            case params::CheckRule::AboveMax:
                bad << int(c.max) + 1;
                good << int(c.max) << 0;
                break;
            case params::CheckRule::OutsideRange:
            case params::CheckRule::OutsideRangeUnlessZero:
                bad << int(c.max) + 1 << int(c.min) - 1;
                good << int(c.min) << int(c.max);
                break;
            case params::CheckRule::ZeroOrMinusOne:
                bad << 1;
                good << 0 << -1;
                break;
            case params::CheckRule::NegativeToZero:
                good << 0 << 100;
                break;
            default:
                break;
        }
        if (c.rule == params::CheckRule::OutsideRangeUnlessZero) good << 0;
        if (c.rule == params::CheckRule::ZeroOrMinusOne) bad.removeAll(-1);
        for (int i = 0; i < f.count; ++i) {
            WizardPara para;
            StoreContext ctx;
            for (int value : bad) {
                f.numbers(para, ctx)[i] = value;
                ParamSchema::applyLoadChecks(para, ctx);
                EXPECT_EQ(f.numbers(para, ctx)[i],
                          c.rule == params::CheckRule::NegativeToZero ? 0 : c.fallback)
                    << value;
            }
            for (int value : good) {
                f.numbers(para, ctx)[i] = value;
                ParamSchema::applyLoadChecks(para, ctx);
                EXPECT_EQ(f.numbers(para, ctx)[i], value);
            }
        }
    }
}

TEST(FunctionFallback, DefectComesBackOnlyWhenNoInspectingFunctionIsLeft) {
    WizardPara para;
    para.enableDefect = 0;
    para.enableIgnore = 1;
    para.enableLocate = 1;
    params::applyFunctionFallback(para);
    EXPECT_EQ(para.enableDefect, 1);

    WizardPara other;
    other.enableDefect = 0;
    other.enableBlackNum = 1;
    params::applyFunctionFallback(other);
    EXPECT_EQ(other.enableDefect, 0);
}

// --- layouts ---

TEST(Layout, StandardModeStepsLinesAndNgOutputs) {
    WizardPara para;
    para.detectMode = params::kModeStandard;
    para.detectProdEnable = 1;
    para.semiAuto = 1;
    para.ejectorPulseOnProdNG = 1;
    EXPECT_EQ(params::deriveLayout(para), 2);
    EXPECT_EQ(para.detectStepNum, 4);
    EXPECT_EQ(para.detectEnable[0], 1);
    EXPECT_EQ(para.detectEnable[1], 1);
    EXPECT_EQ(para.trigInLine[0], 0);
    EXPECT_EQ(para.trigInLine[1], 2);
    for (int i = 4; i <= 7; ++i) EXPECT_EQ(para.outputInvert[i], 0);
    EXPECT_EQ(para.startSide, params::kKeepSide);

    para.detectProdEnable = 0;
    para.semiAuto = 0;
    para.ejectorPulseOnProdNG = 0;
    params::deriveLayout(para);
    EXPECT_EQ(para.detectEnable[0], 0);
    EXPECT_EQ(para.trigInLine[1], 0);
    for (int i = 4; i <= 7; ++i) EXPECT_EQ(para.outputInvert[i], 1);
}

struct TwoMouldCase {
    int mode;
    int moldSide;
    int semiAuto;
    int enable[4];
    int line0, line1;
    int side;
};

TEST(Layout, TwoMouldModesBySide) {
    const int keep = params::kKeepSide;
    const TwoMouldCase cases[] = {
        {1, 0, 0, {1, 1, 0, 0}, 0, 2, params::kSideLeft},
        {1, 1, 0, {0, 0, 1, 1}, 0, 3, params::kSideRight},
        {1, 2, 0, {1, 1, 1, 1}, 0, 255, keep},
        {1, 3, 1, {1, 1, 1, 1}, 0, 255, keep},
        {1, 7, 0, {1, 1, 0, 0}, 0, 2, params::kSideLeft},  // side above 3 counts as left
        {1, -1, 0, {1, 1, 0, 0}, 0, 2, params::kSideLeft},
        {2, 0, 0, {1, 1, 0, 0}, 0, 0, params::kSideLeft},
        {2, 1, 0, {0, 0, 1, 1}, 3, 3, params::kSideRight},
        {2, 1, 1, {0, 0, 1, 1}, 3, 2, params::kSideRight},
        {2, 2, 0, {1, 1, 1, 1}, 255, 255, keep},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.mode << " side " << c.moldSide << " semi " << c.semiAuto);
        WizardPara para;
        para.detectMode = c.mode;
        para.moldSide = c.moldSide;
        para.semiAuto = c.semiAuto;
        para.detectProdEnable = 1;
        EXPECT_EQ(params::deriveLayout(para), 4);
        EXPECT_EQ(para.detectStepNum, 4);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(para.detectEnable[s], c.enable[s]) << s;
        EXPECT_EQ(para.trigInLine[0], c.line0);
        EXPECT_EQ(para.trigInLine[1], c.line1);
        EXPECT_EQ(para.startSide, c.side);
        EXPECT_LE(static_cast<unsigned>(para.moldSide), 3u);
    }
}

TEST(Layout, TwoMouldModesWithoutProductStep) {
    WizardPara para;
    para.detectMode = params::kModeTwoColor;
    para.moldSide = 1;
    para.detectProdEnable = 0;
    params::deriveLayout(para);
    const int expected[4] = {0, 0, 0, 1};
    for (int s = 0; s < 4; ++s) EXPECT_EQ(para.detectEnable[s], expected[s]) << s;
}

TEST(Layout, MultiDetectStepsFollowTheirOwners) {
    WizardPara para;
    para.detectMode = params::kModeMultiDetect;
    para.detectNum = 3;
    para.detectProdEnable = 1;
    const int owners[8] = {2, -1, 0, 1, 1, 1, 1, 1};
    const int trigIn[8] = {4, 0, 6, 0, 0, 0, 0, 0};  // IO row -> trigger slot
    for (int i = 0; i < 8; ++i) {
        para.outputOwner[i] = owners[i];
        para.detectTrigIn[i] = trigIn[i];
    }
    EXPECT_EQ(params::deriveLayout(para), 3);
    EXPECT_EQ(para.detectStepNum, 3);
    EXPECT_EQ(para.detectEnable[0], 1);
    EXPECT_EQ(para.trigInLine[0], TriginNo[6] - 1);  // IO row 2
    EXPECT_EQ(para.detectEnable[1], 0);
    EXPECT_EQ(para.trigInLine[1], -1);
    EXPECT_EQ(para.detectEnable[2], 1);
    EXPECT_EQ(para.trigInLine[2], TriginNo[4] - 1);  // IO row 0
    for (int d = 3; d < 8; ++d) {
        EXPECT_EQ(para.detectEnable[d], 0) << d;
        EXPECT_EQ(para.trigInLine[d], -1) << d;
    }
    EXPECT_EQ(para.outputOwnerActive[0], 2);
    EXPECT_EQ(para.outputOwnerActive[1], -1);
    EXPECT_EQ(para.outputOwnerActive[2], 0);

    para.detectProdEnable = 0;  // the first step needs the product switch
    params::deriveLayout(para);
    EXPECT_EQ(para.detectEnable[0], 0);
    EXPECT_EQ(para.trigInLine[0], -1);
    EXPECT_EQ(para.detectEnable[2], 1);
}

TEST(Layout, MultiDetectGuardsStoredIndices) {
    WizardPara para;
    para.detectMode = params::kModeMultiDetect;
    para.detectNum = 8;
    para.detectProdEnable = 1;
    const int owners[8] = {8, -2, 1000000, 3, 4, 5, 6, 7};
    for (int i = 0; i < 8; ++i) {
        para.outputOwner[i] = owners[i];
        para.detectTrigIn[i] = i;
    }
    para.detectTrigIn[3] = 8;   // trigger slot past the table
    para.detectTrigIn[4] = -1;  // and before it
    params::deriveLayout(para);
    for (int d = 0; d < 5; ++d) {
        SCOPED_TRACE(d);
        EXPECT_EQ(para.detectEnable[d], 0);
        EXPECT_EQ(para.trigInLine[d], -1);
    }
    EXPECT_EQ(para.outputOwnerActive[0], -1);
    EXPECT_EQ(para.outputOwnerActive[1], -1);
    EXPECT_EQ(para.outputOwnerActive[2], -1);
    EXPECT_EQ(para.outputOwnerActive[3], 3);
    for (int d = 5; d < 8; ++d) {
        EXPECT_EQ(para.detectEnable[d], 1) << d;
        EXPECT_EQ(para.trigInLine[d], TriginNo[d] - 1) << d;
    }
}

// --- the load end to end ---

class LoadTest : public ::testing::Test {
protected:
    LoadTest() {
        EXPECT_TRUE(WizardParaStore::createDefaultDatabase(work.file("PARAM.db")));
        paramtest::fillLanguageEntries(
            {301, 302, 303, 304, 305, 306, 307, 376, 377, 378, 379, 380, 381, 382});
        for (QString& name : gaName) name = "stale";
    }
    void load(WizardPara& para) {
        TestDatabase db(work.file("PARAM.db"));
        ASSERT_TRUE(para.LoadDatafromFile(db.db()));
    }
    testsupport::WorkDir work;
    GlobalsGuard globals;
};

TEST_F(LoadTest, TwoColourRightSidePublishesCountSideAndNames) {
    {
        TestDatabase db(work.file("PARAM.db"));
        db.setValue("numFailDetect", "1 1 0 0 0 0 0 0");
        db.setValue("system1", "0 1 0 0 0 0 0 0 0");
        storeToken(db, "gLan", 0, 1);
    }
    WizardPara para;
    load(para);
    EXPECT_EQ(gDNum, 4);
    EXPECT_EQ(gLan, 1);
    EXPECT_EQ(para.startSide, params::kSideRight);
    const int enable[4] = {0, 0, 1, 1};
    for (int s = 0; s < 4; ++s) EXPECT_EQ(para.detectEnable[s], enable[s]);
    EXPECT_EQ(para.trigInLine[0], 0);
    EXPECT_EQ(para.trigInLine[1], 3);
    const char* names[8] = {"L1-301", "L1-302", "L1-376", "L1-377",
                            "L1-305", "L1-378", "L1-307", "L1-304"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(gaName[i], QString(names[i])) << i;
}

TEST_F(LoadTest, StandardAndTurntableNames) {
    gLan = 0;
    WizardPara standard;
    load(standard);
    const char* std[8] = {"L0-301", "L0-302", "L0-303", "L0-304",
                          "L0-305", "L0-306", "L0-307", "L0-304"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(gaName[i], QString(std[i])) << i;
    {
        TestDatabase db(work.file("PARAM.db"));
        db.setValue("numFailDetect", "2 0 0 0 0 0 0 0");
    }
    WizardPara turntable;
    load(turntable);
    const char* turn[8] = {"L0-379", "L0-380", "L0-381", "L0-382",
                           "L0-378", "L0-306", "L0-307", "L0-304"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(gaName[i], QString(turn[i])) << i;
}

TEST_F(LoadTest, MultiDetectNamesComeFromTheFunctionTablesWithGuards) {
    {
        TestDatabase db(work.file("PARAM.db"));
        db.setValue("numFailDetect", "3 0 0 0 0 0 0 0");
        // Input functions 0..7 with one past the table; output functions with a negative one.
        db.setValue("system10", "5 15 16 0 1 2 3 4 13 -1 0 1 2 3 4 5 0 0 0 0");
        storeToken(db, "gLan", 0, 2);
    }
    WizardPara para;
    load(para);
    EXPECT_EQ(gaName[0], QString::fromUtf8(gInName[5 * 4 + 2]));
    EXPECT_EQ(gaName[1], QString("L2-302"));
    EXPECT_EQ(gaName[2], QString::fromUtf8(gInName[15 * 4 + 2]));
    EXPECT_EQ(gaName[3], QString());  // function 16 does not exist
    EXPECT_EQ(gaName[4], QString::fromUtf8(gInName[0 * 4 + 2]));
    EXPECT_EQ(gaName[8], QString::fromUtf8(gInName[4 * 4 + 2]));
    EXPECT_EQ(gaName[9], QString::fromUtf8(gOutName[13 * 4 + 2]));
    EXPECT_EQ(gaName[10], QString());  // function -1
    EXPECT_EQ(gaName[11], QString("L2-307"));
    EXPECT_EQ(gaName[12], QString::fromUtf8(gOutName[0 * 4 + 2]));
    EXPECT_EQ(gaName[17], QString::fromUtf8(gOutName[5 * 4 + 2]));
}

TEST_F(LoadTest, NameFileGivesTheFirstEightNamesOnly) {
    QFile file(work.file("name.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Door A\r\n\xe5\xbc\x80\xe6\xa8\xa1\nThird");
    file.close();
    WizardPara para;
    load(para);
    EXPECT_EQ(gaName[0], QString("Door A"));
    EXPECT_EQ(gaName[1], QString::fromUtf8("开模"));
    EXPECT_EQ(gaName[2], QString("Third"));
    for (int i = 3; i < 8; ++i) EXPECT_EQ(gaName[i], QString()) << i;
    for (int i = 8; i < kIONameCount; ++i) EXPECT_EQ(gaName[i], QString("stale")) << i;
}

TEST_F(LoadTest, NegativeStepDelayIsUsedAsNoDelay) {
    {
        TestDatabase db(work.file("PARAM.db"));
        db.setValue("trigInDelay", "-20 15 0 0 0 0 0 0");
    }
    WizardPara para;
    load(para);
    EXPECT_EQ(para.trigInDelay[0], 0);
    EXPECT_EQ(para.stepDelay(1), 15);
    para.trigInDelay[2] = -4;  // an edited value is guarded too
    EXPECT_EQ(para.stepDelay(2), 0);
    EXPECT_EQ(para.stepDelay(8), 0);
    EXPECT_EQ(para.stepDelay(-1), 0);
}
