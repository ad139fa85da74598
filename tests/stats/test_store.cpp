// The statistics store on its own: database files, the older row layout, saving without
// needless writes, and archiving without replacing anything.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <memory>

#include "globals.h"
#include "resstatisticsdatabase.h"
#include "statisticsarchive.h"
#include "statisticsjson.h"
#include "statstestutil.h"

using namespace statstest;

namespace {

QJsonObject dayWith(const QString& date, int okAtSlot0) {
    CountGroupList day = stats::newDay(date, "default", 2, 2);
    day.groups[0].cameras[0].detects[0].OK[0] = okAtSlot0;
    return stats::dayToJson(day, 2);
}

class StoreTest : public StatsTest {
protected:
    void SetUp() override {
        StatsTest::SetUp();
        useCounts(2, 2);
    }
};

TEST_F(StoreTest, MakesTheRunningDatabaseAndRewritesOnlyChangedDays) {
    auto store = std::make_unique<ResStatisticsDatabase>(nullptr);
    EXPECT_TRUE(store->isUsable());
    EXPECT_TRUE(QFile::exists("ResStatistics.db"));
    EXPECT_FALSE(QFile::exists("ResStatistics.db.new"));
    auto saved = std::make_unique<QSignalSpy>(store.get(), &ResStatisticsDatabase::sigSaveFinished);
    store->slotSaveRecord("2024-05-01", dayWith("2024-05-01", 3), false);
    overwriteStoredText("ResStatistics.db", "marker");
    store->slotSaveRecord("2024-05-01", dayWith("2024-05-01", 3), false);
    EXPECT_EQ(storedText("ResStatistics.db"), "marker");
    store->slotSaveRecord("2024-05-01", dayWith("2024-05-01", 4), false);
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 0), 4);
    // The same day is written again when the file went missing meanwhile.
    QFile::remove("ResStatistics.db");
    store->slotSaveRecord("2024-05-01", dayWith("2024-05-01", 4), false);
    EXPECT_EQ(storedOk(storedDay("ResStatistics.db"), 0), 4);
    // A save that fails is answered so.
    QFile::remove("ResStatistics.db");
    ASSERT_TRUE(QDir().mkdir("ResStatistics.db"));
    store->slotSaveRecord("2024-05-01", dayWith("2024-05-01", 5), false);
    QList<bool> answers;
    for (const auto& answer : *saved) answers << answer.at(0).toBool();
    EXPECT_EQ(answers, QList<bool>({true, true, true, true, false}));

    // With a template, the running database is a copy of it.
    ASSERT_TRUE(QDir().rmdir("ResStatistics.db"));
    execSql("ResStatisticsNULL.db",
            {"CREATE TABLE resstatistics (name VARCHAR(64) UNIQUE, value1 TEXT, value2 TEXT)",
             "CREATE TABLE marker (x INT)"});
    store = std::make_unique<ResStatisticsDatabase>(nullptr);
    EXPECT_TRUE(store->isUsable());
    saved = std::make_unique<QSignalSpy>(store.get(), &ResStatisticsDatabase::sigSaveFinished);
    store->slotSaveRecord("2024-05-01", dayWith("2024-05-01", 3), false);
    ASSERT_EQ(saved->count(), 1);
    EXPECT_TRUE(saved->at(0).at(0).toBool());
    execSql("ResStatistics.db", {"SELECT x FROM marker"});
    EXPECT_EQ(storedDay("ResStatistics.db")["date"].toString(), "2024-05-01");
}

