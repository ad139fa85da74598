// Parameter groups: the index file, the group name, and backing up, switching, restoring and
// deleting groups with plain file copies.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "paramfiles.h"
#include "paramgroups.h"
#include "paramtesthelpers.h"
#include "sqlitefiles.h"
#include "testsupport.h"
#include "wizardpara.h"
#include "wizardparastore.h"

using paramtest::TestDatabase;
using Result = ParamGroups::Result;

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
        EXPECT_TRUE(WizardParaStore::restoreWorkingDatabase().restored);
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
    paramtest::GlobalsGuard globals;
    ParamGroups groups;
};

}  // namespace

TEST_F(GroupTest, IndexFileNamesTheGroupInNameOrderAndIsWrittenBack) {
    QFile::remove(work.file("sysadd.txt"));
    WizardPara para;
    TestDatabase db(work.file("PARAM.db"));
    para.LoadDatafromFile(db.db());
    // A missing index file is created holding "no group".
    EXPECT_EQ(readAll(work.file("sysadd.txt")), QByteArray("-1"));
    EXPECT_EQ(para.curGroupIndex, -1);
    EXPECT_EQ(para.getCurGroupName(), QString("default"));

    // With "default" the sorted list is A, B, default; outside it or unreadable: default.
    QDir().mkpath(work.file("paraGroup/B"));
    QDir().mkpath(work.file("paraGroup/A"));
    const struct {
        const char* file;
        int index;
        const char* name;
    } cases[] = {{"1\n", 1, "B"}, {"3", 3, "default"}, {"junk", -1, "default"}};
    for (const auto& c : cases) {
        writeFile(work.file("sysadd.txt"), c.file);
        para.LoadDatafromFile(db.db());
        EXPECT_EQ(para.curGroupIndex, c.index) << c.file;
        EXPECT_EQ(para.getCurGroupName(), QString(c.name)) << c.file;
    }

    // The index is written with a newline and renames the group.
    para.curGroupIndex = 0;
    EXPECT_TRUE(para.SaveAddFile());
    EXPECT_EQ(readAll(work.file("sysadd.txt")), QByteArray("0\n"));
    EXPECT_EQ(para.getCurGroupName(), QString("A"));
    EXPECT_TRUE(para.selectGroup("default"));
    EXPECT_EQ(readAll(work.file("sysadd.txt")), QByteArray("2\n"));
    EXPECT_EQ(para.getCurGroupName(), QString("default"));

    // A missing group folder is created empty.
    QDir(work.file("paraGroup")).removeRecursively();
    para.curGroupIndex = 0;
    para.updateGroupName();
    EXPECT_TRUE(QDir(work.file("paraGroup")).exists());
    EXPECT_EQ(para.getCurGroupName(), QString("default"));
}

TEST_F(GroupTest, BackupCopiesDatabaseAndTemplates) {
    writeFile(work.file("cammer11/template0.bmp"), "T0");
    writeFile(work.file("cammer23/sub/mask.bmp"), "M");
    writeFile(work.file("unrelated.txt"), "U");
    ASSERT_EQ(groups.backup("mould-A", false), Result::Ok);
    EXPECT_EQ(readAll(work.file("paraGroup/mould-A/PARAM.db")), readAll(work.file("PARAM.db")));
    EXPECT_EQ(readAll(work.file("paraGroup/mould-A/cammer11/template0.bmp")), QByteArray("T0"));
    EXPECT_EQ(readAll(work.file("paraGroup/mould-A/cammer23/sub/mask.bmp")), QByteArray("M"));
    EXPECT_FALSE(QFile::exists(work.file("paraGroup/mould-A/unrelated.txt")));
    EXPECT_EQ(groups.names(), QStringList({"default", "mould-A"}));
    EXPECT_TRUE(testsupport::recorder().ran("sync"));
}

TEST_F(GroupTest, BackupRefusesBadNamesAndAsksBeforeOverwriting) {
    EXPECT_EQ(groups.backup("", false), Result::EmptyName);
    EXPECT_EQ(groups.backup("  ", false), Result::EmptyName);
    EXPECT_EQ(groups.backup("default", true), Result::DefaultGroup);
    EXPECT_EQ(groups.backup("../escape", true), Result::InvalidName);
    EXPECT_EQ(groups.backup("a/b", true), Result::InvalidName);
    EXPECT_EQ(groups.backup(".hidden", true), Result::InvalidName);
    EXPECT_FALSE(QFile::exists(work.file("escape")));

    writeFile(work.file("cammer11/template0.bmp"), "old");
    ASSERT_EQ(groups.backup("A", false), Result::Ok);
    QDir(work.file("cammer11")).removeRecursively();
    writeFile(work.file("cammer12/template0.bmp"), "new");
    EXPECT_EQ(groups.backup("A", false), Result::Exists);
    EXPECT_TRUE(QFile::exists(work.file("paraGroup/A/cammer11/template0.bmp")));
    ASSERT_EQ(groups.backup("A", true), Result::Ok);
    // The group is replaced as a whole: nothing of the old copy stays.
    EXPECT_FALSE(QFile::exists(work.file("paraGroup/A/cammer11")));
    EXPECT_EQ(readAll(work.file("paraGroup/A/cammer12/template0.bmp")), QByteArray("new"));
    EXPECT_EQ(groups.names(), QStringList({"A", "default"}));
}

