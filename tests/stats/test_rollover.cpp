// Minute saves and the day change of the running statistics day, with the fake clock.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QPointer>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <functional>

#include "eventwait.h"
#include "globals.h"
#include "statstestutil.h"

using namespace statstest;

namespace {

class RolloverTest : public StatsTest {
protected:
    QString runningDate() { return storedDay("ResStatistics.db")["date"].toString(); }
};

TEST_F(RolloverTest, TheTimerSavesTheDayEveryMinuteWhileStatisticsAreOn) {
    makeModel();
    model->setTimer(true);
    auto* timer = model->findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 60000);
    for (int tick = 1; tick <= 2; ++tick) {
        countOk(tick);
        QMetaObject::invokeMethod(timer, "timeout");
        ASSERT_TRUE(testsupport::waitFor([&] { return saves.size() == tick; }));
        EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), tick == 1 ? 1 : 3);
    }
    // Statistics off: nothing is saved or rolled over.
    useStatistics = false;
    setNow(at(2024, 5, 9, 9, 0));
    QMetaObject::invokeMethod(timer, "timeout");
    testsupport::waitFor([] { return false; }, 200);
    EXPECT_EQ(saves.size(), 2);
    EXPECT_EQ(model->getCurDBDate(), "2024-05-01");
}

TEST_F(RolloverTest, TheDayChangesExactlyOneDayAfterItsStartAndNeverWhileItIsAhead) {
    setNow(at(2024, 5, 1, 6, 0));
    makeModel();
    ASSERT_EQ(model->dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());
    setNow(at(2024, 5, 1, 9, 0));
    countOk(3);  // slot 1
    // Before the start, with the clock set back well before it, and one second short of a day.
    for (const QDateTime& now :
         {at(2024, 5, 1, 6, 0), at(2024, 4, 20, 9, 0), at(2024, 5, 2, 7, 59, 59)}) {
        setNow(now);
        EXPECT_TRUE(checkDateAndWait());
    }
    EXPECT_TRUE(archived.isEmpty());
    EXPECT_EQ(model->getCurDBDate(), "2024-05-01");

    setNow(at(2024, 5, 2, 8, 0, 0));
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(archived, QStringList{"2024-05-01.db"});
    EXPECT_EQ(archiveNames(), QStringList{"2024-05-01.db"});
    const QJsonObject day = storedDay("ResStatistics/2024-05-01.db");
    EXPECT_EQ(day["date"].toString(), "2024-05-01");
    EXPECT_EQ(storedOk(day, 1), 3);

    // The new day: its start saved, zero counts, counting from slot 0.
    EXPECT_EQ(model->dayStart(), at(2024, 5, 2, 8, 0).toSecsSinceEpoch());
    EXPECT_EQ(readConfig()["time"].toString(), QString::number(model->dayStart()));
    EXPECT_EQ(model->currentDay().date, "2024-05-02");
    EXPECT_EQ(model->currentDay().groups.size(), 1);
    EXPECT_EQ(runningOk(1), 0);
    countOk();
    EXPECT_TRUE(checkDateAndWait());
    EXPECT_EQ(runningDate(), "2024-05-02");
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 0), 1);
    EXPECT_EQ(archiveNames().size(), 1);
}

TEST_F(RolloverTest, RestartsArchiveAFinishedDayOnceAndCarryOnARunningOne) {
    const qint64 nextDayStart = at(2024, 5, 2, 8, 0).toSecsSinceEpoch();
    const QStringList none, first{"2024-05-01.db"};
    const struct {
        const char* what;
        QDateTime restart;
        qint64 configTime;  // 0: as the model left it
        QStringList archivedAtStart, archivedAfter;
        QString date;
        int carried;  // slot 1 of the running day after the restart
    } rows[] = {
        {"in the middle of the day", at(2024, 5, 1, 15, 30), 0, none, none, "2024-05-01", 2},
        {"after a three-day stop", at(2024, 5, 4, 10, 0), 0, none, first, "2024-05-04", 2},
        // Power was lost after the new day start was written, before the archive.
        {"with the day unarchived", at(2024, 5, 2, 9, 0), nextDayStart, first, first, "2024-05-02",
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        freshWorkDir();
        setNow(at(2024, 5, 1, 9, 0));
        makeModel();
        countOk(2);
        EXPECT_TRUE(checkDateAndWait());
        dropModel();
        if (row.configTime) {
            QJsonObject config = readConfig();
            config["time"] = QString::number(row.configTime);
            QFile file("resstatistics.json");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QJsonDocument(config).toJson());
        }
        setNow(row.restart);
        makeModel();
        EXPECT_EQ(archiveNames(), row.archivedAtStart);
        EXPECT_EQ(runningOk(1), row.carried);
        for (int minute = 1; minute <= 3; ++minute) {
            setNow(row.restart.addSecs(60 * minute));
            EXPECT_TRUE(checkDateAndWait());
        }
        EXPECT_EQ(archiveNames(), row.archivedAfter);
        if (!row.archivedAfter.isEmpty()) {
            EXPECT_EQ(storedOk(storedDay("ResStatistics/2024-05-01.db"), 1), 2);
        }
        EXPECT_EQ(model->getCurDBDate(), row.date);
        EXPECT_EQ(runningDate(), row.date);
    }
}

