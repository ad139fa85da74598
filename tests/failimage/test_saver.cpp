// The fail-image saver: which file goes into which folder under which name, the rolling limit,
// the report to the monitoring link, failures that must not repeat or be reported as saved,
// a prompt stop, and the slot lock held against a concurrent writer.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <atomic>
#include <thread>

#include "faildirectory.h"
#include "failimagelimits.h"
#include "failimagesaver.h"
#include "failslots.h"
#include "globals.h"
#include "savefialimagethread.h"
#include "slotrig.h"
#include "testsupport.h"

using namespace failimage;

namespace {

const QDateTime kNow(QDate(2026, 1, 31), QTime(8, 15, 42));
constexpr QRgb kRed = 0xffc81e1eu;
constexpr QRgb kBlue = 0xff1e1ec8u;

struct Report {
    QJsonObject info;
    QString path;
};

// Collects the warnings logged while it lives.
class WarningCatcher {
public:
    WarningCatcher() {
        active_ = this;
        previous_ = qInstallMessageHandler(&WarningCatcher::handle);
    }
    ~WarningCatcher() {
        qInstallMessageHandler(previous_);
        active_ = nullptr;
    }
    QStringList warnings() const {
        QMutexLocker lock(&mutex_);
        return warnings_;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtWarningMsg || !active_) return;
        QMutexLocker lock(&active_->mutex_);
        active_->warnings_ << text;
    }
    static WarningCatcher* active_;
    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;
    QStringList warnings_;
};
WarningCatcher* WarningCatcher::active_ = nullptr;

bool near(QRgb a, QRgb b, int tolerance = 12) {
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QStringList jpegsIn(const QString& folder) {
    return QDir(folder).entryList({"*.jpg"}, QDir::Files, QDir::Name);
}

void makeOldPicture(const QString& folder, const QString& name, int secondsAgo) {
    QFile file(folder + "/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old");
    ASSERT_TRUE(file.flush());  // a later flush would set the time again
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                                 QFileDevice::FileModificationTime));
}

class SaverTest : public ::testing::Test {
protected:
    SaverTest() {
        testsupport::recorder().setNow(kNow);
        saver.setFrameSize(0, QSize(64, 48));
        saver.setFrameSize(1, QSize(32, 24));
        saver.setReporter([this](const QJsonObject& info, const QString& path) {
            reports.append({info, path});
        });
        for (int c = 0; c < 2; ++c)
            for (int d = 0; d < 2; ++d)
                for (const char* kind : {"NG", "OK"})
                    QDir().mkpath(
                        QString("alarmimage/camera%1/detect%2/%3").arg(c + 1).arg(d + 1).arg(kind));
    }
    ~SaverTest() override { testsupport::recorder().setNow(QDateTime()); }

    // Pauses advance the fake clock, as real pauses would advance the real one.
    bool scan() {
        return saver.scanOnce([this](int ms) {
            pauses.append(ms);
            testsupport::recorder().advanceMs(ms);
            return true;
        });
    }
    QString folder(int c, int d, const char* kind) const {
        return work.file(
            QString("alarmimage/camera%1/detect%2/%3").arg(c + 1).arg(d + 1).arg(kind));
    }

    testsupport::WorkDir work;
    testrig::SlotRig rig{{QSize(64, 48), QSize(32, 24)}, 2};
    FailImageSaver saver;
    QVector<Report> reports;
    QVector<int> pauses;
};

}  // namespace

TEST(FailDirectory, FolderAndPictureNamesFollowTheirPatterns) {
    EXPECT_EQ(failFolderPath("./alarmimage", 0, 0, kKindNG), "./alarmimage//camera1//detect1//NG");
    EXPECT_EQ(failFolderPath("/x%1", 7, 3, kKindOK), "/x%1//camera8//detect4//OK");
    EXPECT_EQ(pictureBaseName(kNow, 2), "2_2026-01-31_08.15.42");
    EXPECT_EQ(pictureBaseName(kNow, 0), "2026-01-31_08.15.42");
    EXPECT_EQ(pictureBaseName(kNow, -1), "2026-01-31_08.15.42");
}

