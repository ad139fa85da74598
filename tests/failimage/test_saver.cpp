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
const QString kNowName = QStringLiteral("2026-01-31_08.15.42.jpg");
constexpr QRgb kRed = 0xffc81e1eu;
constexpr QRgb kBlue = 0xff1e1ec8u;

struct Report {
    QJsonObject info;
    QString path;
};

bool near(QRgb a, QRgb b, int tolerance = 12) {
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QStringList jpegsIn(const QString& folder) {
    return QDir(folder).entryList({"*.jpg"}, QDir::Files, QDir::Name);
}

void makeOldPicture(const QString& path, int secondsAgo) {
    QFile file(path);
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
                for (const char* kind : {"NG", "OK"}) QDir().mkpath(folder(c, d, kind));
    }
    ~SaverTest() override { testsupport::recorder().setNow(QDateTime()); }

    // Pauses advance the fake clock, as real pauses would advance the real one.
    bool scan() {
        return saver.scanOnce([this](int ms, FailImageSaver::PauseFor) {
            pauses.append(ms);
            testsupport::recorder().advanceMs(ms);
            return true;
        });
    }
    QString folder(int c, int d, const char* kind) const {
        return work.file(
            QString("alarmimage/camera%1/detect%2/%3").arg(c + 1).arg(d + 1).arg(kind));
    }
    QRgb pixelOf(const QString& file) const { return QImage(file).pixel(3, 3); }

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
    EXPECT_EQ(pictureBaseName(kNow, -1), "2026-01-31_08.15.42");
}

TEST_F(SaverTest, PicturesGoToTheirFolderUnderTheirNameAndAreReportedOnce) {
    rig.fillAndMark(1, 1, kKindNG, kRed);
    rig.setFailNumber(1, 1, 2);
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    rig.fillAndMark(0, 2, kKindNG, kRed);  // step 3 of 2: not in use
    ASSERT_TRUE(scan());

    const QString ngFile = folder(1, 1, "NG") + "/2_" + kNowName;
    const QImage ng(ngFile);
    ASSERT_FALSE(ng.isNull()) << ngFile.toStdString();
    EXPECT_EQ(ng.size(), QSize(32, 24));
    EXPECT_TRUE(near(ng.pixel(16, 12), kRed));
    const QString okFile = folder(0, 0, "OK") + "/" + kNowName;
    EXPECT_TRUE(near(pixelOf(okFile), kBlue));
    EXPECT_EQ(jpegsIn(folder(0, 0, "OK")).size(), 1);
    EXPECT_TRUE(jpegsIn(folder(0, 0, "NG")).isEmpty());
    EXPECT_TRUE(jpegsIn(folder(1, 1, "OK")).isEmpty());

    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0].info, QJsonObject({{"camera", 0}, {"detect", 0}, {"result", 1}}));
    EXPECT_EQ(QFileInfo(reports[0].path), QFileInfo(okFile));
    EXPECT_TRUE(QFileInfo(reports[0].path).isAbsolute());
    EXPECT_EQ(reports[1].info, QJsonObject({{"camera", 1}, {"detect", 1}, {"result", 0}}));
    EXPECT_EQ(QFileInfo(reports[1].path), QFileInfo(ngFile));
    EXPECT_EQ(pauses, QVector<int>({kPauseAfterPictureMs, kPauseAfterPictureMs}));

    // Flags and the step's number are cleared: the next pass writes and reports nothing.
    EXPECT_FALSE(rig.isMarked(1, 1, kKindNG));
    EXPECT_FALSE(rig.isMarked(0, 0, kKindOK));
    EXPECT_TRUE(rig.isMarked(0, 2, kKindNG));
    EXPECT_EQ(rig.failNumber(1, 1), 0);
    ASSERT_TRUE(scan());
    EXPECT_EQ(reports.size(), 2);
    EXPECT_EQ(jpegsIn(folder(1, 1, "NG")).size(), 1);

    // A second picture within the same second replaces the first whole.
    rig.fillAndMark(0, 0, kKindOK, kRed);
    ASSERT_TRUE(scan());
    EXPECT_EQ(jpegsIn(folder(0, 0, "OK")), QStringList{kNowName});
    EXPECT_TRUE(near(pixelOf(okFile), kRed));
    ASSERT_EQ(reports.size(), 3);
    EXPECT_EQ(reports[2].path, reports[0].path);
}

