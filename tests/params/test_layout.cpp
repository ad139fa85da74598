// What the load makes of the stored values: the load-check table, the function fallback, the
// step layout of each detection mode with its index guards, and the terminal names.
#include <gtest/gtest.h>

#include <QFile>

#include "paramtesthelpers.h"
#include "wizardpara.h"
#include "wizardparalayout.h"

using params::ParamSchema;
using params::StoreContext;
using paramtest::TestDatabase;
using LoadCheckTest = paramtest::ParamDbTest;

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

}  // namespace

TEST_F(LoadCheckTest, OutOfRangeValuesFallBackWhenLoaded) {
    // Field, element, then pairs of stored and loaded value. Checks compare as unsigned
    // numbers: a negative value is above every limit.
    const struct {
        const char* field;
        int element;
        QVector<int> storedLoaded;
    } cases[] = {{"exposeTime", 0, {-5, 30, 10001, 30, 0, 0}},
                 {"exposeTime", 2, {10000, 10000}},
                 {"exposeTime", 5, {20000, 30}},
                 {"adjustPlus", 7, {10001, 32}},
                 {"sharp", 2, {10001, 0}},
                 {"contrast", 6, {-1, 50}},
                 {"gamma", 3, {10001, 70}},
                 {"trigInDelay", 2, {-3, -3}},
                 {"detectNum", 0, {1, 2, 9, 2}},
                 {"preCutTime", 0, {10001, 0}},
                 {"reDetectNum", 0, {10001, 0}},
                 {"filterSize", 0, {101, 3}},
                 {"alarmArea", 0, {0, 100, 100001, 100}},
                 {"shapeAccuracy", 0, {11, 5}},
                 {"zoomLayers", 0, {11, 5}},
                 {"tempNum", 0, {0, 10, 101, 10, -1, 10, 1, 1, 100, 100}},
                 {"picNumNG", 0, {20001, 0}},
                 {"picNumOK", 0, {20001, 0, 20000, 20000}},
                 {"ejectorPulse", 0, {10001, 0}},
                 {"clampPulse", 0, {-2, 0}},
                 {"motionCorrect", 0, {1, -1, -2, -1, -1, -1, 0, 0}},
                 {"rotateAngle", 0, {181, 0, 180, 180}},
                 {"autoLogout", 0, {10001, 0}},
                 {"amplify", 0, {5, 0, 4, 4}},
                 {"shapeOffset", 0, {0, 8000, 8001, 8000}},
                 {"screenOffTime", 0, {0, 0, 29, 600, 10000, 600, -30, 600, 30, 30, 9999, 9999}},
                 {"speed", 0, {101, 12}},
                 {"inputTimeout", 0, {100000001, 60}},
                 {"gLan", 0, {4, 0}},
                 {"comPort", 0, {101, 0}},
                 {"minSpot", 0, {0, 3, 101, 3}},
                 {"detectMode", 0, {7, 0}}};
    for (const auto& c : cases) {
        for (int k = 0; k + 1 < c.storedLoaded.size(); k += 2) {
            SCOPED_TRACE(testing::Message()
                         << c.field << "[" << c.element << "] = " << c.storedLoaded[k]);
            storeToken(db, c.field, c.element, c.storedLoaded[k]);
            WizardPara para;
            para.LoadDatafromFile(db.db());
            StoreContext ctx{gLan};
            const int loaded = ParamSchema::field(c.field)->numbers(para, ctx)[c.element];
            EXPECT_EQ(loaded, c.storedLoaded[k + 1]);
            EXPECT_EQ(para.detectModeNext, para.detectMode);  // the next start's is the checked one
        }
        storeToken(db, c.field, c.element, ParamSchema::field(c.field)->factoryAt(c.element));
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
    for (int on : {1, 0}) {
        SCOPED_TRACE(on);
        WizardPara para;
        para.detectMode = params::kModeStandard;
        para.detectProdEnable = para.semiAuto = para.ejectorPulseOnProdNG = on;
        EXPECT_EQ(params::deriveLayout(para), 2);
        EXPECT_EQ(para.detectStepNum, 4);
        EXPECT_EQ(para.detectEnable[0], on);
        EXPECT_EQ(para.detectEnable[1], 1);
        EXPECT_EQ(para.trigInLine[0], 0);
        EXPECT_EQ(para.trigInLine[1], on ? 2 : 0);
        for (int i = 4; i <= 7; ++i) EXPECT_EQ(para.outputInvert[i], on ? 0 : 1) << i;
        EXPECT_EQ(para.startSide, params::kKeepSide);
    }
}

TEST(Layout, TwoMouldModesBySide) {
    const int keep = params::kKeepSide, left = params::kSideLeft, right = params::kSideRight;
    // A side outside 0..3 counts as left.
    const struct {
        int mode, moldSide, semiAuto, prod;
        int enable[4];
        int line0, line1, side;
    } cases[] = {
        {1, 0, 0, 1, {1, 1, 0, 0}, 0, 2, left},    {1, 1, 0, 1, {0, 0, 1, 1}, 0, 3, right},
        {1, 1, 0, 0, {0, 0, 0, 1}, 0, 3, right},   {1, 2, 0, 1, {1, 1, 1, 1}, 0, 255, keep},
        {1, 3, 1, 1, {1, 1, 1, 1}, 0, 255, keep},  {1, 7, 0, 1, {1, 1, 0, 0}, 0, 2, left},
        {1, -1, 0, 1, {1, 1, 0, 0}, 0, 2, left},   {2, 0, 0, 1, {1, 1, 0, 0}, 0, 0, left},
        {2, 1, 0, 1, {0, 0, 1, 1}, 3, 3, right},   {2, 1, 1, 1, {0, 0, 1, 1}, 3, 2, right},
        {2, 2, 0, 0, {0, 1, 0, 1}, 255, 255, keep}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " side " << c.moldSide << " semi "
                                        << c.semiAuto << " prod " << c.prod);
        WizardPara para;
        para.detectMode = c.mode;
        para.moldSide = c.moldSide;
        para.semiAuto = c.semiAuto;
        para.detectProdEnable = c.prod;
        EXPECT_EQ(params::deriveLayout(para), 4);
        EXPECT_EQ(para.detectStepNum, 4);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(para.detectEnable[s], c.enable[s]) << s;
        EXPECT_EQ(para.trigInLine[0], c.line0);
        EXPECT_EQ(para.trigInLine[1], c.line1);
        EXPECT_EQ(para.startSide, c.side);
        EXPECT_LE(static_cast<unsigned>(para.moldSide), 3u);
    }
}