TEST_F(RolloverTest, AFailedMoveOrAnUnopenableDatabaseLosesNoDayAndIsRetried) {
    const struct {
        const char* what;
        std::function<bool()> block, unblock;
        QString runningFileWhileBlocked;
    } rows[] = {
        {"a file blocks the archive directory",
         [] { return QFile("ResStatistics").open(QIODevice::WriteOnly); },
         [] { return QFile::remove("ResStatistics"); }, "ResStatistics.db"},
        {"the running database cannot be opened",
         [] {
             return QFile::rename("ResStatistics.db", "aside.db") &&
                    QDir().mkdir("ResStatistics.db");
         },
         [] {
             return QDir().rmdir("ResStatistics.db") &&
                    QFile::rename("aside.db", "ResStatistics.db");
         },
         "aside.db"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        freshWorkDir();
        setNow(at(2024, 5, 1, 9, 0));
        makeModel();
        countOk(2);
        EXPECT_TRUE(checkDateAndWait());
        countOk();  // not saved before the day change
        ASSERT_TRUE(row.block());

        setNow(at(2024, 5, 2, 8, 0, 30));
        EXPECT_FALSE(checkDateAndWait());
        // The new day counts on in memory but is not written over the finished one.
        setNow(at(2024, 5, 2, 9, 0));
        countOk();
        EXPECT_FALSE(checkDateAndWait());
        EXPECT_TRUE(archived.isEmpty());
        EXPECT_TRUE(archiveNames().isEmpty());
        EXPECT_EQ(storedDay(row.runningFileWhileBlocked)["date"].toString(), "2024-05-01");

        ASSERT_TRUE(row.unblock());
        EXPECT_TRUE(checkDateAndWait());
        EXPECT_EQ(archived, QStringList{"2024-05-01.db"});
        EXPECT_EQ(storedOk(storedDay("ResStatistics/2024-05-01.db"), 1), 3);
        EXPECT_EQ(runningDate(), "2024-05-02");
        EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 1);
    }
}

TEST_F(RolloverTest, ADamagedRunningDatabaseIsKeptAsideAndReplacedBeforeTheReboot) {
    const struct {
        const char* damage;
        bool replaceable;
    } rows[] = {{"random bytes", true}, {"a folder", true}, {"no new database can be made", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.damage);
        freshWorkDir();
        testsupport::recorder().clear();
        warnings.clear();
        QByteArray bytes(16384, 0);
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 7919) >> 3);
        if (QString(row.damage) == "a folder") {
            ASSERT_TRUE(QDir().mkdir("ResStatistics.db"));
        } else {
            QFile file("ResStatistics.db");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        if (!row.replaceable) ASSERT_TRUE(QDir().mkpath("ResStatistics.db.building/x"));
        makeModel();
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_FALSE(warnings.first().isEmpty());
        // A restart helps only when a usable database is in place.
        EXPECT_EQ(testsupport::recorder().ran("reboot"), row.replaceable);
        const QStringList kept = QDir().entryList({"ResStatistics.db.damaged-*"});
        ASSERT_EQ(kept.size(), 1);
        if (QString(row.damage) != "a folder") {
            QFile file(kept.first());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), bytes);
        }
        // Counting goes on, and is saved when the database could be made.
        countOk();
        EXPECT_EQ(runningOk(1), 1);
        EXPECT_EQ(checkDateAndWait(), row.replaceable);
    }
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

TEST_F(RolloverTest, AStopSavesTheRunningDayAtOnceAndLeavesTheDayChangeToTheNextStart) {
    makeModel();
    countOk();
    // A store that does not answer keeps the stop no longer than its bound; the save is done
    // once the store is free again.
    QSemaphore stuck;
    QMetaObject::invokeMethod(
        model->store(), [&stuck] { stuck.acquire(); }, Qt::QueuedConnection);
    countOk();
    EXPECT_FALSE(model->saveBeforeStop(50));
    stuck.release();
    EXPECT_TRUE(model->saveBeforeStop(stats::kStopSaveWaitMs));
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 2);

    // A day that is over is saved as it is; the next start carries it on until its first
    // minute check begins the new day.
    setNow(at(2024, 5, 2, 9, 30));
    EXPECT_TRUE(model->saveBeforeStop(stats::kStopSaveWaitMs));
    EXPECT_EQ(runningDate(), "2024-05-01");
    EXPECT_TRUE(archiveNames().isEmpty());
    makeModel();
    EXPECT_EQ(runningOk(1), 2);

    // A day that cannot be written is reported so.
    QFile::remove("ResStatistics.db");
    ASSERT_TRUE(QDir().mkdir("ResStatistics.db"));
    countOk();
    EXPECT_FALSE(model->saveBeforeStop(stats::kStopSaveWaitMs));
}

TEST_F(RolloverTest, AStoreThatMissedTheStopIsNotWaitedForAgainAndGoesWithItsThreadOnceFree) {
    makeModel();
    countOk();
    QSemaphore stuck;
    QMetaObject::invokeMethod(
        model->store(), [&stuck] { stuck.acquire(); }, Qt::QueuedConnection);
    // Loading the running file of the older layout is what would read the model: asked before
    // the model goes, worked off after.
    model->slotUpdateRecord(1, QStringLiteral("ResStatistics.db"));
    EXPECT_FALSE(model->saveBeforeStop(50));
    EXPECT_TRUE(model->stopSaveOutstanding());
    QPointer<QThread> storeThread = model->store()->thread();
    {
        testsupport::MessageCatcher warnings;
        dropModel();
        EXPECT_EQ(warnings.count("did not finish within"), 0) << "waited for a second time";
    }
    stuck.release();
    EXPECT_TRUE(testsupport::waitFor([&] { return storeThread.isNull(); }, 10000));
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 1), 1);
}

}  // namespace
