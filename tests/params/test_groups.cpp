// Parameter groups: the index file, the group name, and backing up, switching, restoring and
// deleting groups with plain file copies.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "paramfiles.h"
#include "paramgroups.h"
#include "paramtesthelpers.h"
#include "testsupport.h"
#include "wizardpara.h"
#include "wizardparastore.h"

using paramtest::GlobalsGuard;
using paramtest::TestDatabase;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class GroupTest : public ::testing::Test {
protected:
    GroupTest() {
        EXPECT_TRUE(WizardParaStore::ensureFactoryDatabase());
        EXPECT_TRUE(WizardParaStore::restoreWorkingDatabase());
        testsupport::recorder().clear();
    }
    // Stores a template count in the working database, standing for a product's settings.
    void setTempNum(int value) {
        WizardPara para;
        TestDatabase db(work.file("PARAM.db"));
        para.LoadDatafromFile(db.db());
        para.tempNum = value;
        ASSERT_TRUE(para.SaveDatatoFile(db.db()));
    }
    int loadedTempNum() {
        WizardPara para;
        TestDatabase db(work.file("PARAM.db"));
        para.LoadDatafromFile(db.db());
        return para.tempNum;
    }

    testsupport::WorkDir work;
    GlobalsGuard globals;
    ParamGroups groups;
};

}  // namespace

TEST_F(GroupTest, MissingIndexFileIsCreatedWithNoGroup) {
    QFile::remove(work.file("sysadd.txt"));
    WizardPara para;
    TestDatabase db(work.file("PARAM.db"));
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(readAll(work.file("sysadd.txt")), QByteArray("-1"));
    EXPECT_EQ(para.curGroupIndex, -1);
    EXPECT_EQ(para.getCurGroupName(), QString("default"));
}

TEST_F(GroupTest, IndexNamesTheGroupInNameOrder) {
    QDir().mkpath(work.file("paraGroup/B"));
    QDir().mkpath(work.file("paraGroup/A"));
    // With "default" the sorted list is A, B, default.
    WizardPara para;
    TestDatabase db(work.file("PARAM.db"));
    writeFile(work.file("sysadd.txt"), "1\n");
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.getCurGroupName(), QString("B"));
    writeFile(work.file("sysadd.txt"), "3");
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.getCurGroupName(), QString("default"));
    writeFile(work.file("sysadd.txt"), "junk");
    para.LoadDatafromFile(db.db());
    EXPECT_EQ(para.curGroupIndex, -1);
    EXPECT_EQ(para.getCurGroupName(), QString("default"));
}

TEST_F(GroupTest, IndexOutsideTheTwoGroupsGivesDefault) {
    QDir(work.file("paraGroup/default")).removeRecursively();
    QDir().mkpath(work.file("paraGroup/A"));
    QDir().mkpath(work.file("paraGroup/B"));
    WizardPara para;
    para.curGroupIndex = 2;
    para.updateGroupName();
    EXPECT_EQ(para.getCurGroupName(), QString("default"));
}

TEST_F(GroupTest, MissingGroupFolderIsCreatedEmpty) {
    QDir(work.file("paraGroup")).removeRecursively();
    WizardPara para;
    para.curGroupIndex = 0;
    para.updateGroupName();
    EXPECT_TRUE(QDir(work.file("paraGroup")).exists());
    EXPECT_EQ(para.getCurGroupName(), QString("default"));
}

TEST_F(GroupTest, SaveAddFileWritesTheIndexAndRenames) {
    QDir().mkpath(work.file("paraGroup/A"));
    WizardPara para;
    para.curGroupIndex = 0;
    EXPECT_TRUE(para.SaveAddFile());
    EXPECT_EQ(readAll(work.file("sysadd.txt")), QByteArray("0\n"));
    EXPECT_EQ(para.getCurGroupName(), QString("A"));
    EXPECT_TRUE(para.selectGroup("default"));
    EXPECT_EQ(readAll(work.file("sysadd.txt")), QByteArray("1\n"));
    EXPECT_EQ(para.getCurGroupName(), QString("default"));
}

TEST_F(GroupTest, BackupCopiesDatabaseAndTemplates) {
    writeFile(work.file("cammer11/template0.bmp"), "T0");
    writeFile(work.file("cammer23/sub/mask.bmp"), "M");
    writeFile(work.file("unrelated.txt"), "U");
    ASSERT_EQ(groups.backup("mould-A", false), ParamGroups::Result::Ok);
    EXPECT_EQ(readAll(work.file("paraGroup/mould-A/PARAM.db")), readAll(work.file("PARAM.db")));
    EXPECT_EQ(readAll(work.file("paraGroup/mould-A/cammer11/template0.bmp")), QByteArray("T0"));
    EXPECT_EQ(readAll(work.file("paraGroup/mould-A/cammer23/sub/mask.bmp")), QByteArray("M"));
    EXPECT_FALSE(QFile::exists(work.file("paraGroup/mould-A/unrelated.txt")));
    EXPECT_EQ(groups.names(), QStringList({"default", "mould-A"}));
    EXPECT_TRUE(testsupport::recorder().ran("sync"));
}