TEST(Layout, MultiDetectStepsFollowTheirOwnersWithGuardedIndices) {
    WizardPara para;
    para.detectMode = params::kModeMultiDetect;
    para.detectNum = 7;
    para.detectProdEnable = 1;
    // Step -> IO row driving it: valid, negative, past the table, far past it; then rows whose
    // trigger slot is past the slot table or before it. Step 7 is beyond the step count.
    const int owners[8] = {2, -2, 8, 1000000, 3, 0, 4, 1};
    const int trigIn[8] = {4, 0, 6, 8, -1, 0, 0, 0};  // IO row -> trigger slot
    for (int i = 0; i < 8; ++i) {
        para.outputOwner[i] = owners[i];
        para.detectTrigIn[i] = trigIn[i];
    }
    EXPECT_EQ(params::deriveLayout(para), 7);
    EXPECT_EQ(para.detectStepNum, 7);
    const int enabled[8] = {1, 0, 0, 0, 0, 1, 0, 0};
    const int lines[8] = {TriginNo[6] - 1, -1, -1, -1, -1, TriginNo[4] - 1, -1, -1};
    const int active[7] = {2, -1, -1, -1, 3, 0, 4};
    for (int d = 0; d < 8; ++d) {
        SCOPED_TRACE(d);
        EXPECT_EQ(para.detectEnable[d], enabled[d]);
        EXPECT_EQ(para.trigInLine[d], lines[d]);
        if (d < 7) {
            EXPECT_EQ(para.outputOwnerActive[d], active[d]);
        }
    }

    para.detectProdEnable = 0;  // the first step needs the product switch
    params::deriveLayout(para);
    EXPECT_EQ(para.detectEnable[0], 0);
    EXPECT_EQ(para.trigInLine[0], -1);
    EXPECT_EQ(para.detectEnable[5], 1);
}

// --- the load end to end ---

class LoadTest : public paramtest::ParamDbTest {
protected:
    LoadTest() {
        paramtest::fillLanguageEntries(
            {301, 302, 303, 304, 305, 306, 307, 376, 377, 378, 379, 380, 381, 382});
        for (QString& name : gaName) name = "stale";
    }
    void load(WizardPara& para) { ASSERT_TRUE(para.LoadDatafromFile(db.db())); }
};

TEST_F(LoadTest, EachModePublishesStepCountLanguageSideAndTerminalNames) {
    const struct {
        int mode, steps, side;
        int entries[8];
    } cases[] = {
        {0, 2, params::kKeepSide, {301, 302, 303, 304, 305, 306, 307, 304}},
        {1, 4, params::kSideRight, {301, 302, 376, 377, 305, 378, 307, 304}},
        {2, 4, params::kSideRight, {379, 380, 381, 382, 378, 306, 307, 304}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const int language = c.mode + 1;
        db.setValue("numFailDetect", QStringLiteral("%1 1 0 0 0 0 0 0").arg(c.mode));  // right
        storeToken(db, "gLan", 0, language);
        WizardPara para;
        load(para);
        EXPECT_EQ(gDNum, c.steps);
        EXPECT_EQ(gLan, language);
        EXPECT_EQ(para.startSide, c.side);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(gaName[i], QStringLiteral("L%1-%2").arg(language).arg(c.entries[i])) << i;
    }
}

TEST_F(LoadTest, MultiDetectNamesComeFromTheFunctionTablesWithGuards) {
    db.setValue("numFailDetect", "3 0 0 0 0 0 0 0");
    // Input functions 0..7 with one past the table; output functions with a negative one.
    db.setValue("system10", "5 15 16 0 1 2 3 4 13 -1 0 1 2 3 4 5 0 0 0 0");
    storeToken(db, "gLan", 0, 2);
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

TEST_F(LoadTest, NegativeStepDelayIsKeptAndUsedAsNoDelay) {
    db.setValue("trigInDelay", "-20 15 0 0 0 0 0 0");
    WizardPara para;
    load(para);
    EXPECT_EQ(para.trigInDelay[0], -20);
    EXPECT_EQ(para.stepDelay(0), 0);
    EXPECT_EQ(para.stepDelay(1), 15);
    para.trigInDelay[2] = -4;  // an edited value is guarded too
    EXPECT_EQ(para.stepDelay(2), 0);
    EXPECT_EQ(para.stepDelay(8), 0);
    EXPECT_EQ(para.stepDelay(-1), 0);
}
