#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <functional>
#include <memory>

#include "operationlog.h"
#include "privatemount.h"
#include "sqlitefiles.h"
#include "testsupport.h"

namespace {

QStringList remarksIn(const QString& path) {
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "inspect");
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery query("SELECT recordtime, recordpassword, remarks FROM RECORD", db);
        while (query.next())
            rows << query.value(0).toString() + "|" + query.value(1).toString() + "|" +
                        query.value(2).toString();
        db.close();
    }
    QSqlDatabase::removeDatabase("inspect");
    return rows;
}

void writeDayFile(const QString& text) {
    QFile file("time.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

const QDate kDay1(2026, 3, 1);
const QDate kDay2(2026, 3, 2);

}  // namespace

TEST(OperationLog, StoresAnyTextAsTyped) {
    testsupport::WorkDir dir;
    ASSERT_TRUE(OperationLog::createEmptyDatabase("RECORDNULL.db"));
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        EXPECT_TRUE(log.insert("08.00.00", "Primary", "group 'A' saved"));
        EXPECT_TRUE(log.insert("08.00.01", "未登录", "相机 1 报警"));
        EXPECT_TRUE(log.insert("08.00.02", "x", "'); DROP TABLE RECORD; --"));
    }
    EXPECT_EQ(remarksIn("RECORD.db"),
              (QStringList{"08.00.00|Primary|group 'A' saved", "08.00.01|未登录|相机 1 报警",
                           "08.00.02|x|'); DROP TABLE RECORD; --"}));
}

// A clear deletes the rows of the day it is made on, and lists them first. After midnight the
// day before waits in the file for its archive (refused, or the first minute not checked yet):
// its rows go to their archive, also when no row of the new day came before the clear.
TEST(OperationLog, ClearDeletesOnlyTheRowsOfTheDayItIsMadeOn) {
    const struct {
        const char* name;
        bool refused;  // the archive is refused until after the clear's own record
        bool rowToday;
        QDate clearedOn;
        QStringList listed;  // recordsOf the day cleared, before the clear
        QStringList archived;
        QStringList current;
    } cases[] = {
        {"one day", false, false, kDay1, {"1|l|older"}, {"3|l|after"}, {}},
        {"refused, a row of today", true, true, kDay2, {"2|l|today"}, {"1|l|older"}, {"3|l|after"}},
        {"refused, none of today", true, false, kDay2, {}, {"1|l|older"}, {"3|l|after"}},
        {"first minute, none of today", false, false, kDay2, {}, {"1|l|older"}, {"3|l|after"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WorkDir dir;
        OperationLog log;
        log.loadRecordDay(kDay1);
        log.insert("1", "l", "older");
        QFile blocker("RECORD");  // no archive can be made
        ASSERT_TRUE(!c.refused || blocker.open(QIODevice::WriteOnly));
        if (c.rowToday) log.insert("2", "l", "today", kDay2);
        const RecordListing listing{c.clearedOn, log.recordsOf(c.clearedOn)};
        QStringList listed;
        for (const OperationRecord& r : listing.records)
            listed << r.time + "|" + r.level + "|" + r.remarks;
        EXPECT_EQ(listed, c.listed);
        EXPECT_TRUE(log.clear(listing));
        EXPECT_TRUE(log.recordsOf(c.clearedOn).empty());
        // A row made after the clearing stays in the day it was made on.
        ASSERT_TRUE(log.insert("3", "l", "after", c.clearedOn));
        ASSERT_TRUE(!c.refused || blocker.remove());
        ASSERT_TRUE(log.checkDate(kDay2));
        EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), c.archived);
        EXPECT_EQ(remarksIn("RECORD.db"), c.current);
    }
}

// A clear deletes the rows its list showed: not a row made after the list was read, of its day
// or of the next (midnight passed, the list's rows gone to their archive or still waiting for it).
TEST(OperationLog, ClearDeletesOnlyTheListedRows) {
    const struct {
        const char* name;
        QDate madeOn;  // the row made after the list was read
        bool refused;  // the archive refused meanwhile
        QStringList archived;
        QStringList current;
    } cases[] = {
        {"the same day", kDay1, false, {"2|l|made"}, {}},
        {"the next day", kDay2, false, {"1|l|listed"}, {"2|l|made"}},
        {"the next day, archive refused", kDay2, true, {}, {"2|l|made"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WorkDir dir;
        OperationLog log;
        log.loadRecordDay(kDay1);
        log.insert("1", "l", "listed");
        const RecordListing listing{kDay1, log.recordsOf(kDay1)};
        ASSERT_EQ(listing.records.size(), 1u);
        QFile blocker("RECORD");  // no archive can be made
        ASSERT_TRUE(!c.refused || blocker.open(QIODevice::WriteOnly));
        ASSERT_TRUE(log.insert("2", "l", "made", c.madeOn));
        EXPECT_TRUE(log.clear(listing));
        ASSERT_TRUE(!c.refused || blocker.remove());
        ASSERT_TRUE(log.checkDate(kDay2));
        EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), c.archived);
        EXPECT_EQ(remarksIn("RECORD.db"), c.current);
    }
}

