// The sysparam store: round trip of every field, the exact row texts, missing rows and tables,
// and saves that fail half-way.
#include <gtest/gtest.h>

#include <QFile>
#include <QSqlQuery>

#include "paramtesthelpers.h"
#include "testsupport.h"
#include "wizardpara.h"
#include "wizardparastore.h"

using params::ParamSchema;
using params::StoreContext;
using paramtest::GlobalsGuard;
using paramtest::TestDatabase;

namespace {

class ParamStoreTest : public ::testing::Test {
protected:
    ParamStoreTest() { EXPECT_TRUE(WizardParaStore::createDefaultDatabase(work.file("PARAM.db"))); }
    QString dbPath() const { return work.file("PARAM.db"); }

    testsupport::WorkDir work;
    GlobalsGuard globals;
};

// A value for every stored element that differs from its neighbours and passes its check.
void fillDistinct(WizardPara& para, StoreContext& ctx) {
    int next = 1;
    for (const auto& f : ParamSchema::fields()) {
        if (f.isText()) continue;
        for (int i = 0; i < f.count; ++i) {
            int value = f.type == params::FieldType::Flag ? (next % 2) : next;
            if (!f.check.accepts(value)) value = f.check.min + (next % 3);
            if (!f.check.accepts(value)) value = f.check.fallback;
            f.numbers(para, ctx)[i] = value;
            ++next;
        }
    }
    // A layout that derives nothing from stored values into other stored values (mode 0
    // rewrites outputInvert[4..7]).
    para.detectMode = para.detectModeNext = params::kModeMultiDetect;
    ctx.language = 2;
    ASSERT_TRUE(para.setPassword("pa'ss\"wo;rd -- x"));
    ASSERT_TRUE(para.setServiceCode("sv'c"));
}

}  // namespace

TEST_F(ParamStoreTest, EveryFieldSurvivesSaveAndLoad) {
    WizardPara saved;
    StoreContext ctx;
    fillDistinct(saved, ctx);
    gLan = ctx.language;
    {
        TestDatabase db(dbPath());
        ASSERT_TRUE(saved.SaveDatatoFile(db.db()));
    }
    gLan = 0;
    WizardPara loaded;
    {
        TestDatabase db(dbPath());
        ASSERT_TRUE(loaded.LoadDatafromFile(db.db()));
    }
    EXPECT_EQ(gLan, 2);
    StoreContext loadedCtx{gLan};
    EXPECT_EQ(paramtest::storedValues(loaded, loadedCtx), paramtest::storedValues(saved, ctx));
    EXPECT_EQ(loaded.passwordText(), QString("pa'ss\"wo;rd -- x"));
}

TEST_F(ParamStoreTest, CopyAssignmentCopiesEveryField) {
    WizardPara source;
    StoreContext ctx;
    fillDistinct(source, ctx);
    source.trigInLine[3] = 7;
    source.detectEnable[5] = 1;
    source.outputOwnerActive[2] = 4;
    source.curGroupName = "mould-7";
    source.curGroupIndex = 3;
    source.startSide = params::kSideRight;
    WizardPara copy;
    copy = source;
    EXPECT_EQ(paramtest::storedValues(copy, ctx), paramtest::storedValues(source, ctx));
    EXPECT_EQ(copy.trigInLine[3], 7);
    EXPECT_EQ(copy.detectEnable[5], 1);
    EXPECT_EQ(copy.outputOwnerActive[2], 4);
    EXPECT_EQ(copy.curGroupName, QString("mould-7"));
    EXPECT_EQ(copy.curGroupIndex, 3);
    EXPECT_EQ(copy.startSide, params::kSideRight);
}

