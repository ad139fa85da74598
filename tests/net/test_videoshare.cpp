// The video share: keys, sizes and the semaphore; the copier writing the main window as I420
// for a reader process that learned the ids from the offer; a reader that never lets go.
#include <gtest/gtest.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include "linkrig.h"
#include "testsupport.h"
#include "videothread.h"

namespace {

const QString kReader = QStringLiteral(MOULDMON_BIN_DIR "/mouldmon-videoreader");

// A removed segment loses its key at once (it lives on while still attached).
bool keyInUse(const QString& path, int index) {
    return shmget(videoshare::shareKey(path, index), 0, 0) >= 0 ||
           semget(videoshare::semaphoreKey(path, index), 0, 0) >= 0;
}

// Counts the paint events of the widget it filters.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

TEST(VideoShare, KeysSizesAndTheSemaphore) {
    QTemporaryDir keys;
    const VideoShareInfo share = videoshare::create(0, 1024, 768, keys.path());
    shmid_ds info;
    ASSERT_EQ(shmctl(share.shmid, IPC_STAT, &info), 0);
    EXPECT_EQ(info.shm_segsz, 1179648u);
    EXPECT_EQ(info.shm_perm.__key, ftok(keys.path().toLocal8Bit().constData(), 1000));
    EXPECT_EQ(info.shm_perm.mode & 0777, 0666u);
    EXPECT_EQ(share.sem->value(), 1);
    EXPECT_EQ(videoshare::create(0, 1024, 768, keys.path()).shmid, share.shmid) << "reused";
    const VideoShareInfo odd = videoshare::create(1, 801, 601, keys.path());
    EXPECT_EQ(odd.size, 800 * 600 * 3 / 2);

    // Only a holder gives the semaphore back when it goes.
    {
        CNT_Semaphore bystander(videoshare::semaphoreKey(keys.path(), 0));
        EXPECT_GE(bystander.get_sem(), 0);
        CNT_Semaphore holder(videoshare::semaphoreKey(keys.path(), 0));
        holder.get_sem();
        ASSERT_TRUE(holder.P_sem());
        EXPECT_FALSE(bystander.P_sem(10));
    }
    EXPECT_EQ(share.sem->value(), 1);
    EXPECT_FALSE(CNT_Semaphore(videoshare::semaphoreKey(keys.path(), 7)).P_sem()) << "no set";

    for (const VideoShareInfo& s : {share, odd}) videoshare::remove(s);
    EXPECT_FALSE(keyInUse(keys.path(), 0) || keyInUse(keys.path(), 1));
}

// A red window the size of the screen read back by the reader process: Y, then U, then V, with
// the BT.601 values of pure red.
TEST(VideoShare, ReaderGetsTheWindowAsI420AndAStuckReaderStopsNothing) {
    linktest::LinkRig rig(true, true);
    QWidget window;
    window.setGeometry(QGuiApplication::primaryScreen()->geometry());
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    window.setPalette(red);
    window.setAutoFillBackground(true);
    rig.link->setMonitoredWindow({&window, [] { return 1; }, [] { return 0; }});
    rig.link->InitStart();  // again, now that the window is known
    ASSERT_TRUE(rig.ok());

    const QList<fakepeer::Request> offers = rig.await("/inline/bymain/offervideomem", 2);
    ASSERT_EQ(offers.size(), 2);
    const QJsonObject offer = offers[1].json()["memoryinfo"].toArray()[0].toObject();
    const int w = offer["width"].toInt();
    const int h = offer["height"].toInt();
    EXPECT_EQ(QSize(w, h), window.size());
    EXPECT_EQ(offer["fps"].toInt(), 20);
    const QStringList ids{QString::number(offer["shmid"].toInt()),
                          QString::number(offer["semid"].toInt()), QString::number(w * h * 3 / 2)};
    shmid_ds info;
    ASSERT_EQ(shmctl(offer["shmid"].toInt(), IPC_STAT, &info), 0);
    EXPECT_EQ(info.shm_nattch, 1u) << "the restart let go of the earlier attachment";
    const std::shared_ptr<VideoThread> copier = rig.link->videoThread();
    ASSERT_TRUE(copier);
    // Pictures wait in the copier's cache (each grab paints the window), but the platform has
    // not asked for video.
    PaintCounter grabs;
    window.installEventFilter(&grabs);
    ASSERT_TRUE(testsupport::waitFor([&] { return grabs.paints >= 3; }));
    EXPECT_EQ(copier->copiedFrames(), 0) << "the platform has not asked for video";
    ASSERT_TRUE(rig.setFlags({{"cntserver", true}, {"register", true}, {"needvideo", true}}));
    ASSERT_TRUE(testsupport::waitFor([&] { return copier->copiedFrames() > 1; }));

    QTemporaryDir out;
    QProcess reader;
    reader.start(kReader, ids + QStringList{out.filePath("frame")});
    ASSERT_TRUE(reader.waitForFinished(5000));
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    QFile frame(out.filePath("frame"));
    ASSERT_TRUE(frame.open(QIODevice::ReadOnly));
    const QByteArray i420 = frame.readAll();
    ASSERT_EQ(i420.size(), w * h * 3 / 2);
    const auto plane = [&](int from, int count, int expected) {
        for (int i = from; i < from + count; ++i)
            if (std::abs(quint8(i420[i]) - expected) > 1) return false;
        return true;
    };
    EXPECT_TRUE(plane(0, w * h, 82) && plane(w * h, w * h / 4, 90) &&
                plane(w * h * 5 / 4, w * h / 4, 240));

    // A reader that keeps the semaphore: frames are skipped while the GUI thread goes on
    // grabbing the window (each grab paints it; hidden, it is painted for nothing else), and
    // the copier stops; nobody but the holder gives the semaphore back.
    QProcess stuck;
    stuck.start(kReader, ids + QStringList{out.filePath("never"), "-1"});
    ASSERT_TRUE(stuck.waitForReadyRead(5000));
    EXPECT_TRUE(testsupport::waitFor([&] { return copier->skippedFrames() >= 2; }));
    grabs.paints = 0;
    const int skipped = copier->skippedFrames();
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return grabs.paints >= 2 && copier->skippedFrames() >= skipped + 2; }));
    window.removeEventFilter(&grabs);
    rig.link->startVideo(false);
    EXPECT_TRUE(copier->isFinished());
    const VideoShareInfo share = rig.link->videoShares().value(0);
    EXPECT_EQ(share.sem->value(), 0);
    stuck.kill();
    stuck.waitForFinished(5000);
    EXPECT_EQ(share.sem->value(), 1);
}