TEST_F(SaverTest, PicturesGoToTheirFolderUnderTheirNameAndAreReportedOnce) {
    rig.fillAndMark(1, 1, kKindNG, kRed);
    rig.setFailNumber(1, 1, 2);
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    ASSERT_TRUE(scan());

    const QString ngFile = folder(1, 1, "NG") + "/2_2026-01-31_08.15.42.jpg";
    const QImage ng(ngFile);
    ASSERT_FALSE(ng.isNull()) << ngFile.toStdString();
    EXPECT_EQ(ng.size(), QSize(32, 24));
    EXPECT_TRUE(near(ng.pixel(16, 12), kRed));
    const QStringList okFiles = jpegsIn(folder(0, 0, "OK"));
    ASSERT_EQ(okFiles, QStringList{"2026-01-31_08.15.42.jpg"});
    EXPECT_TRUE(near(QImage(folder(0, 0, "OK") + "/" + okFiles[0]).pixel(1, 1), kBlue));
    EXPECT_TRUE(jpegsIn(folder(0, 0, "NG")).isEmpty());
    EXPECT_TRUE(jpegsIn(folder(1, 1, "OK")).isEmpty());

    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0].info, QJsonObject({{"camera", 0}, {"detect", 0}, {"result", 1}}));
    EXPECT_EQ(QFileInfo(reports[0].path), QFileInfo(folder(0, 0, "OK") + "/" + okFiles[0]));
    EXPECT_TRUE(QFileInfo(reports[0].path).isAbsolute());
    EXPECT_EQ(reports[1].info, QJsonObject({{"camera", 1}, {"detect", 1}, {"result", 0}}));
    EXPECT_EQ(QFileInfo(reports[1].path), QFileInfo(ngFile));
    EXPECT_EQ(pauses, QVector<int>({kPauseAfterPictureMs, kPauseAfterPictureMs}));

    // Flags and the step's number are cleared: the next pass writes and reports nothing.
    EXPECT_FALSE(rig.isMarked(1, 1, kKindNG));
    EXPECT_FALSE(rig.isMarked(0, 0, kKindOK));
    EXPECT_EQ(rig.failNumber(1, 1), 0);
    ASSERT_TRUE(scan());
    EXPECT_EQ(reports.size(), 2);
    EXPECT_EQ(jpegsIn(folder(1, 1, "NG")).size(), 1);
}

TEST_F(SaverTest, StepWithBothPicturesPendingWritesBothIntoNGAndReportsOnlyTheSecond) {
    rig.fillAndMark(0, 1, kKindNG, kRed);
    rig.fillAndMark(0, 1, kKindOK, kBlue);
    rig.setFailNumber(0, 1, 3);
    ASSERT_TRUE(scan());

    EXPECT_EQ(jpegsIn(folder(0, 1, "NG")),
              QStringList({"3_2026-01-31_08.15.42.jpg", "3_2026-01-31_08.15.43.jpg"}));
    EXPECT_TRUE(jpegsIn(folder(0, 1, "OK")).isEmpty());
    EXPECT_TRUE(near(QImage(folder(0, 1, "NG") + "/3_2026-01-31_08.15.42.jpg").pixel(5, 5), kRed));
    EXPECT_TRUE(near(QImage(folder(0, 1, "NG") + "/3_2026-01-31_08.15.43.jpg").pixel(5, 5), kBlue));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].info, QJsonObject({{"camera", 0}, {"detect", 1}, {"result", 1}}));
    EXPECT_EQ(QFileInfo(reports[0].path).fileName(), "3_2026-01-31_08.15.43.jpg");
    EXPECT_EQ(pauses, QVector<int>({kPauseAfterUnreportedMs, kPauseAfterPictureMs}));
    EXPECT_EQ(rig.failNumber(0, 1), 0);
}

TEST_F(SaverTest, FolderIsPrunedToItsLimitNewestFirst) {
    gPicNumNG = 3;
    const QString ng = folder(0, 0, "NG");
    for (int i = 1; i <= 5; ++i) makeOldPicture(ng, QString("old%1.jpg").arg(i), 100 * i);
    QFile other(ng + "/notes.txt");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();

    rig.fillAndMark(0, 0, kKindNG, kRed);
    ASSERT_TRUE(scan());
    // old1 and old2 are the newest; the three oldest went, other files stay.
    EXPECT_EQ(jpegsIn(ng), QStringList({"2026-01-31_08.15.42.jpg", "old1.jpg", "old2.jpg"}));
    EXPECT_TRUE(QFile::exists(ng + "/notes.txt"));

    // The OK folder has its own limit.
    gPicNumOK = 1;
    const QString ok = folder(0, 0, "OK");
    makeOldPicture(ok, "a.jpg", 10);
    makeOldPicture(ok, "b.jpg", 20);
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    ASSERT_TRUE(scan());
    EXPECT_EQ(jpegsIn(ok).size(), 1);
}