TEST_F(SaverTest, StepWithBothPicturesPendingWritesBothIntoNGAndReportsOnlyTheSecond) {
    rig.fillAndMark(0, 1, kKindNG, kRed);
    rig.fillAndMark(0, 1, kKindOK, kBlue);
    rig.setFailNumber(0, 1, 3);
    ASSERT_TRUE(scan());

    const QString ng = folder(0, 1, "NG") + "/3_2026-01-31_08.15.";
    EXPECT_EQ(jpegsIn(folder(0, 1, "NG")).size(), 2);
    EXPECT_TRUE(near(pixelOf(ng + "42.jpg"), kRed));
    EXPECT_TRUE(near(pixelOf(ng + "43.jpg"), kBlue));
    EXPECT_TRUE(jpegsIn(folder(0, 1, "OK")).isEmpty());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].info, QJsonObject({{"camera", 0}, {"detect", 1}, {"result", 1}}));
    EXPECT_EQ(QFileInfo(reports[0].path), QFileInfo(ng + "43.jpg"));
    EXPECT_EQ(pauses, QVector<int>({kPauseAfterUnreportedMs, kPauseAfterPictureMs}));
    EXPECT_EQ(rig.failNumber(0, 1), 0);
}

TEST_F(SaverTest, FoldersArePrunedToTheirOwnLimitNewestFirst) {
    gPicNumNG = 3;
    gPicNumOK = 1;
    const QString ng = folder(0, 0, "NG");
    for (int i = 1; i <= 5; ++i) makeOldPicture(ng + QString("/old%1.jpg").arg(i), 100 * i);
    makeOldPicture(ng + "/notes.txt", 1000);
    makeOldPicture(folder(0, 0, "OK") + "/a.jpg", 10);
    makeOldPicture(folder(0, 0, "OK") + "/b.jpg", 20);
    rig.fillAndMark(0, 0, kKindNG, kRed);
    rig.fillAndMark(1, 0, kKindOK, kBlue);
    ASSERT_TRUE(scan());
    // old1 and old2 are the newest; the three oldest went, other files stay.
    EXPECT_EQ(jpegsIn(ng), QStringList({kNowName, "old1.jpg", "old2.jpg"}));
    EXPECT_TRUE(QFile::exists(ng + "/notes.txt"));
    EXPECT_EQ(jpegsIn(folder(0, 0, "OK")).size(), 2);  // another step's folder
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    ASSERT_TRUE(scan());
    EXPECT_EQ(jpegsIn(folder(0, 0, "OK")).size(), 1);

    // Room is made for one more; a limit below one deletes nothing.
    for (int limit : {0, -2, 4}) EXPECT_EQ(prunePictures(ng, limit), 0) << limit;
    EXPECT_EQ(prunePictures(ng, 3), 1);
    EXPECT_EQ(jpegsIn(ng), QStringList({kNowName, "old1.jpg"}));
}

