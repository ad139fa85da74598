// Every small file the program writes, and the copy that restores a database, on a file
// system that is full: the old content stays whole, the failure is said, and writing works
// again once there is room. A journal left without its database never reaches a copy.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <functional>

#include "counterstore.h"
#include "dtpdevice.h"
#include "durablefile.h"
#include "faildirectory.h"
#include "leftovers.h"
#include "privatemount.h"
#include "sqlitefiles.h"
#include "statisticsconfigfile.h"
#include "subscriberbook.h"
#include "testsupport.h"
#include "versionfile.h"

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A picture whose JPEG is several pages long.
QImage noise() {
    QImage picture(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(picture.scanLine(y)),
                                              picture.width());
    return picture;
}

// A database of a few pages holding one row that names its round.
void makeDatabase(const QString& path, int round) {
    QFile::remove(path);
    ASSERT_TRUE(storage::createDatabase(
        path, {"CREATE TABLE t (x TEXT)",
               QString("INSERT INTO t VALUES ('%1%2')").arg(round).arg(QString(20000, 'd'))}));
}

struct Writer {
    const char* file;
    bool large;  // larger than the room left in the second round
    std::function<bool(int round)> write;
};

}  // namespace

TEST(DurableFiles, AFullDiskNeverShortensAFileAndTheFailureIsSaid) {
    if (!testsupport::inPrivateMountNamespace()) return;
    testsupport::WorkDir work;
    testsupport::TmpfsMount disk("disk", 1 << 20);
    ASSERT_TRUE(disk.isMounted());
    QDir::setCurrent(disk.path());
    ASSERT_TRUE(QDir().mkpath("cnt_net"));
    makeDatabase("outside.db", 1);

    const Writer writers[] = {
        {"time.txt", true,
         [](int r) { return storage::replaceFile("time.txt", QByteArray(9000, 'a' + r)); }},
        {"resstatistics.json", true,
         [](int r) {
             return stats::writeJsonObjectFile("resstatistics.json",
                                               {{"time", QString(9000, QChar('0' + r))}});
         }},
        {"cnt_net/config.json", true,
         [](int r) {
             // Other keys are kept: a large one makes the file larger than the room left.
             if (r == 0 && !storage::replaceFile("cnt_net/config.json",
                                                 "{\"pad\": \"" + QByteArray(9000, 'p') + "\"}"))
                 return false;
             return writeVersionToJson("cnt_net/config.json");
         }},
        {"count.ini", false,
         [](int r) {
             ProductionCounters c;
             c.syncNGNum = 1000000 + r;
             return CounterStore("count.ini").write(c);
         }},
        {"picture.jpg", true, [](int) { return failimage::writeJpeg(noise(), "picture.jpg"); }},
        {"iocfg.json", false,
         [](int r) {
             return dtp::writeJsonObject("iocfg.json", {{"pi_io_uuid", QString("io-%1").arg(r)}});
         }},
        {"subscriber.ini", false,
         [](int r) {
             SubscriberBook book("subscriber.ini");
             book.subscribe(QJsonObject{{"subscriber",
                                         QJsonArray{QJsonObject{{"subscriber_ip", "10.0.0.5"},
                                                                {"subscriber_port", 9000 + r}}}}},
                            1700000000000);
             return !book.pending();
         }},
        {"PARAM.db", true,
         [](int r) {
             if (r == 0) {  // a damaged working database, to be restored from a copy
                 QFile damaged("PARAM.db");
                 return damaged.open(QIODevice::WriteOnly) &&
                        damaged.write(QByteArray(3000, 'x')) == 3000;
             }
             return storage::installDatabaseCopy("outside.db", "PARAM.db");
         }},
    };
    QMap<QString, QByteArray> before;
    for (const Writer& w : writers) {
        ASSERT_TRUE(w.write(0)) << w.file;
        before[w.file] = contentOf(w.file);
    }
    for (const qint64 leave : {0, 8192}) {
        SCOPED_TRACE(leave);
        disk.fill(leave);
        testsupport::MessageCatcher warnings;
        for (const Writer& w : writers) {
            if (leave > 0 && !w.large) continue;
            EXPECT_FALSE(w.write(1)) << w.file;
            EXPECT_EQ(contentOf(w.file), before[w.file]) << w.file;
            EXPECT_GE(warnings.count(QFileInfo(w.file).fileName()), 1) << w.file;
        }
        disk.unfill();
    }
    // Nothing half-written is left beside the files, and with room again every write works.
    EXPECT_EQ(QDir().entryList(QDir::Files | QDir::Hidden).filter(QRegExp("^\\.")), QStringList());
    for (const Writer& w : writers) {
        EXPECT_TRUE(w.write(1)) << w.file;
        if (QString(w.file) != "cnt_net/config.json") {
            EXPECT_NE(contentOf(w.file), before[w.file]) << w.file;
        }
    }
    QDir::setCurrent(work.path());
}

TEST(DurableFiles, AJournalLeftWithoutItsDatabaseNeverReachesTheCopyThatTakesItsPlace) {
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
    storage::SqliteConnection connection("target.db");
    QSqlQuery query("SELECT x FROM t", connection.database());
    ASSERT_TRUE(query.next());
    EXPECT_TRUE(query.value(0).toString().startsWith("7"));
}

// What a start removes is what a write cut short leaves: the file a staged write makes.
TEST(DurableFiles, TheStartKnowsTheTemporaryFileOfAWrite) {
    testsupport::WorkDir work;
    for (const char* target : {"count.ini", "PARAM.db", "template1.bmp", "RECORD.db.building"}) {
        storage::StagedFile file(target);
        ASSERT_TRUE(file.write("x"));
        const QStringList made = QDir().entryList(QDir::Files | QDir::Hidden);
        ASSERT_EQ(made.size(), 1) << target;
        EXPECT_TRUE(storage::isLeftoverTemporary(made.first())) << made.first().toStdString();
    }
}