TEST(OperationLog, SameDayKeepsAppending) {
    testsupport::WorkDir dir;
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        log.checkDate(kDay1);
        log.insert("1", "l", "first start");
    }
    OperationLog log;
    log.loadRecordDay(kDay1);
    EXPECT_EQ(log.recordDay(), "2026-03-01");
    log.checkDate(kDay1);
    log.insert("2", "l", "second start");
    EXPECT_EQ(remarksIn("RECORD.db").size(), 2);
    EXPECT_FALSE(QFile::exists("RECORD/2026-03-01.db"));
}

TEST(OperationLog, RolloverArchivesUnderTheRecordDay) {
    testsupport::WorkDir dir;  // without a template: the emptied log goes on
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        log.insert("23.59.00", "l", "late");
    }
    // The program was off over midnight: the next start archives the old day first.
    OperationLog log;
    log.loadRecordDay(kDay2.addDays(3));
    EXPECT_EQ(log.recordDay(), "2026-03-01");
    EXPECT_TRUE(log.checkDate(kDay2.addDays(3)));
    log.insert("08.00.00", "l", "ready");
    EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), QStringList{"23.59.00|l|late"});
    EXPECT_EQ(remarksIn("RECORD.db"), QStringList{"08.00.00|l|ready"});
    QFile day("time.txt");
    ASSERT_TRUE(day.open(QIODevice::ReadOnly));
    EXPECT_EQ(day.readAll(), QByteArray("2026-03-05"));
}

TEST(OperationLog, NoRolloverBeforeTheRecordDayIsRead) {
    testsupport::WorkDir dir;
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        log.insert("23.59.00", "l", "late");
    }
    // A flush while the start still asks its questions checks the day first.
    OperationLog log;
    EXPECT_TRUE(log.checkDate(kDay2));
    EXPECT_EQ(remarksIn("RECORD.db"), QStringList{"23.59.00|l|late"});
    log.loadRecordDay(kDay2);
    EXPECT_TRUE(log.checkDate(kDay2));
    EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), QStringList{"23.59.00|l|late"});
}

TEST(OperationLog, InvalidDayFileFallsBackToTheDatabaseDate) {
    testsupport::WorkDir dir;
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        log.insert("1", "l", "x");
    }
    writeDayFile("garbage\n");
    OperationLog log;
    log.loadRecordDay(kDay1);
    EXPECT_EQ(log.recordDay(), QFileInfo("RECORD.db").lastModified().date().toString("yyyy-MM-dd"));
}

TEST(OperationLog, AnInterruptedWriteIsUndoneBeforeTheDayIsArchived) {
    testsupport::WorkDir dir;
    ASSERT_TRUE(OperationLog::createEmptyDatabase("RECORDNULL.db"));
    QStringList yesterday;
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        for (int i = 0; i < 40; ++i) {
            ASSERT_TRUE(log.insert(QString::number(i), "l", QString("row %1").arg(i)));
            yesterday << QString("%1|l|row %1").arg(i);
        }
    }
    // Power was lost while a large write was half done.
    testsupport::leaveInterruptedWrite(
        "RECORD.db",
        {"DELETE FROM RECORD WHERE recordtime < '2'",
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)"
         " INSERT INTO RECORD SELECT 'x', 'y', printf('%.400c', 'z') FROM n"});
    OperationLog log;
    log.loadRecordDay(kDay2);
    ASSERT_TRUE(log.checkDate(kDay2));
    EXPECT_TRUE(storage::checkDatabase("RECORD/2026-03-01.db", {"RECORD"}).usable());
    EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), yesterday);
    EXPECT_FALSE(QFile::exists("RECORD.db-journal"));
    EXPECT_TRUE(remarksIn("RECORD.db").isEmpty());
}

TEST(OperationLog, RecordsWaitingForTheDiskAreBoundedAndTheOldestGiveWay) {
    testsupport::WorkDir dir;
    OperationLog log(".", "bounded", 3);
    ASSERT_TRUE(log.insert("0", "l", "before"));
    // SQLite cannot make its rollback journal, so no write gets through (also as root).
    ASSERT_TRUE(QDir().mkpath("RECORD.db-journal"));
    for (const char* n : {"1", "2", "3", "4"}) EXPECT_FALSE(log.insert(n, "l", n));
    EXPECT_EQ(log.pendingCount(), 3);
    ASSERT_TRUE(QDir("RECORD.db-journal").removeRecursively());
    ASSERT_TRUE(log.insert("5", "l", "5"));
    EXPECT_EQ(remarksIn("RECORD.db"),
              (QStringList{"0|l|before", "2|l|2", "3|l|3", "4|l|4", "5|l|5"}));
}

