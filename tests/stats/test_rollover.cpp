// Minute saves and the day change of the running statistics day, with the fake clock.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include "globals.h"
#include "statisticsjson.h"
#include "statstestutil.h"

using namespace statstest;

namespace {

// OK count of camera 0, stage 0, at a slot, in a stored day document.
int storedOk(const QJsonObject& day, int slot) {
    return day["groups"]
        .toArray()[0]
        .toObject()["datas"]
        .toArray()[0]
        .toObject()["data"]
        .toArray()[0]
        .toObject()["OK"]
        .toArray()[slot]
        .toInt();
}

int runningOk(const ResStatisticsParam& m, int slot) {
    return m.currentDay().groups.at(0).cameras.at(0).detects.at(0).OK.at(slot);
}

class RolloverTest : public StatsTest {
protected:
    void countOk(int times = 1) {
        for (int i = 0; i < times; ++i) model->addRecord(0, 0, {true, true}, "default");
    }
    void setConfigTime(const QDateTime& start) {
        QFile file("resstatistics.json");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QJsonObject config = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        config["time"] = QString::number(start.toSecsSinceEpoch());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(config).toJson());
    }
    QString runningDate() { return storedDay("ResStatistics.db")["date"].toString(); }
};

TEST_F(RolloverTest, TheTimerSavesEveryMinuteButNotAnUnchangedDay) {
    makeModel();
    EXPECT_FALSE(model->isTimerActive());
    model->setTimer(true);
    auto* timer = model->findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(model->isTimerActive());
    EXPECT_EQ(timer->interval(), 60000);

    countOk(2);
    QMetaObject::invokeMethod(timer, "timeout");
    ASSERT_TRUE(testsupport::waitFor([&] { return watcher->saves.size() == 1; }));
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 2);

    countOk();
    QMetaObject::invokeMethod(timer, "timeout");
    ASSERT_TRUE(testsupport::waitFor([&] { return watcher->saves.size() == 2; }));
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 3);

    overwriteStoredText("ResStatistics.db", "untouched");
    QMetaObject::invokeMethod(timer, "timeout");
    ASSERT_TRUE(testsupport::waitFor([&] { return watcher->saves.size() == 3; }));
    EXPECT_TRUE(watcher->saves.last());
    EXPECT_EQ(storedText("ResStatistics.db"), "untouched");

    model->setTimer(false);
    EXPECT_FALSE(model->isTimerActive());
}

TEST_F(RolloverTest, NothingIsSavedOrRolledWhileStatisticsAreOff) {
    makeModel();
    useStatistics = false;
    setNow(at(2024, 5, 9, 9, 0));
    model->checkDate();
    testsupport::waitFor([] { return false; }, 200);
    EXPECT_TRUE(watcher->saves.isEmpty());
    EXPECT_EQ(model->getCurDBDate(), "2024-05-01");
}

TEST_F(RolloverTest, TheDayChangesExactlyOneDayAfterItsStart) {
    makeModel();
    countOk(3);  // 09:00: slot 1
    setNow(at(2024, 5, 2, 7, 59, 59));
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_TRUE(watcher->archived.isEmpty());
    EXPECT_EQ(model->getCurDBDate(), "2024-05-01");

    setNow(at(2024, 5, 2, 8, 0, 0));
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(watcher->archived, QStringList{"2024-05-01.db"});
    EXPECT_EQ(archiveNames(), QStringList{"2024-05-01.db"});
    const QJsonObject archived = storedDay("ResStatistics/2024-05-01.db");
    EXPECT_EQ(archived["date"].toString(), "2024-05-01");
    EXPECT_EQ(storedOk(archived, 1), 3);

    // The new day: its start saved, zero counts, counting from slot 0.
    EXPECT_EQ(model->dayStart(), at(2024, 5, 2, 8, 0).toSecsSinceEpoch());
    EXPECT_EQ(model->currentDay().date, "2024-05-02");
    EXPECT_EQ(model->currentDay().groups.size(), 1);
    EXPECT_EQ(runningOk(*model, 1), 0);
    QFile config("resstatistics.json");
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(config.readAll())["time"].toString(),
              QString::number(model->dayStart()));

    countOk();
    EXPECT_EQ(runningOk(*model, 0), 1);
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(runningDate(), "2024-05-02");
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 0), 1);
    EXPECT_EQ(archiveNames().size(), 1);
}

TEST_F(RolloverTest, ARestartInTheMiddleOfADayCarriesOn) {
    makeModel();
    countOk(2);
    EXPECT_TRUE(checkDateAndWait());
    dropModel();

    setNow(at(2024, 5, 1, 15, 30));
    makeModel();
    EXPECT_EQ(model->dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());
    EXPECT_EQ(runningOk(*model, 1), 2);
    countOk();
    EXPECT_EQ(runningOk(*model, 7), 1);
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_TRUE(archiveNames().isEmpty());
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 7), 1);
}

