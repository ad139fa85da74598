// The window's file listing: every file below a folder, ordered by modification time.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "deraRazovi.h"

TEST(WindowFiles, FilesBelowAFolderComeOldestFirstTiesByPath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000);
    const struct {
        const char* path;
        int secondsAfterBase;
    } files[] = {{"a.bmp", 3}, {"sub/b.bmp", 1}, {"sub/deeper/c.bmp", 2}, {"d.bmp", 2}};
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub/deeper"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("empty"));
    for (const auto& f : files) {
        QFile file(dir.filePath(f.path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(
            file.setFileTime(base.addSecs(f.secondsAfterBase), QFileDevice::FileModificationTime));
    }

    QFileInfoList found = DeRaRazovi::FoundAllFile(dir.path());
    DeRaRazovi::SortFileByTime(found);
    QStringList order;
    for (const QFileInfo& info : found) order << QDir(dir.path()).relativeFilePath(info.filePath());
    EXPECT_EQ(order, (QStringList{"sub/b.bmp", "d.bmp", "sub/deeper/c.bmp", "a.bmp"}));
}