TEST(OperationLog, EachWaitIsLoggedWithTheCauseOfItsOwnWrite) {
    if (!testsupport::inPrivateMountNamespace()) return;
    testsupport::WorkDir dir;
    testsupport::TmpfsMount disk("work", 1 << 20);
    ASSERT_TRUE(disk.isMounted());
    QDir::setCurrent(disk.path());
    testsupport::MessageCatcher warnings;
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        ASSERT_TRUE(log.insert("0", "l", "before"));
        disk.fill(0);
        EXPECT_FALSE(log.insert("1", "l", "first"));
        EXPECT_FALSE(log.insert("2", "l", "second"));
    }
    const QStringList waits = warnings.messages().filter("records wait for the disk:");
    ASSERT_EQ(waits.size(), 2);
    const char* latest[] = {"- the latest: 1 first", "- the latest: 2 second"};
    for (int i = 0; i < waits.size(); ++i) {
        EXPECT_TRUE(waits[i].contains("wait for the disk: database or disk is full"))
            << waits[i].toStdString();
        EXPECT_TRUE(waits[i].endsWith(latest[i])) << waits[i].toStdString();
    }
    QDir::setCurrent(dir.path());
}

TEST(OperationLog, ARolloverThatCannotEmptyTheDayMovesNothingAndIsDoneOnceLater) {
    if (!testsupport::inPrivateMountNamespace()) return;
    testsupport::WorkDir dir;
    testsupport::TmpfsMount work("work", 1 << 20);
    testsupport::TmpfsMount archives("work/RECORD", 1 << 20);
    ASSERT_TRUE(work.isMounted() && archives.isMounted());
    QDir::setCurrent(work.path());
    {
        // An archive of the day exists already (the clock was set back).
        OperationLog log;
        log.loadRecordDay(kDay1);
        log.insert("0", "l", "earlier");
        ASSERT_TRUE(log.checkDate(kDay2));
        writeDayFile("2026-03-01");
    }
    {
        OperationLog log;
        log.loadRecordDay(kDay1);
        ASSERT_TRUE(log.insert("1", "l", "a"));
    }
    // The panel starts with its working folder read-only; the archives folder is not.
    ASSERT_TRUE(work.setReadOnly(true));
    OperationLog log;
    log.loadRecordDay(kDay1);
    EXPECT_FALSE(log.checkDate(kDay2));
    EXPECT_FALSE(log.insert("2", "l", "waited"));
    EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), QStringList{"0|l|earlier"});

    ASSERT_TRUE(work.setReadOnly(false));
    EXPECT_TRUE(log.insert("3", "l", "b"));
    EXPECT_TRUE(log.checkDate(kDay2));
    EXPECT_TRUE(log.checkDate(kDay2));
    // The record made meanwhile is written in its place, before the day moves.
    EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"),
              (QStringList{"0|l|earlier", "1|l|a", "2|l|waited", "3|l|b"}));
    EXPECT_TRUE(log.insert("4", "l", "c"));
    EXPECT_EQ(remarksIn("RECORD.db"), QStringList{"4|l|c"});
    QDir::setCurrent(dir.path());
}

