// Database files as wholes: damage is seen, the damaged file is kept and a complete copy takes
// its place, a stray journal never reaches the copy; and the write watch speaks once per
// failure.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QVariant>
#include <functional>

#include "sqlitefiles.h"
#include "testsupport.h"
#include "writewatch.h"

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A database of several pages: its row names the round.
void makeDatabase(const QString& path, int round) {
    ASSERT_TRUE(storage::createDatabase(
        path, {"CREATE TABLE t (x TEXT)", QString("INSERT INTO t VALUES ('%1')").arg(round),
               QString("INSERT INTO t VALUES ('%1')").arg(QString(30000, 'p'))}));
}

QString firstRow(const QString& path) {
    storage::SqliteConnection connection(path);
    QSqlQuery query("SELECT x FROM t", connection.database());
    return query.next() ? query.value(0).toString() : QString();
}

}  // namespace

TEST(SqliteFiles, DamageIsSeenTheDamagedFileIsKeptAndAWholeCopyTakesItsPlace) {
    testsupport::WorkDir work;
    makeDatabase("good.db", 7);
    const struct {
        const char* damage;
        std::function<void()> make;
    } rows[] = {
        {"random bytes", [] { writeBytes("target.db", QByteArray(8192, '\x5a')); }},
        {"no tables",
         [] { ASSERT_TRUE(storage::createDatabase("target.db", {"CREATE TABLE u (y)"})); }},
        {"truncated",
         [] {
             ASSERT_TRUE(QFile::copy("good.db", "target.db"));
             ASSERT_TRUE(QFile::resize("target.db", QFileInfo("good.db").size() / 2));
         }},
        {"a folder", [] { ASSERT_TRUE(QDir().mkdir("target.db")); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.damage);
        row.make();
        const QByteArray damaged = contentOf("target.db");
        const storage::DbCheck check = storage::checkDatabase("target.db", {"t"});
        EXPECT_EQ(check.state, storage::DbState::Damaged);
        EXPECT_FALSE(check.reason.isEmpty());

        QString kept;
        ASSERT_TRUE(storage::installDatabaseCopy("good.db", "target.db", &kept));
        EXPECT_TRUE(kept.startsWith("target.db.damaged-")) << kept.toStdString();
        EXPECT_EQ(contentOf(kept), damaged);
        EXPECT_TRUE(storage::checkDatabase("target.db", {"t"}).usable());
        EXPECT_EQ(firstRow("target.db"), "7");
        QDir().rmdir(kept);
        QFile::remove(kept);
        QFile::remove("target.db");
    }
    EXPECT_EQ(storage::checkDatabase("nothing.db").state, storage::DbState::Missing);
    EXPECT_FALSE(QFile::exists("nothing.db"));
    // A damaged source is never copied: the target stays as it was.
    writeBytes("broken.db", QByteArray(4096, '\x01'));
    EXPECT_FALSE(storage::installDatabaseCopy("broken.db", "good.db"));
    EXPECT_EQ(firstRow("good.db"), "7");
}

TEST(SqliteFiles, AJournalLeftWithoutItsDatabaseNeverReachesTheCopy) {
    testsupport::WorkDir work;
    makeDatabase("good.db", 7);
    // The hot journal of another database whose file is gone.
    makeDatabase("target.db", 1);
    testsupport::leaveInterruptedWrite("target.db",
                                       {"DELETE FROM t", "INSERT INTO t VALUES ('x')"});
    ASSERT_TRUE(QFile::remove("target.db"));
    ASSERT_TRUE(QFile::exists("target.db-journal"));

    QString kept;
    ASSERT_TRUE(storage::installDatabaseCopy("good.db", "target.db", &kept));
    EXPECT_TRUE(kept.isEmpty());
    EXPECT_FALSE(QFile::exists("target.db-journal"));
    EXPECT_TRUE(storage::checkDatabase("target.db", {"t"}).usable());
    EXPECT_EQ(firstRow("target.db"), "7");
}

TEST(WriteWatch, EachFailureIsSaidOnceAndEachRecoveryOnce) {
    storage::WriteWatch watch;
    QSignalSpy failed(&watch, &storage::WriteWatch::sigWriteFailed);
    QSignalSpy resumed(&watch, &storage::WriteWatch::sigWriteResumed);
    testsupport::MessageCatcher errors(QtCriticalMsg);
    using W = storage::WriteWatch;
    const struct {
        W::Store store;
        bool written;
        int failedAfter, resumedAfter;
    } steps[] = {
        {W::Records, true, 0, 0},   {W::Records, false, 1, 0},   {W::Records, false, 1, 0},
        {W::Counters, false, 2, 0}, {W::Records, true, 2, 1},    {W::Records, true, 2, 1},
        {W::Records, false, 3, 1},  {W::Statistics, true, 3, 1}, {W::Counters, true, 3, 2},
    };
    for (const auto& step : steps) {
        watch.report(step.store, step.written, "file");
        EXPECT_EQ(failed.count(), step.failedAfter);
        EXPECT_EQ(resumed.count(), step.resumedAfter);
    }
    EXPECT_EQ(errors.messages().size(), 3);
    EXPECT_TRUE(watch.isFailing(W::Records));
    EXPECT_FALSE(watch.isFailing(W::Counters));
}