TEST_F(GroupTest, SwitchingGroupsRestoresTheirSettings) {
    setTempNum(21);
    writeFile(work.file("cammer11/template0.bmp"), "A-template");
    ASSERT_EQ(groups.backup("A", false), Result::Ok);
    setTempNum(42);
    writeFile(work.file("cammer11/template0.bmp"), "B-template");
    ASSERT_EQ(groups.backup("B", false), Result::Ok);

    testsupport::recorder().clear();
    ASSERT_EQ(groups.restore("A"), Result::Ok);
    EXPECT_TRUE(testsupport::recorder().ran("sync"));
    EXPECT_EQ(loadedTempNum(), 21);
    EXPECT_EQ(readAll(work.file("cammer11/template0.bmp")), QByteArray("A-template"));
    WizardPara para;
    ASSERT_TRUE(para.selectGroup("A"));
    EXPECT_EQ(para.curGroupIndex, 0);

    ASSERT_EQ(groups.restore("B"), Result::Ok);
    EXPECT_EQ(loadedTempNum(), 42);
    EXPECT_EQ(readAll(work.file("cammer11/template0.bmp")), QByteArray("B-template"));

    // The factory group brings back the factory parameters.
    ASSERT_EQ(groups.restore("default"), Result::Ok);
    EXPECT_EQ(loadedTempNum(), 10);
    // No staging copies are left behind.
    EXPECT_EQ(
        QDir(work.path())
            .entryList(QStringList{".staging-*", ".retired-*"}, QDir::AllEntries | QDir::Hidden),
        QStringList());
}

// A write to the working database cut off by a power loss leaves its journal beside it; a
// group restored then must not have that journal played back into it.
TEST_F(GroupTest, RestoringAGroupTakesTheOldJournalAway) {
    setTempNum(21);
    ASSERT_EQ(groups.backup("A", false), Result::Ok);
    setTempNum(42);
    testsupport::leaveInterruptedWrite(
        work.file("PARAM.db"),
        {"CREATE TABLE scratch (x BLOB)", "INSERT INTO scratch VALUES (zeroblob(200000))"});
    ASSERT_TRUE(QFile::exists(work.file("PARAM.db-journal")));

    ASSERT_EQ(groups.restore("A"), Result::Ok);
    EXPECT_FALSE(QFile::exists(work.file("PARAM.db-journal")));
    EXPECT_TRUE(storage::checkDatabase(work.file("PARAM.db")).usable());
    EXPECT_EQ(loadedTempNum(), 21);
    EXPECT_EQ(readAll(work.file("PARAM.db")), readAll(work.file("paraGroup/A/PARAM.db")));
    EXPECT_EQ(QDir(work.path())
                  .entryList(QStringList{"PARAM.db*", ".staging-*", ".retired-*"},
                             QDir::AllEntries | QDir::Hidden),
              QStringList{"PARAM.db"});
}

TEST_F(GroupTest, RestoreRefusesUnknownAndIncompleteGroups) {
    const QByteArray before = readAll(work.file("PARAM.db"));
    EXPECT_EQ(groups.restore("nothing"), Result::NotFound);
    EXPECT_EQ(groups.restore("../paraGroup/default"), Result::InvalidName);
    QDir().mkpath(work.file("paraGroup/empty/cammer11"));
    EXPECT_EQ(groups.restore("empty"), Result::Incomplete);
    EXPECT_EQ(readAll(work.file("PARAM.db")), before);
}

TEST_F(GroupTest, RemoveDeletesAGroupButNeverTheFactoryOne) {
    ASSERT_EQ(groups.backup("A", false), Result::Ok);
    EXPECT_EQ(groups.remove("default"), Result::DefaultGroup);
    EXPECT_EQ(groups.remove("nothing"), Result::NotFound);
    EXPECT_EQ(groups.remove("A"), Result::Ok);
    EXPECT_EQ(groups.names(), QStringList({"default"}));
    EXPECT_TRUE(QFile::exists(WizardParaStore::factoryDatabasePath()));
}