TEST_F(SaverTest, SecondPictureWithinTheSameSecondReplacesTheFirst) {
    rig.fillAndMark(0, 0, kKindNG, kRed);
    ASSERT_TRUE(scan());
    rig.fillAndMark(0, 0, kKindNG, kBlue);
    ASSERT_TRUE(scan());  // 200 ms later: the same name
    const QStringList files = jpegsIn(folder(0, 0, "NG"));
    ASSERT_EQ(files, QStringList{"2026-01-31_08.15.42.jpg"});
    EXPECT_TRUE(near(QImage(folder(0, 0, "NG") + "/" + files[0]).pixel(3, 3), kBlue));
    EXPECT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0].path, reports[1].path);
}

TEST(FailDirectory, PruningKeepsRoomForOneAndNothingBelowALimitOfOne) {
    testsupport::WorkDir work;
    for (int i = 0; i < 4; ++i)
        makeOldPicture(work.path(), QString("p%1.jpg").arg(i), 10 * (i + 1));
    EXPECT_EQ(prunePictures(work.path(), 0), 0);
    EXPECT_EQ(prunePictures(work.path(), -2), 0);
    EXPECT_EQ(prunePictures(work.path(), 6), 0);
    EXPECT_EQ(prunePictures(work.path(), 4), 1);
    EXPECT_EQ(jpegsIn(work.path()), QStringList({"p0.jpg", "p1.jpg", "p2.jpg"}));
    EXPECT_EQ(prunePictures(work.path(), 1), 3);
    EXPECT_TRUE(jpegsIn(work.path()).isEmpty());
}