TEST_F(ParamStoreTest, RowTextsHaveTheStoredFormat) {
    WizardPara para;
    StoreContext ctx;
    ParamSchema::applyFactory(para, ctx);
    para.trigInDelay[0] = 5;
    para.trigInDelay[7] = 123;
    para.detectMode = 1;
    para.detectModeNext = 3;  // the save writes the mode chosen for the next start
    para.moldSide = 2;
    para.enableSimilarity = 1;
    para.isPswUsed = 1;
    para.motionCorrect = -1;
    para.spareToken = 9;
    para.exposeTime[5] = 777;
    para.contrast[7] = 44;
    gLan = 1;
    ASSERT_TRUE(para.setPassword("it's"));
    {
        TestDatabase db(dbPath());
        ASSERT_TRUE(para.SaveDatatoFile(db.db()));
        EXPECT_EQ(db.value("trigInDelay"), "5 0 0 0 0 0 0 123");
        EXPECT_EQ(db.value("exposeTime"), "30 30 30 30");
        EXPECT_EQ(db.value("numFailDetect"), "3 2 9 0 9 0 0 1");
        EXPECT_EQ(db.value("numAllDetect"), "70 70 70 70 70 70 70 70");
        EXPECT_EQ(db.value("isPswUsed"), "1");
        EXPECT_EQ(db.value("password"), "it's");
        EXPECT_EQ(db.value("system1"), "0 0 0 -1 0 0 0 0 9");
        EXPECT_EQ(db.value("system2"), "0 10 3 0 0 0 0 0 0 0 0 0 1 0 8000 0 12 0");
        EXPECT_EQ(db.value("system4"), "0 3 100");
        EXPECT_EQ(db.value("system5"), "30 777 32 32 0 0 50 50 0 0 0 0 0");
        EXPECT_EQ(db.value("system6"), "30 30 32 32 0 0 50 44 0 0 0 0");
        EXPECT_EQ(db.value("system7"), "0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0");
        EXPECT_EQ(db.value("system9"), "0 0 0 0 0 0 0 0 5 5 0 0 0 9 9 9 9 9 0 9");
        EXPECT_EQ(db.value("system14"), "0 9 0 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9");
        EXPECT_EQ(db.value("serviceCode"), QString(params::kFactoryServiceCode));
        EXPECT_EQ(db.rowCount(), ParamSchema::rows().size());
    }
}

TEST_F(ParamStoreTest, TokensAreReadOneByOne) {
    {
        TestDatabase db(dbPath());
        db.setValue("trigInDelay", "5 10 15");
        db.setValue("exposeTime", "  40\t41 x42 43 44 45");
        db.setValue("adjustPlus", "");
    }
    WizardPara para;
    TestDatabase db(dbPath());
    ASSERT_TRUE(para.LoadDatafromFile(db.db()));
    const int delays[8] = {5, 10, 15, 0, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(para.trigInDelay[i], delays[i]) << i;
    EXPECT_EQ(para.exposeTime[0], 40);
    EXPECT_EQ(para.exposeTime[1], 41);
    EXPECT_EQ(para.exposeTime[2], 0);  // not a number
    EXPECT_EQ(para.exposeTime[3], 43);
    EXPECT_EQ(para.exposeTime[4], 30);  // from system5, extra tokens ignored
    EXPECT_EQ(para.adjustPlus[0], 0);
}

TEST_F(ParamStoreTest, MissingWideRowsAreInsertedAtLoadAndFilledAtSave) {
    {
        TestDatabase db(dbPath());
        db.removeRow("system9");
        db.removeRow("system7");
        db.removeRow("serviceCode");
    }
    WizardPara para;
    TestDatabase db(dbPath());
    ASSERT_TRUE(para.LoadDatafromFile(db.db()));
    EXPECT_EQ(db.value("system9"), "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(db.value("system7"), "0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(db.value("serviceCode"), QString(params::kFactoryServiceCode));
    EXPECT_EQ(para.shapeAccuracy, 5);
    EXPECT_EQ(para.zoomLayers, 5);
    EXPECT_EQ(para.serviceCodeText(), QString(params::kFactoryServiceCode));
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.value("system9").section(' ', 8, 9), "5 5");
}

TEST_F(ParamStoreTest, MissingNarrowRowsKeepTheirValues) {
    {
        TestDatabase db(dbPath());
        db.removeRow("system1");
    }
    WizardPara para;
    para.reDetectNum = 4;
    TestDatabase db(dbPath());
    ASSERT_TRUE(para.LoadDatafromFile(db.db()));
    EXPECT_FALSE(db.hasRow("system1"));
    EXPECT_EQ(para.reDetectNum, 4);
    // The next save puts the row back in the same format.
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.value("system1"), "0 0 0 0 0 0 4 0 0");
}

