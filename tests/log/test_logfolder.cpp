// Start-up tidy of the log folders: what the previous runs left behind becomes numbered old logs.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "logfolder.h"

namespace {

class LogFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("log")));
        log_ = root_.filePath(QStringLiteral("log")) + QLatin1Char('/');
    }

    QString logPath(const QString& name) const { return log_ + name; }

    static void write(const QString& path, const QByteArray& content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void link(const QString& name, const QString& target) {
        ASSERT_TRUE(QFile::link(target, logPath(name))) << name.toStdString();
    }
    QSet<QString> folder() const {
        const QStringList names =
            QDir(log_).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        return QSet<QString>(names.begin(), names.end());
    }

    QTemporaryDir root_;
    QString log_;
};

TEST_F(LogFolder, PreviousRunBecomesTheNewestNumberedLog) {
    write(logPath(QStringLiteral("3_LOG_20240101_080000.txt")), "first");
    write(logPath(QStringLiteral("7_LOG_20240102_080000.txt")), "second");
    write(logPath(QStringLiteral("LOG_20240103-080000.1234.log")), "previous run");
    write(logPath(QStringLiteral("ERROR_20240103-080000.1234.log")), "previous errors");
    link(QStringLiteral("prog.INFO"), QStringLiteral("LOG_20240103-080000.1234.log"));
    link(QStringLiteral("prog.ERROR"), QStringLiteral("ERROR_20240103-080000.1234.log"));

    logfiles::tidyLogFolder(log_);

    EXPECT_EQ(folder(), (QSet<QString>{QStringLiteral("1_LOG_20240101_080000.txt"),
                                       QStringLiteral("2_LOG_20240102_080000.txt"),
                                       QStringLiteral("3_ERROR_20240103_080000.txt")}));
    EXPECT_EQ(read(logPath(QStringLiteral("1_LOG_20240101_080000.txt"))), "first");
    EXPECT_EQ(read(logPath(QStringLiteral("2_LOG_20240102_080000.txt"))), "second");
    EXPECT_EQ(read(logPath(QStringLiteral("3_ERROR_20240103_080000.txt"))), "previous run");
}

TEST_F(LogFolder, RunWithoutErrorsIsKeptAsLogAndItsCopiesGo) {
    write(logPath(QStringLiteral("LOG_20240105-101112.99.log")), "run");
    write(logPath(QStringLiteral("WARNING_20240105-101112.99.log")), "warnings");
    link(QStringLiteral("prog.INFO"), QStringLiteral("LOG_20240105-101112.99.log"));
    link(QStringLiteral("prog.WARNING"), QStringLiteral("WARNING_20240105-101112.99.log"));

    logfiles::tidyLogFolder(log_);

    EXPECT_EQ(folder(), QSet<QString>{QStringLiteral("1_LOG_20240105_101112.txt")});
}

TEST_F(LogFolder, AtMostTheLimitOfOldLogsSurviveRenumberedFromOne) {
    for (int n = 1; n <= 50; ++n)
        write(logPath(QStringLiteral("%1_LOG_20240101_%2.txt").arg(n).arg(100000 + n)),
              QByteArray::number(n));
    write(logPath(QStringLiteral("LOG_20240201-080000.5.log")), "newest");

    logfiles::tidyLogFolder(log_);

    const QSet<QString> names = folder();
    EXPECT_EQ(names.size(), 50);
    // The lowest number went; every other moved down by one and the new run is number 50.
    for (int n = 2; n <= 50; ++n) {
        const QString name = QStringLiteral("%1_LOG_20240101_%2.txt").arg(n - 1).arg(100000 + n);
        EXPECT_EQ(read(logPath(name)), QByteArray::number(n)) << name.toStdString();
    }
    EXPECT_EQ(read(logPath(QStringLiteral("50_LOG_20240201_080000.txt"))), "newest");
}