TEST(OperationLog, RecordsThatWaitedAreFiledUnderTheDayTheyWereMadeOn) {
    const QDate day3 = kDay2.addDays(1);
    struct Case {
        const char* name;
        std::function<void(std::unique_ptr<OperationLog>&)> once;
        QStringList current;  // RECORD.db afterwards
    };
    const Case cases[] = {
        {"the day check",
         [&](auto& log) { EXPECT_TRUE(log->checkDate(day3)); },
         {"08.00.00|l|morning"}},
        {"a later record",
         [&](auto& log) { EXPECT_TRUE(log->insert("08.00.05", "l", "later", day3)); },
         {"08.00.00|l|morning", "08.00.05|l|later"}},
        {"the stop", [](auto& log) { log.reset(); }, {"08.00.00|l|morning"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WorkDir dir;
        auto log = std::make_unique<OperationLog>();
        log->loadRecordDay(kDay1);
        ASSERT_TRUE(log->insert("23.59.00", "l", "evening", kDay1));
        // The disk refused them over two midnights.
        ASSERT_TRUE(QDir().mkpath("RECORD.db-journal"));
        EXPECT_FALSE(log->insert("23.59.30", "l", "late", kDay1));
        EXPECT_FALSE(log->checkDate(kDay2));
        EXPECT_FALSE(log->insert("00.00.30", "l", "night", kDay2));
        EXPECT_FALSE(log->insert("08.00.00", "l", "morning", day3));
        ASSERT_TRUE(QDir("RECORD.db-journal").removeRecursively());

        c.once(log);
        EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"),
                  (QStringList{"23.59.00|l|evening", "23.59.30|l|late"}));
        EXPECT_EQ(remarksIn("RECORD/2026-03-02.db"), QStringList{"00.00.30|l|night"});
        EXPECT_EQ(remarksIn("RECORD.db"), c.current);
        QFile day("time.txt");
        ASSERT_TRUE(day.open(QIODevice::ReadOnly));
        EXPECT_EQ(day.readAll(), QByteArray("2026-03-03"));
    }
}

// Records made after midnight, before the minute's day check, with a free disk; and records of a
// new day whose archive is refused while RECORD.db takes them: each is on the disk at once and
// ends up in its own day's file, also across a stop without the log's end and a new start.
TEST(OperationLog, EveryRecordIsOnTheDiskAndEndsUpInItsOwnDaysFile) {
    const QDate day3 = kDay2.addDays(1);
    const struct {
        const char* name;
        bool archiveRefused;  // until the last day check
        bool checkedFirst;    // the day check of 00:00:01 ran before the first record
        bool restart;
        QDate lastDay;
    } cases[] = {
        {"free disk, before the check", false, false, false, kDay2},
        {"free disk, before the check, restarted", false, false, true, kDay2},
        {"archive refused, after the check", true, true, false, kDay2},
        {"archive refused, restarted", true, false, true, kDay2},
        {"archive refused over two midnights, restarted", true, true, true, day3},
    };
    const auto dayFile = [] {
        QFile file("time.txt");
        return file.open(QIODevice::ReadOnly) ? QString(file.readAll()) : QString();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WorkDir dir;
        auto log = std::make_unique<OperationLog>();
        log->loadRecordDay(kDay1);
        ASSERT_TRUE(log->insert("23.59.00", "l", "evening", kDay1));
        // A file where the archives' folder should be: no archive can be made.
        QFile blocker("RECORD");
        if (c.archiveRefused) ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        if (c.checkedFirst) EXPECT_EQ(log->checkDate(kDay2), !c.archiveRefused);
        for (const char* night : {"00.00.01", "00.00.19"}) {
            EXPECT_TRUE(log->insert(night, "l", night, kDay2));
            EXPECT_EQ(log->pendingCount(), 0);
        }
        EXPECT_EQ(log->rolloverDue(), c.archiveRefused);
        if (c.restart) {
            log.reset();
            log = std::make_unique<OperationLog>();
            log->loadRecordDay(kDay2);
            EXPECT_EQ(log->recordDay(), c.archiveRefused ? "2026-03-01" : "2026-03-02");
        }
        EXPECT_EQ(log->checkDate(kDay2), !c.archiveRefused);
        EXPECT_TRUE(log->insert("00.00.30", "l", "after the check", kDay2));
        const QStringList night = {"00.00.01|l|00.00.01", "00.00.19|l|00.00.19",
                                   "00.00.30|l|after the check"};
        QStringList current = night;
        if (c.lastDay == day3) {
            EXPECT_TRUE(log->insert("08.00.00", "l", "morning", day3));
            EXPECT_EQ(log->checkDate(day3), !c.archiveRefused);
            if (c.archiveRefused) EXPECT_EQ(remarksIn("RECORD.db").size(), 5);
            current = QStringList{"08.00.00|l|morning"};
        }
        ASSERT_TRUE(!c.archiveRefused || blocker.remove());
        EXPECT_TRUE(log->checkDate(c.lastDay));
        EXPECT_FALSE(log->rolloverDue());
        EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), QStringList{"23.59.00|l|evening"});
        if (c.lastDay == day3) EXPECT_EQ(remarksIn("RECORD/2026-03-02.db"), night);
        EXPECT_EQ(remarksIn("RECORD.db"), current);
        EXPECT_EQ(dayFile(), c.lastDay.toString("yyyy-MM-dd"));
        // The next day's rollover moves the rest as one day, and a start then knows it.
        EXPECT_TRUE(log->checkDate(c.lastDay.addDays(1)));
        log.reset();
        OperationLog again;
        again.loadRecordDay(c.lastDay.addDays(2));
        EXPECT_EQ(again.recordDay(), c.lastDay.addDays(1).toString("yyyy-MM-dd"));
        EXPECT_EQ(remarksIn(QString("RECORD/%1.db").arg(c.lastDay.toString("yyyy-MM-dd"))),
                  current);
        EXPECT_TRUE(remarksIn("RECORD.db").isEmpty());
    }
}