TEST_F(ParamStoreTest, PasswordOfAtMost99CharactersIsTaken) {
    WizardPara para;
    ASSERT_TRUE(para.setPassword("old"));
    {
        TestDatabase db(dbPath());
        db.setValue("password", QString(100, 'a'));
    }
    {
        TestDatabase db(dbPath());
        para.LoadDatafromFile(db.db());
    }
    EXPECT_EQ(para.passwordText(), QString("old"));
    {
        TestDatabase db(dbPath());
        db.setValue("password", QString(99, 'b'));
    }
    TestDatabase db(dbPath());
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.passwordText(), QString(99, 'b'));
    EXPECT_FALSE(para.setPassword(QString(100, 'c')));
    EXPECT_FALSE(para.setPassword(QString::fromUtf8("密码")));
    EXPECT_FALSE(para.setServiceCode(QString()));
    EXPECT_EQ(para.passwordText(), QString(99, 'b'));
}

TEST_F(ParamStoreTest, ReservedTokensAllHoldOneValueAfterLoadAndSave) {
    {
        TestDatabase db(dbPath());
        db.setValue("numFailDetect", "0 0 11 0 12 0 0 0");
        db.setValue("system14", "0 13 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 14");
    }
    WizardPara para;
    TestDatabase db(dbPath());
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.spareToken, 14);  // the last reserved token read
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    for (const auto& row : ParamSchema::rows()) {
        if (row.isText()) continue;
        const QStringList tokens = db.value(row.name).split(' ');
        for (int i = 0; i < row.tokens.size(); ++i) {
            if (row.tokens[i].read->name != "spareToken") continue;
            EXPECT_EQ(tokens.value(i), "14") << row.name.toStdString() << " token " << i + 1;
        }
    }
}

TEST_F(ParamStoreTest, SaveCreatesAMissingTable) {
    QFile::remove(dbPath());
    WizardPara para;
    para.tempNum = 17;
    TestDatabase db(dbPath());
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.rowCount(), ParamSchema::rows().size());
    EXPECT_EQ(db.value("system2").section(' ', 1, 1), "17");
}

TEST_F(ParamStoreTest, SaveFailingHalfWayLeavesTheOldRows) {
    TestDatabase db(dbPath());
    const auto before = db.rows();
    // The row written late in the save refuses to change.
    db.exec(
        "create trigger refuse before update on sysparam when new.name = 'system12' "
        "begin select raise(abort, 'row is read-only'); end");
    WizardPara para;
    StoreContext ctx;
    fillDistinct(para, ctx);
    EXPECT_FALSE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.rows(), before);
    // No transaction is left open: the next save goes through once the row may change.
    db.exec("drop trigger refuse");
    EXPECT_TRUE(para.SaveDatatoFile(db.db()));
    EXPECT_NE(db.rows(), before);
}

TEST_F(ParamStoreTest, SaveFailingOnAnInsertLeavesTheOldRows) {
    TestDatabase db(dbPath());
    db.removeRow("system13");
    const auto before = db.rows();
    db.exec(
        "create trigger refuse before insert on sysparam "
        "begin select raise(abort, 'no new rows'); end");
    WizardPara para;
    para.tempNum = 55;
    EXPECT_FALSE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.rows(), before);
    // The connection is usable again afterwards.
    db.exec("drop trigger refuse");
    EXPECT_TRUE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.value("system2").section(' ', 1, 1), "55");
}

TEST_F(ParamStoreTest, ClosedDatabaseIsReportedNotCrashed) {
    WizardPara para;
    QSqlDatabase none;
    EXPECT_FALSE(para.SaveDatatoFile(none));
    EXPECT_FALSE(para.LoadDatafromFile(none));
    // The load still checks and derives: a record of initial values lays out mode 0.
    EXPECT_EQ(gDNum, 2);
    EXPECT_EQ(para.tempNum, 10);
}

TEST_F(ParamStoreTest, CheckedItemIsInsertedOnlyWhenMissing) {
    WizardPara para;
    TestDatabase db(dbPath());
    EXPECT_TRUE(para.SaveChkDBItem("extraRow", db.db()));
    EXPECT_EQ(db.value("extraRow"), "0");
    db.setValue("extraRow", "5");
    EXPECT_TRUE(para.SaveChkDBItem("extraRow", db.db()));
    EXPECT_EQ(db.value("extraRow"), "5");
    EXPECT_TRUE(para.SaveChkDBItem("x') ; drop table sysparam; --", db.db()));
    EXPECT_TRUE(db.hasRow("system1"));
}