TEST_F(LogFolder, NumbersOrderByValueNotByName) {
    write(logPath(QStringLiteral("10_LOG_20240110_080000.txt")), "ten");
    write(logPath(QStringLiteral("9_LOG_20240109_080000.txt")), "nine");
    write(logPath(QStringLiteral("100_ERROR_20240111_080000.txt")), "hundred");

    logfiles::tidyLogFolder(log_, 2);

    EXPECT_EQ(folder(), (QSet<QString>{QStringLiteral("1_LOG_20240110_080000.txt"),
                                       QStringLiteral("2_ERROR_20240111_080000.txt")}));
}

TEST_F(LogFolder, StrayNamesAreDeletedAndNamesWithoutADotAreLeftAlone) {
    write(logPath(QStringLiteral("notes")), "no dot");
    write(logPath(QStringLiteral("a_b_c.txt")), "three parts");
    write(logPath(QStringLiteral("x_LOG_20240101_080000.txt")), "not a number");
    write(logPath(QStringLiteral(".hidden.txt")), "hidden");
    // A run log whose time stamp cannot be read gets a name without it, which the renumbering
    // then deletes.
    write(logPath(QStringLiteral("LOG_garbage.7.log")), "bad stamp");

    logfiles::tidyLogFolder(log_);

    EXPECT_EQ(folder(), QSet<QString>{QStringLiteral("notes")});
}

TEST_F(LogFolder, DanglingLinksAreLeftAlone) {
    link(QStringLiteral("prog.ERROR"), QStringLiteral("ERROR_gone.log"));
    write(logPath(QStringLiteral("LOG_20240103-080000.1.log")), "run");

    logfiles::tidyLogFolder(log_);

    // The dangling ERROR link does not mark the run as one with errors.
    EXPECT_EQ(folder(), (QSet<QString>{QStringLiteral("prog.ERROR"),
                                       QStringLiteral("1_LOG_20240103_080000.txt")}));
}

TEST_F(LogFolder, LinksPointingOutsideTheFolderNeverCostTheirTargets) {
    const QString outside = root_.filePath(QStringLiteral("precious.conf"));
    const QString outsideDotted = root_.filePath(QStringLiteral("other.ERROR.data"));
    write(outside, "keep me");
    write(outsideDotted, "keep me too");
    link(QStringLiteral("prog.ERROR"), outside);
    link(QStringLiteral("prog.FATAL"), QStringLiteral("../other.ERROR.data"));
    // A link to a link that leaves the folder is judged by where it finally lands.
    link(QStringLiteral("inner.lnk"), outside);
    link(QStringLiteral("prog.WARNING"), logPath(QStringLiteral("inner.lnk")));

    logfiles::tidyLogFolder(log_);

    EXPECT_EQ(read(outside), "keep me");
    EXPECT_EQ(read(outsideDotted), "keep me too");
    EXPECT_FALSE(QFileInfo(logPath(QStringLiteral("prog.ERROR"))).isSymLink());
    EXPECT_FALSE(QFileInfo(logPath(QStringLiteral("prog.FATAL"))).isSymLink());
}

TEST_F(LogFolder, TrimKeepsTheNewestFiles) {
    const QString dir = root_.filePath(QStringLiteral("log_stdout"));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < 53; ++i) {
        const QString path = dir + QStringLiteral("/out%1.txt").arg(i);
        write(path, "x");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        // Names and ages run in opposite directions so the order cannot come from the name.
        ASSERT_TRUE(file.setFileTime(base.addSecs(-60 * i), QFileDevice::FileModificationTime));
    }

    logfiles::trimFolder(dir, 50);

    const QStringList left = QDir(dir).entryList(QDir::Files);
    EXPECT_EQ(left.size(), 50);
    for (int i = 50; i < 53; ++i)
        EXPECT_FALSE(left.contains(QStringLiteral("out%1.txt").arg(i))) << i;

    logfiles::trimFolder(dir, 50);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 50);
}

}  // namespace