TEST_F(RolloverTest, AThreeDayStopLeavesOneArchive) {
    makeModel();
    countOk(4);
    EXPECT_TRUE(checkDateAndWait());
    dropModel();

    setNow(at(2024, 5, 4, 10, 0));
    makeModel();
    for (int minute = 0; minute < 3; ++minute) {
        setNow(at(2024, 5, 4, 10, minute));
        EXPECT_TRUE(checkDateAndWait());
    }
    EXPECT_EQ(archiveNames(), QStringList{"2024-05-01.db"});
    EXPECT_EQ(storedOk(storedDay("ResStatistics/2024-05-01.db"), 1), 4);
    EXPECT_EQ(model->getCurDBDate(), "2024-05-04");
    EXPECT_EQ(runningDate(), "2024-05-04");
}

TEST_F(RolloverTest, ADayStartStillAheadNeverRollsOver) {
    setNow(at(2024, 5, 1, 6, 0));
    makeModel();
    ASSERT_EQ(model->dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());
    for (int hour : {6, 7, 8, 12}) {
        setNow(at(2024, 5, 1, hour, 59));
        EXPECT_TRUE(checkDateAndWait());
    }
    setNow(at(2024, 4, 20, 9, 0));  // the clock set back
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_TRUE(archiveNames().isEmpty());
    EXPECT_EQ(model->getCurDBDate(), "2024-05-01");

    setNow(at(2024, 5, 2, 8, 0));
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(archiveNames(), QStringList{"2024-05-01.db"});
}

TEST_F(RolloverTest, AFailedMoveKeepsTheFinishedDayAndRetries) {
    makeModel();
    countOk(2);
    EXPECT_TRUE(checkDateAndWait());
    countOk();  // not saved before the day change
    // Something blocks the archive directory.
    QFile blocker("ResStatistics");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    WarningCapture warnings;
    setNow(at(2024, 5, 2, 8, 0, 30));
    EXPECT_FALSE(checkDateAndWait());
    EXPECT_TRUE(watcher->archived.isEmpty());
    EXPECT_EQ(runningDate(), "2024-05-01");
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 3);
    EXPECT_TRUE(warnings.contains("wait for their archive"));

    // The new day counts on in memory but is not written over the finished one.
    setNow(at(2024, 5, 2, 9, 0));
    countOk();
    EXPECT_FALSE(checkDateAndWait());
    EXPECT_EQ(runningDate(), "2024-05-01");

    ASSERT_TRUE(QFile::remove("ResStatistics"));
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(watcher->archived, QStringList{"2024-05-01.db"});
    EXPECT_EQ(storedOk(storedDay("ResStatistics/2024-05-01.db"), 1), 3);
    EXPECT_EQ(runningDate(), "2024-05-02");
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 1);
}

TEST_F(RolloverTest, ADatabaseThatCannotBeOpenedAtTheDayChangeLosesNothing) {
    makeModel();
    countOk();
    EXPECT_TRUE(checkDateAndWait());
    countOk();
    ASSERT_TRUE(QFile::rename("ResStatistics.db", "aside.db"));
    ASSERT_TRUE(QDir().mkdir("ResStatistics.db"));

    setNow(at(2024, 5, 2, 8, 1));
    EXPECT_FALSE(checkDateAndWait());
    setNow(at(2024, 5, 2, 9, 1));
    countOk();
    EXPECT_FALSE(checkDateAndWait());
    EXPECT_TRUE(archiveNames().isEmpty());

    ASSERT_TRUE(QDir().rmdir("ResStatistics.db"));
    ASSERT_TRUE(QFile::rename("aside.db", "ResStatistics.db"));
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(archiveNames(), QStringList{"2024-05-01.db"});
    EXPECT_EQ(storedOk(storedDay("ResStatistics/2024-05-01.db"), 1), 2);
    EXPECT_EQ(runningDate(), "2024-05-02");
}

TEST_F(RolloverTest, AnUnarchivedDayFoundAtStartIsArchivedUnderItsOwnDate) {
    makeModel();
    countOk(5);
    EXPECT_TRUE(checkDateAndWait());
    dropModel();
    // Power was lost after the new day start was written, before the archive.
    setConfigTime(at(2024, 5, 2, 8, 0));

    setNow(at(2024, 5, 2, 9, 0));
    makeModel();
    EXPECT_EQ(archiveNames(), QStringList{"2024-05-01.db"});
    EXPECT_EQ(storedOk(storedDay("ResStatistics/2024-05-01.db"), 1), 5);
    EXPECT_EQ(model->currentDay().date, "2024-05-02");
    EXPECT_EQ(runningOk(*model, 1), 0);
    countOk();
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(runningDate(), "2024-05-02");
}

TEST_F(RolloverTest, ARunningDatabaseThatCannotBeOpenedAtStartIsReported) {
    ASSERT_TRUE(QDir().mkdir("ResStatistics.db"));
    makeModel();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_FALSE(warnings.first().isEmpty());
    EXPECT_TRUE(testsupport::recorder().ran("reboot"));
    // Counting goes on in memory.
    countOk();
    EXPECT_EQ(runningOk(*model, 1), 1);
}

TEST_F(RolloverTest, TheStoreThreadEndsCleanlyWithWorkQueued) {
    makeModel();
    for (int i = 0; i < 20; ++i) {
        countOk();
        model->checkDate();
    }
    dropModel();
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 20);
    makeModel();
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_FALSE(QFile::exists("ResStatistics.db.new"));
}

}  // namespace