TEST_F(SaverTest, FailedWriteIsLoggedNotReportedAndNotTriedAgain) {
    // The NG folder is taken by a plain file: nothing can be written there.
    const QString ng = folder(1, 0, "NG");
    ASSERT_TRUE(QDir(ng).removeRecursively());
    QFile blocker(ng);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    WarningCatcher catcher;
    rig.fillAndMark(1, 0, kKindNG, kRed);
    rig.setFailNumber(1, 0, 1);
    ASSERT_TRUE(scan());
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_FALSE(rig.isMarked(1, 0, kKindNG));
    EXPECT_EQ(rig.failNumber(1, 0), 0);
    ASSERT_EQ(catcher.warnings().size(), 1);
    EXPECT_TRUE(catcher.warnings()[0].contains("folder")) << catcher.warnings()[0].toStdString();

    ASSERT_TRUE(scan());
    EXPECT_EQ(catcher.warnings().size(), 1);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(SaverTest, PicturesWithoutFrameSizeOrSlotAreDroppedWithAWarning) {
    FailImageSaver bare;
    bare.setReporter([this](const QJsonObject& info, const QString& path) {
        reports.append({info, path});
    });
    WarningCatcher catcher;
    rig.fillAndMark(0, 0, kKindNG, kRed);
    ASSERT_TRUE(bare.scanOnce([](int) { return true; }));
    EXPECT_FALSE(rig.isMarked(0, 0, kKindNG));
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(catcher.warnings().size(), 1);
    EXPECT_TRUE(jpegsIn(folder(0, 0, "NG")).isEmpty());
}

TEST_F(SaverTest, RemovedFolderIsMadeAgain) {
    ASSERT_TRUE(QDir(work.file("alarmimage")).removeRecursively());
    rig.fillAndMark(0, 1, kKindOK, kBlue);
    ASSERT_TRUE(scan());
    EXPECT_EQ(jpegsIn(folder(0, 1, "OK")).size(), 1);
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(SaverTest, FolderRootIsInjectable) {
    saver.setFolderRoot(work.file("elsewhere"));
    rig.fillAndMark(1, 1, kKindOK, kBlue);
    ASSERT_TRUE(scan());
    EXPECT_EQ(jpegsIn(work.file("elsewhere/camera2/detect2/OK")).size(), 1);
    EXPECT_TRUE(jpegsIn(folder(1, 1, "OK")).isEmpty());
}

TEST_F(SaverTest, StopDuringAPassEndsItAndLeavesTheRestPending) {
    rig.fillAndMark(0, 0, kKindNG, kRed);
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    rig.fillAndMark(1, 1, kKindNG, kRed);
    rig.setFailNumber(0, 0, 4);
    EXPECT_FALSE(saver.scanOnce([](int) { return false; }));
    EXPECT_EQ(jpegsIn(folder(0, 0, "NG")).size(), 1);
    EXPECT_TRUE(rig.isMarked(0, 0, kKindOK));
    EXPECT_TRUE(rig.isMarked(1, 1, kKindNG));
    EXPECT_EQ(rig.failNumber(0, 0), 0);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(SaverTest, OnlyCamerasAndStepsInUseAreScanned) {
    rig.fillAndMark(0, 2, kKindNG, kRed);  // step 3 of 2
    ASSERT_TRUE(scan());
    EXPECT_TRUE(rig.isMarked(0, 2, kKindNG));
    EXPECT_TRUE(reports.isEmpty());
}

TEST(SaverThread, SavesMarkedPicturesAndStopsPromptlyFromAnyPause) {
    testsupport::WorkDir work;
    testrig::SlotRig rig({QSize(40, 30)}, 1);
    std::atomic<int> reported{0};
    QString reportedPath;
    auto* thread = new SaveFialImageThread([&](const QJsonObject&, const QString& path) {
        reportedPath = path;
        reported.fetch_add(1);
    });
    thread->setFrameSize(0, QSize(40, 30));
    thread->setPacing({5, 5, 5});
    EXPECT_EQ(thread->folderRoot(), "./alarmimage");
    thread->start(QThread::InheritPriority);
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    ASSERT_TRUE(testsupport::waitFor([&] { return reported.load() == 1; }, 10000));
    EXPECT_TRUE(QFile::exists(reportedPath));
    EXPECT_TRUE(reportedPath.contains("/alarmimage/camera1/detect1/OK/"));

    // Every pause is long now; stop() must still end the thread at once.
    thread->setPacing({600000, 600000, 600000});
    QThread::msleep(20);
    thread->stop();
    EXPECT_TRUE(thread->wait(10000));
    EXPECT_TRUE(thread->isFinished());
    delete thread;

    // Stopped before it ever ran, and deleted without an explicit stop.
    auto* idle = new SaveFialImageThread([](const QJsonObject&, const QString&) {});
    idle->stop();
    idle->start();
    EXPECT_TRUE(idle->wait(10000));
    delete idle;
    auto* running = new SaveFialImageThread([](const QJsonObject&, const QString&) {});
    running->start();
    delete running;

    // As the main window keeps it: reporting to the monitoring link.
    gpSaveFialImageThread = new SaveFialImageThread;
    gpSaveFialImageThread->start(QThread::InheritPriority);
    gpSaveFialImageThread->stop();
    EXPECT_TRUE(gpSaveFialImageThread->wait(10000));
    delete gpSaveFialImageThread;
    gpSaveFialImageThread = nullptr;
}

TEST(SaverThread, CopiesAreNeverTornByAConcurrentWriter) {
    testsupport::WorkDir work;
    // Large enough that copying a picture takes longer than the writer's rest between writes.
    const QSize size(1280, 960);
    testrig::SlotRig rig({size}, 1);
    gPicNumNG = 5;

    std::atomic<int> reports{0};
    std::atomic<int> torn{0};
    SaveFialImageThread thread([&](const QJsonObject&, const QString& path) {
        const QImage picture(path);
        // Each written picture is one colour: the writer fills the slot in two halves while
        // holding the lock, so a copy taken without it would be half old, half new.
        if (picture.isNull() || !near(picture.pixel(2, 2), picture.pixel(1277, 957), 40)) ++torn;
        ++reports;
    });
    thread.setFrameSize(0, size);
    thread.setPacing({1, 1, 1});
    thread.start();

    std::atomic<bool> done{false};
    std::thread writer([&] {
        const int pixels = size.width() * size.height();
        for (int i = 0; !done.load(); ++i) {
            {
                QMutexLocker lock(pMutexSaveFail);
                QRgb* slot = static_cast<QRgb*>(gpFailImage[slotIndex(0, 0, kKindNG)]);
                const QRgb colour = (i % 2) ? 0xffffffffu : 0xff000000u;
                std::fill(slot, slot + pixels / 2, colour);
                QThread::usleep(200);
                std::fill(slot + pixels / 2, slot + pixels, colour);
                gisSaveFail[slotIndex(0, 0, kKindNG)] = true;
                if (gFailIndex[stepIndex(0, 0)] == 0) gFailIndex[stepIndex(0, 0)] = 1;
            }
            QThread::usleep(50);
        }
    });
    const bool enough = testsupport::waitFor([&] { return reports.load() >= 20; }, 60000);
    done = true;
    writer.join();
    thread.stop();
    ASSERT_TRUE(thread.wait(10000));
    EXPECT_TRUE(enough);
    EXPECT_EQ(torn.load(), 0);
    EXPECT_LE(jpegsIn(work.file("alarmimage/camera1/detect1/NG")).size(), 5);
}
