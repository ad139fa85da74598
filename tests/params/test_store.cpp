// The sysparam store: round trip of every field, the exact row texts, missing
// rows and tables, and saves that fail half-way.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <functional>

#include "paramfiles.h"
#include "paramtesthelpers.h"
#include "sqlitefiles.h"
#include "testsupport.h"
#include "wizardpara.h"
#include "wizardparastore.h"

using params::ParamSchema;
using params::StoreContext;
using paramtest::TestDatabase;
using ParamStoreTest = paramtest::ParamDbTest;

namespace {

const QString kFactoryCode = QLatin1String(params::kFactoryServiceCode);

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
    ASSERT_TRUE(saved.SaveDatatoFile(db.db()));
    gLan = 0;
    WizardPara loaded;
    TestDatabase committed(dbPath());  // a connection of its own sees only what was committed
    ASSERT_TRUE(loaded.LoadDatafromFile(committed.db()));
    EXPECT_EQ(gLan, 2);
    StoreContext loadedCtx{gLan};
    EXPECT_EQ(paramtest::storedValues(loaded, loadedCtx), paramtest::storedValues(saved, ctx));
    EXPECT_EQ(loaded.passwordText(), QString("pa'ss\"wo;rd -- x"));
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
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    // Every row with its exact token count and order.
    const QMap<QString, QString> expected = {
        {"trigInDelay", "5 0 0 0 0 0 0 123"},
        {"exposeTime", "30 30 30 30"},
        {"adjustPlus", "32 32 32 32"},
        {"numFailDetect", "3 2 9 0 9 0 0 1"},
        {"numAllDetect", "70 70 70 70 70 70 70 70"},
        {"isPswUsed", "1"},
        {"password", "it's"},
        {"system1", "0 0 0 -1 0 0 0 0 9"},
        {"system2", "0 10 3 0 0 0 0 0 0 0 0 0 1 0 8000 0 12 0"},
        {"system3", "0 0 0 1 0 0 0 0 0 0 0"},
        {"system4", "0 3 100"},
        {"sharp", "0 0 0 0"},
        {"contrast", "50 50 50 50"},
        {"system5", "30 777 32 32 0 0 50 50 0 0 0 0 0"},
        {"system6", "30 30 32 32 0 0 50 44 0 0 0 0"},
        {"system7", "0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0"},
        {"system8", "2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"},
        {"system9", "0 0 0 0 0 0 0 0 5 5 0 0 0 9 9 9 9 9 0 9"},
        {"system10", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 9 9 9 9"},
        {"system11", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 9 9 9"},
        {"system12", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"},
        {"system13", "9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 0 0 9 0"},
        {"system14", "0 9 0 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9"},
        {"serviceCode", kFactoryCode}};
    EXPECT_EQ(db.rows().keys(), expected.keys());
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(db.value(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(ParamStoreTest, TokensAreReadOneByOne) {
    db.setValue("trigInDelay", "5 10 15");
    db.setValue("exposeTime", "  40\t41 x42 43 44 45");  // "x42" is no number; extras ignored
    db.setValue("adjustPlus", "");
    WizardPara para;
    ASSERT_TRUE(para.LoadDatafromFile(db.db()));
    const int delays[8] = {5, 10, 15, 0, 0, 0, 0, 0};
    const int exposures[5] = {40, 41, 0, 43, 30};  // [4] comes from system5
    for (int i = 0; i < 8; ++i) EXPECT_EQ(para.trigInDelay[i], delays[i]) << i;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(para.exposeTime[i], exposures[i]) << i;
    EXPECT_EQ(para.adjustPlus[0], 0);
}

TEST_F(ParamStoreTest, MissingWideRowsAreInsertedAtLoadNarrowOnesKeepTheirValues) {
    db.exec("delete from sysparam where name in ('system9', 'system7', 'serviceCode', 'system1')");
    WizardPara para;
    para.reDetectNum = 4;
    ASSERT_TRUE(para.LoadDatafromFile(db.db()));
    EXPECT_EQ(db.value("system9"), "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(db.value("system7"), "0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(db.value("serviceCode"), kFactoryCode);
    EXPECT_FALSE(db.rows().contains("system1"));
    EXPECT_EQ(para.reDetectNum, 4);
    EXPECT_EQ(para.shapeAccuracy, 5);
    EXPECT_EQ(para.zoomLayers, 5);
    EXPECT_EQ(para.serviceCodeText(), kFactoryCode);
    // The next save fills the rows from the record, in the same format.
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.value("system9").section(' ', 8, 9), "5 5");
    EXPECT_EQ(db.value("system1"), "0 0 0 0 0 0 4 0 0");
}

TEST_F(ParamStoreTest, MissingTableKeepsTheRecordAndIsCreatedAgainBySave) {
    db.exec("drop table sysparam");
    WizardPara para;
    para.speed = 40;
    EXPECT_TRUE(para.LoadDatafromFile(db.db()));
    EXPECT_EQ(para.speed, 40);
    EXPECT_EQ(db.rows().keys(),
              QStringList({"serviceCode", "system10", "system11", "system12", "system13",
                           "system14", "system7", "system8", "system9"}));
    db.exec("drop table sysparam");
    para.tempNum = 17;
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    EXPECT_EQ(db.rows().size(), ParamSchema::rows().size());
    EXPECT_EQ(db.value("system2").section(' ', 1, 1), "17");
}

TEST_F(ParamStoreTest, TextRowsTakeAtMost99Latin1CharactersAndNeverAnEmptyServiceCode) {
    WizardPara para;
    ASSERT_TRUE(para.setPassword("old"));
    ASSERT_TRUE(para.setServiceCode("4711"));
    db.setValue("password", QString(100, 'a'));
    db.setValue("serviceCode", QString(120, '9'));
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.passwordText(), QString("old"));
    EXPECT_EQ(para.serviceCodeText(), QString("4711"));

    db.setValue("password", QString(99, 'b'));
    db.setValue("serviceCode", "");  // an empty code would let anyone into the service pages
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.passwordText(), QString(99, 'b'));
    EXPECT_EQ(para.serviceCodeText(), kFactoryCode);

    EXPECT_FALSE(para.setPassword(QString(100, 'c')));
    EXPECT_FALSE(para.setPassword(QString::fromUtf8("密码")));
    EXPECT_FALSE(para.setServiceCode(QString()));
    EXPECT_EQ(para.passwordText(), QString(99, 'b'));
    EXPECT_EQ(para.serviceCodeText(), kFactoryCode);
}

TEST_F(ParamStoreTest, ReservedTokensAllHoldTheLastValueReadWithinTheirLimit) {
    db.setValue("numFailDetect", "0 0 11 0 12 0 0 0");
    db.setValue("system14", "0 13 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 14");
    WizardPara para;
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.spareToken, 14);
    ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    for (const auto& row : ParamSchema::rows()) {
        if (row.isText()) continue;
        const QStringList tokens = db.value(row.name).split(' ');
        for (int i = 0; i < row.tokens.size(); ++i) {
            if (row.tokens[i].read->name != "spareToken") continue;
            EXPECT_EQ(tokens.value(i), "14") << row.name.toStdString() << " token " << i + 1;
        }
    }
    db.setValue("system14", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 100000001");
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.spareToken, 0);
}

TEST_F(ParamStoreTest, SaveFailingHalfWayLeavesTheOldRows) {
    // An update late in the save is refused, or the insert of a row that went missing.
    const struct {
        const char* missingRow;
        const char* trigger;
    } cases[] = {{"", "before update on sysparam when new.name = 'system12'"},
                 {"system13", "before insert on sysparam"}};
    WizardPara para;
    StoreContext ctx;
    fillDistinct(para, ctx);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trigger);
        db.exec(QStringLiteral("delete from sysparam where name = '%1'").arg(c.missingRow));
        ++para.reDetectNum;  // rows written before the failure change too
        const auto before = db.rows();
        db.exec(QStringLiteral("create trigger refuse %1 begin select raise(abort, 'refused'); end")
                    .arg(c.trigger));
        EXPECT_FALSE(para.SaveDatatoFile(db.db()));
        EXPECT_EQ(db.rows(), before);
        // No transaction is left open: the next save goes through once the cause is gone.
        db.exec("drop trigger refuse");
        EXPECT_TRUE(para.SaveDatatoFile(db.db()));
        EXPECT_NE(db.rows(), before);
    }
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

TEST_F(ParamStoreTest, AConnectionWithoutAFileTakesNoSave) {
    // SQLite opens such a connection on a private database that nothing reaches the disk from.
    for (const QString& name : {QString(), QStringLiteral(":memory:")}) {
        const QString connection = QStringLiteral("nofile");
        {
            QSqlDatabase nofile = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            nofile.setDatabaseName(name);
            ASSERT_TRUE(nofile.open());
            WizardPara para;
            EXPECT_FALSE(para.SaveDatatoFile(nofile)) << name.toStdString();
            EXPECT_FALSE(para.SaveChkDBItem("extraRow", nofile)) << name.toStdString();
        }
        QSqlDatabase::removeDatabase(connection);
    }
}

TEST_F(ParamStoreTest, CheckedItemIsInsertedOnlyWhenMissingWithItsNameBound) {
    WizardPara para;
    EXPECT_TRUE(para.SaveChkDBItem("extraRow", db.db()));
    EXPECT_EQ(db.value("extraRow"), "0");
    db.setValue("extraRow", "5");
    EXPECT_TRUE(para.SaveChkDBItem("extraRow", db.db()));
    EXPECT_EQ(db.value("extraRow"), "5");
    EXPECT_TRUE(para.SaveChkDBItem("x') ; drop table sysparam; --", db.db()));
    EXPECT_TRUE(db.rows().contains("system1"));
}

TEST_F(ParamStoreTest, DefaultDatabaseLoadsWithoutCorrections) {
    WizardPara loaded;
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

TEST_F(ParamStoreTest, DefaultDatabaseIsMadeOnceWithTheExtraTablesOrNotAtAll) {
    EXPECT_FALSE(WizardParaStore::createDefaultDatabase(dbPath()));  // exists already
    const QString other = work.file("sub/other.db");
    ASSERT_TRUE(WizardParaStore::createDefaultDatabase(other, [&](QSqlDatabase& db) {
        return QSqlQuery(db).exec("create table cammer0 (x int)");
    }));
    TestDatabase made(other);
    EXPECT_TRUE(made.db().tables().contains("cammer0"));
    EXPECT_EQ(made.rows().size(), ParamSchema::rows().size());

    const QString failing = work.file("failing.db");
    EXPECT_FALSE(
        WizardParaStore::createDefaultDatabase(failing, [](QSqlDatabase&) { return false; }));
    EXPECT_FALSE(QFile::exists(failing));
    EXPECT_FALSE(QFile::exists(failing + ".building"));
}

TEST(ParamStartup, MissingWorkingDatabaseIsRestoredFromTheFactoryCopy) {
    testsupport::WorkDir work;
    testsupport::recorder().clear();
    ASSERT_TRUE(WizardParaStore::restoreWorkingDatabase().restored);
    EXPECT_TRUE(QFile::exists(work.file("paraGroup/default/PARAM.db")));
    EXPECT_TRUE(testsupport::recorder().ran("sync"));
    TestDatabase db(work.file("PARAM.db"));
    EXPECT_EQ(db.value("system7"), "0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0");
}

TEST(ParamStartup, ADamagedWorkingDatabaseIsKeptAndRestoredFromTheGroupElseTheFactory) {
    const QString marker = "7 7 7 7 7 7 7 7";
    for (const bool groupUsable : {true, false}) {
        SCOPED_TRACE(groupUsable);
        testsupport::WorkDir work;
        ASSERT_TRUE(WizardParaStore::ensureFactoryDatabase());
        // The current group "A" has settings and regions of its own.
        ASSERT_TRUE(WizardParaStore::createDefaultDatabase("paraGroup/A/PARAM.db"));
        {
            TestDatabase group(work.file("paraGroup/A/PARAM.db"));
            group.setValue("trigInDelay", marker);
            group.exec("CREATE TABLE cammer0 (name TEXT, value TEXT)");
        }
        ASSERT_TRUE(params::writeGroupIndex("sysadd.txt", 0));
        if (!groupUsable) ASSERT_TRUE(QFile::resize("paraGroup/A/PARAM.db", 100));
        const QByteArray damaged(5000, '\x3c');
        QFile file("PARAM.db");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
        file.close();
        EXPECT_EQ(WizardParaStore::checkDatabase("PARAM.db").state, storage::DbState::Damaged);

        const WizardParaStore::Restore restore = WizardParaStore::restoreWorkingDatabase();
        ASSERT_TRUE(restore.restored);
        EXPECT_TRUE(restore.source.endsWith(groupUsable ? "A/PARAM.db" : "default/PARAM.db"));
        QFile kept(restore.keptAs);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), damaged);
        TestDatabase db(work.file("PARAM.db"));
        EXPECT_EQ(db.value("trigInDelay") == marker, groupUsable);
        EXPECT_EQ(db.db().tables().contains("cammer0"), groupUsable);
    }
}