TEST_F(ParamStoreTest, DefaultDatabaseLoadsWithoutCorrections) {
    WizardPara loaded;
    TestDatabase db(dbPath());
    ASSERT_TRUE(loaded.LoadDatafromFile(db.db()));
    WizardPara factory;
    StoreContext ctx;
    ParamSchema::applyFactory(factory, ctx);
    StoreContext loadedCtx{gLan};
    auto loadedValues = paramtest::storedValues(loaded, loadedCtx);
    auto factoryValues = paramtest::storedValues(factory, ctx);
    // Mode 0 derives the NG outputs' initial state.
    for (int i = 4; i < 8; ++i) {
        const QString key = QStringLiteral("outputInvert[%1]").arg(i);
        EXPECT_EQ(loadedValues.take(key), "1");
        factoryValues.remove(key);
    }
    EXPECT_EQ(loadedValues, factoryValues);
}

TEST_F(ParamStoreTest, DefaultDatabaseIsMadeOnceAndWithTheExtraTables) {
    EXPECT_FALSE(WizardParaStore::createDefaultDatabase(dbPath()));  // exists already
    const QString other = work.file("sub/other.db");
    bool called = false;
    ASSERT_TRUE(WizardParaStore::createDefaultDatabase(other, [&](QSqlDatabase& db) {
        called = true;
        return QSqlQuery(db).exec("create table cammer0 (x int)");
    }));
    EXPECT_TRUE(called);
    TestDatabase db(other);
    EXPECT_TRUE(db.db().tables().contains("cammer0"));
    EXPECT_EQ(db.rowCount(), ParamSchema::rows().size());

    const QString failing = work.file("failing.db");
    EXPECT_FALSE(
        WizardParaStore::createDefaultDatabase(failing, [](QSqlDatabase&) { return false; }));
    EXPECT_FALSE(QFile::exists(failing));
    EXPECT_FALSE(QFile::exists(failing + ".building"));
}

TEST_F(ParamStoreTest, WorkingDatabaseIsRestoredFromTheFactoryCopy) {
    QFile::remove(dbPath());
    testsupport::recorder().clear();
    ASSERT_TRUE(WizardParaStore::restoreWorkingDatabase());
    EXPECT_TRUE(QFile::exists(work.file("paraGroup/default/PARAM.db")));
    EXPECT_TRUE(testsupport::recorder().ran("sync"));
    TestDatabase db(dbPath());
    EXPECT_EQ(db.value("system7"), "0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0");
}

TEST_F(ParamStoreTest, ServiceCodeIsASettingOfTheSystem) {
    WizardPara para;
    ASSERT_TRUE(para.setServiceCode("4711"));
    {
        TestDatabase db(dbPath());
        ASSERT_TRUE(para.SaveDatatoFile(db.db()));
        EXPECT_EQ(db.value("serviceCode"), "4711");
        db.setValue("serviceCode", QString(120, '9'));  // too long: keep what the record has
    }
    WizardPara loaded;
    TestDatabase db(dbPath());
    loaded.LoadDatafromFile(db.db());
    EXPECT_EQ(loaded.serviceCodeText(), QString(params::kFactoryServiceCode));
    // An empty code would let anyone into the service pages.
    db.setValue("serviceCode", "");
    loaded.LoadDatafromFile(db.db());
    EXPECT_EQ(loaded.serviceCodeText(), QString(params::kFactoryServiceCode));
}

TEST_F(ParamStoreTest, LoadOfADatabaseWithoutTheTableKeepsTheRecordAndAddsTheWideRows) {
    QFile::remove(dbPath());
    WizardPara para;
    para.speed = 40;
    TestDatabase db(dbPath());
    EXPECT_TRUE(para.LoadDatafromFile(db.db()));
    EXPECT_EQ(para.speed, 40);
    EXPECT_EQ(db.rowCount(), 9);  // system7 .. system14 and serviceCode
    EXPECT_TRUE(db.hasRow("system14"));
    EXPECT_FALSE(db.hasRow("system1"));
}