TEST_F(GroupTest, BackupRefusesBadNamesAndAsksBeforeOverwriting) {
    EXPECT_EQ(groups.backup("", false), ParamGroups::Result::EmptyName);
    EXPECT_EQ(groups.backup("  ", false), ParamGroups::Result::EmptyName);
    EXPECT_EQ(groups.backup("default", true), ParamGroups::Result::DefaultGroup);
    EXPECT_EQ(groups.backup("../escape", true), ParamGroups::Result::InvalidName);
    EXPECT_EQ(groups.backup("a/b", true), ParamGroups::Result::InvalidName);
    EXPECT_EQ(groups.backup(".hidden", true), ParamGroups::Result::InvalidName);
    EXPECT_FALSE(QFile::exists(work.file("escape")));

    writeFile(work.file("cammer11/template0.bmp"), "old");
    ASSERT_EQ(groups.backup("A", false), ParamGroups::Result::Ok);
    writeFile(work.file("cammer11/template0.bmp"), "new");
    QDir(work.file("cammer11")).removeRecursively();
    writeFile(work.file("cammer12/template0.bmp"), "new");
    EXPECT_EQ(groups.backup("A", false), ParamGroups::Result::Exists);
    EXPECT_TRUE(QFile::exists(work.file("paraGroup/A/cammer11/template0.bmp")));
    ASSERT_EQ(groups.backup("A", true), ParamGroups::Result::Ok);
    // The group is replaced as a whole: nothing of the old copy stays.
    EXPECT_FALSE(QFile::exists(work.file("paraGroup/A/cammer11")));
    EXPECT_EQ(readAll(work.file("paraGroup/A/cammer12/template0.bmp")), QByteArray("new"));
    EXPECT_EQ(groups.names(), QStringList({"A", "default"}));
}

TEST_F(GroupTest, SwitchingGroupsRestoresTheirSettings) {
    setTempNum(21);
    writeFile(work.file("cammer11/template0.bmp"), "A-template");
    ASSERT_EQ(groups.backup("A", false), ParamGroups::Result::Ok);
    setTempNum(42);
    writeFile(work.file("cammer11/template0.bmp"), "B-template");
    ASSERT_EQ(groups.backup("B", false), ParamGroups::Result::Ok);

    testsupport::recorder().clear();
    ASSERT_EQ(groups.restore("A"), ParamGroups::Result::Ok);
    EXPECT_TRUE(testsupport::recorder().ran("sync"));
    EXPECT_EQ(loadedTempNum(), 21);
    EXPECT_EQ(readAll(work.file("cammer11/template0.bmp")), QByteArray("A-template"));
    WizardPara para;
    ASSERT_TRUE(para.selectGroup("A"));
    EXPECT_EQ(para.curGroupIndex, 0);

    ASSERT_EQ(groups.restore("B"), ParamGroups::Result::Ok);
    EXPECT_EQ(loadedTempNum(), 42);
    EXPECT_EQ(readAll(work.file("cammer11/template0.bmp")), QByteArray("B-template"));

    // The factory group brings back the factory parameters.
    ASSERT_EQ(groups.restore("default"), ParamGroups::Result::Ok);
    EXPECT_EQ(loadedTempNum(), 10);
    // No staging copies are left behind.
    EXPECT_EQ(
        QDir(work.path())
            .entryList(QStringList{".staging-*", ".retired-*"}, QDir::AllEntries | QDir::Hidden),
        QStringList());
}

TEST_F(GroupTest, RestoreRefusesUnknownAndIncompleteGroups) {
    const QByteArray before = readAll(work.file("PARAM.db"));
    EXPECT_EQ(groups.restore("nothing"), ParamGroups::Result::NotFound);
    EXPECT_EQ(groups.restore("../paraGroup/default"), ParamGroups::Result::InvalidName);
    QDir().mkpath(work.file("paraGroup/empty/cammer11"));
    EXPECT_EQ(groups.restore("empty"), ParamGroups::Result::Incomplete);
    EXPECT_EQ(readAll(work.file("PARAM.db")), before);
}

TEST_F(GroupTest, RemoveDeletesAGroupButNeverTheFactoryOne) {
    ASSERT_EQ(groups.backup("A", false), ParamGroups::Result::Ok);
    EXPECT_EQ(groups.remove("default"), ParamGroups::Result::DefaultGroup);
    EXPECT_EQ(groups.remove("nothing"), ParamGroups::Result::NotFound);
    EXPECT_EQ(groups.remove("A"), ParamGroups::Result::Ok);
    EXPECT_EQ(groups.names(), QStringList({"default"}));
    EXPECT_TRUE(QFile::exists(WizardParaStore::factoryDatabasePath()));
}

TEST(ParamFiles, AtomicCopyKeepsTheTargetWhenTheSourceIsMissing) {
    testsupport::WorkDir work;
    writeFile(work.file("target"), "keep");
    EXPECT_FALSE(params::copyFileAtomically(work.file("missing"), work.file("target")));
    EXPECT_EQ(readAll(work.file("target")), QByteArray("keep"));
    writeFile(work.file("source"), "new");
    EXPECT_TRUE(params::copyFileAtomically(work.file("source"), work.file("target")));
    EXPECT_EQ(readAll(work.file("target")), QByteArray("new"));
}