TEST_F(StoreTest, OlderRowLayoutIsConvertedOnceAndMissingDaysAreNotCreated) {
    QDir().mkpath("ResStatistics");
    const QString file = QDir("ResStatistics").absoluteFilePath("2024-04-01.db");
    const QString insert = "INSERT INTO resstatistics VALUES ('%1', '%2', '%3')";
    execSql(file, {"CREATE TABLE resstatistics (name TEXT UNIQUE, value1 TEXT, value2 TEXT)",
                   insert.arg("C0_D0", "1 2  3", "0 4"), insert.arg("C1_D1", "5 x 6", ""),
                   insert.arg("C8_D8", QString("1 ").repeated(30).trimmed(), "9"),
                   insert.arg("C0_D8", "2", "1")});

    ResStatisticsDatabase store(nullptr);
    QSignalSpy loaded(&store, &ResStatisticsDatabase::sigLoadFinish);
    store.slotUpdateRecord(file);
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_TRUE(loaded.at(0).at(1).toBool());
    CountGroupList day;
    stats::dayFromJson(day, loaded.at(0).at(0).toJsonObject());
    EXPECT_EQ(day.date, "2024-04-01");
    ASSERT_EQ(day.groups.size(), 1);
    const CountGroup& g = day.groups[0];
    EXPECT_EQ(g.groupName, "default");
    EXPECT_EQ(g.cameras[0].detects[0].OK.mid(0, 4), QList<int>({1, 2, 3, 0}));
    EXPECT_EQ(g.cameras[0].detects[0].NG.mid(0, 3), QList<int>({0, 4, 0}));
    EXPECT_EQ(g.cameras[1].detects[1].OK.mid(0, 3), QList<int>({5, 0, 0}));
    EXPECT_EQ(g.summary.summary.OK.size(), 24);
    EXPECT_EQ(g.summary.summary.OK.count(1), 24);  // more than 24 are ignored
    EXPECT_EQ(g.cameras[0].summary.OK[0], 2);

    // Stored as a document: the second load reads it directly.
    EXPECT_EQ(storedDay(file)["date"].toString(), "2024-04-01");
    execSql(file, {"DELETE FROM resstatistics WHERE name <> 'statisticsjson'"});
    store.slotUpdateRecord(file);
    ASSERT_EQ(loaded.count(), 2);
    EXPECT_EQ(loaded.at(1).at(0).toJsonObject(), loaded.at(0).at(0).toJsonObject());

    // A missing day is answered empty and not created.
    store.slotUpdateRecord(QDir::current().absoluteFilePath("ResStatistics//2020-01-01.db"));
    ASSERT_EQ(loaded.count(), 3);
    EXPECT_FALSE(loaded.at(2).at(1).toBool());
    EXPECT_TRUE(loaded.at(2).at(0).toJsonObject().isEmpty());
    EXPECT_FALSE(QFile::exists("ResStatistics/2020-01-01.db"));

    EXPECT_EQ(ResStatisticsDatabase::removeSuffix("/a/ResStatistics//2024-05-01.db"), "2024-05-01");
    EXPECT_EQ(ResStatisticsDatabase::removeSuffix("a.b/c.db"), "c");
    EXPECT_EQ(ResStatisticsDatabase::removeSuffix("dir/"), "dir/");
}

TEST_F(StoreTest, AFinishedDayIsAddedToTheArchiveOfItsDateWhichOnlyDaysName) {
    const struct {
        const char* archiveBefore;
        int okBefore;
    } rows[] = {{"none", 0}, {"the same day, archived before", 8}, {"damaged", 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.archiveBefore);
        freshWorkDir();
        QDir().mkpath("ResStatistics");
        const QString archive = "ResStatistics/2024-05-01.db";
        const bool damaged = QString(row.archiveBefore) == "damaged";
        if (damaged) {
            QFile file(archive);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("keep");
        } else if (row.okBefore > 0) {
            execSql(archive,
                    {"CREATE TABLE resstatistics (name TEXT UNIQUE, value1 TEXT, value2)"});
            overwriteStoredText(
                archive,
                QString::fromUtf8(stats::documentText(dayWith("2024-05-01", row.okBefore))));
        }
        ResStatisticsDatabase store(nullptr);
        QSignalSpy archived(&store, &ResStatisticsDatabase::sigDayArchived);
        store.slotSaveRecord("2024-05-01", dayWith("2024-05-01", 5), true);
        ASSERT_EQ(archived.count(), 1);
        EXPECT_TRUE(archived.at(0).at(0).toString().endsWith(archive));
        EXPECT_EQ(storedOk(storedDay(archive), 0), 5 + row.okBefore);
        // The damaged archive is kept beside, under a name that is no day.
        const QStringList names = archiveNames();
        EXPECT_EQ(names.size(), damaged ? 2 : 1);
        EXPECT_EQ(names.first(), "2024-05-01.db");
        if (damaged) {
            QFile kept("ResStatistics/" + names.last());
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), "keep");
        }
        // The running database is left empty for the new day.
        EXPECT_TRUE(storedText("ResStatistics.db").isEmpty());
    }
    EXPECT_TRUE(stats::isDayDate("2024-02-29"));
    for (const char* bad : {"2023-02-29", "../../etc", ""})
        EXPECT_FALSE(stats::isDayDate(bad)) << bad;
    EXPECT_TRUE(stats::archiveDayFile("ResStatistics.db", "ResStatistics", "../x").isEmpty());
}

}  // namespace