TEST_F(SaverTest, PicturesThatCannotBeWrittenOrTakenAreLoggedNotReportedAndNotTriedAgain) {
    // The NG folder is taken by a plain file: nothing can be written there.
    const QString ng = folder(1, 0, "NG");
    ASSERT_TRUE(QDir(ng).removeRecursively());
    makeOldPicture(ng, 0);

    testsupport::MessageCatcher catcher;
    QStringList outcomes;
    saver.setWriteOutcome([&](bool written, const QString& root) {
        outcomes << QString("%1 %2").arg(written).arg(root);
    });
    rig.fillAndMark(1, 0, kKindNG, kRed);
    rig.setFailNumber(1, 0, 1);
    ASSERT_TRUE(scan());
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(outcomes, QStringList{"0 " + saver.folderRoot()}) << "told to the write watch";
    EXPECT_FALSE(rig.isMarked(1, 0, kKindNG));
    EXPECT_EQ(rig.failNumber(1, 0), 0);
    ASSERT_EQ(catcher.messages().size(), 1);
    EXPECT_TRUE(catcher.messages()[0].contains("folder")) << catcher.messages()[0].toStdString();
    ASSERT_TRUE(scan());
    EXPECT_EQ(catcher.messages().size(), 1);

    // A camera without a frame size has its picture dropped.
    saver.setFrameSize(0, QSize());
    rig.fillAndMark(0, 0, kKindNG, kRed);
    ASSERT_TRUE(scan());
    EXPECT_FALSE(rig.isMarked(0, 0, kKindNG));
    EXPECT_EQ(catcher.messages().size(), 2);
    EXPECT_TRUE(jpegsIn(folder(0, 0, "NG")).isEmpty());
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(outcomes.size(), 1) << "a picture not taken was never written";
}

TEST_F(SaverTest, MissingFoldersUnderAnotherRootAreMade) {
    saver.setFolderRoot(work.file("elsewhere"));
    rig.fillAndMark(1, 1, kKindOK, kBlue);
    ASSERT_TRUE(scan());
    EXPECT_EQ(jpegsIn(work.file("elsewhere/camera2/detect2/OK")).size(), 1);
    EXPECT_TRUE(jpegsIn(folder(1, 1, "OK")).isEmpty());
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(SaverTest, StopDuringAPassEndsItAndLeavesTheRestPending) {
    rig.fillAndMark(0, 0, kKindNG, kRed);
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    rig.fillAndMark(1, 1, kKindNG, kRed);
    rig.setFailNumber(0, 0, 4);
    EXPECT_FALSE(saver.scanOnce([](int, FailImageSaver::PauseFor) { return false; }));
    EXPECT_EQ(jpegsIn(folder(0, 0, "NG")).size(), 1);
    EXPECT_TRUE(rig.isMarked(0, 0, kKindOK));
    EXPECT_TRUE(rig.isMarked(1, 1, kKindNG));
    EXPECT_EQ(rig.failNumber(0, 0), 0);
    EXPECT_TRUE(reports.isEmpty());
}

TEST(SaverThread, SavesMarkedPicturesAndStopsPromptlyFromAnyPause) {
    testsupport::WorkDir work;
    testrig::SlotRig rig({QSize(40, 30)}, 1);
    std::atomic<int> reported{0};
    QString reportedPath;
    auto thread =
        std::make_unique<SaveFialImageThread>([&](const QJsonObject&, const QString& path) {
            reportedPath = path;
            reported.fetch_add(1);
        });
    thread->setFrameSize(0, QSize(40, 30));
    thread->setPacing({5, 5, 5});
    thread->start();
    rig.fillAndMark(0, 0, kKindOK, kBlue);
    ASSERT_TRUE(testsupport::waitFor([&] { return reported.load() == 1; }, 10000));
    EXPECT_TRUE(QFile::exists(reportedPath));
    EXPECT_TRUE(reportedPath.contains("/alarmimage/camera1/detect1/OK/"));

    // Every pause is long now; stop() must still end the thread at once.
    thread->setPacing({600000, 600000, 600000});
    QThread::msleep(20);
    thread->stop();
    EXPECT_TRUE(thread->wait(10000));

    // Stopped before it ever ran, and deleted while running (as the main window keeps it,
    // reporting to the monitoring link).
    thread = std::make_unique<SaveFialImageThread>([](const QJsonObject&, const QString&) {});
    thread->stop();
    thread->start();
    EXPECT_TRUE(thread->wait(10000));
    thread = std::make_unique<SaveFialImageThread>();
    thread->start();
    thread.reset();
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
