// The logger end to end. glog starts once per process, so one logger serves every test here.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>

#include "logmanager.h"

namespace {

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Builds the folder a previous run left, then starts the logger over it.
class Logger : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        workspace_ = new QTemporaryDir;
        const QString ws = workspace_->path() + QStringLiteral("/workspace/");
        const QString log = ws + QStringLiteral("log/");
        const QString out = ws + QStringLiteral("log_stdout/");
        QDir().mkpath(log);
        QDir().mkpath(out);
        write(log + QStringLiteral("4_LOG_20240101_080000.txt"), "old");
        write(log + QStringLiteral("LOG_20240103-080000.1234.log"), "previous run");
        write(log + QStringLiteral("ERROR_20240103-080000.1234.log"), "previous errors");
        QFile::link(QStringLiteral("LOG_20240103-080000.1234.log"),
                    log + QStringLiteral("old.INFO"));
        QFile::link(QStringLiteral("ERROR_20240103-080000.1234.log"),
                    log + QStringLiteral("old.ERROR"));
        const QDateTime base = QDateTime::currentDateTime().addDays(-1);
        for (int i = 0; i < 52; ++i) {
            const QString path = out + QStringLiteral("run%1.txt").arg(i);
            write(path, "x");
            QFile file(path);
            file.open(QIODevice::ReadWrite);
            file.setFileTime(base.addSecs(-i), QFileDevice::FileModificationTime);
        }
        logger_ = new LogManager(nullptr, ws);
    }

    static QString logDir() { return logger_->logDir(); }

    // Everything written for the prefix, also by the child processes of death tests (glog starts
    // new files when it finds itself in a new process).
    static QByteArray allWritten(const char* prefix) {
        QByteArray all;
        const QStringList files = QDir(logDir()).entryList(
            {QString::fromLatin1(prefix) + QStringLiteral("*.log")}, QDir::Files);
        for (const QString& file : files) all += read(logDir() + file);
        return all;
    }

    static QTemporaryDir* workspace_;
    static LogManager* logger_;
};

QTemporaryDir* Logger::workspace_ = nullptr;
LogManager* Logger::logger_ = nullptr;

TEST_F(Logger, StartTidiesTheFoldersOfThePreviousRun) {
    EXPECT_EQ(read(logDir() + QStringLiteral("1_LOG_20240101_080000.txt")), "old");
    EXPECT_EQ(read(logDir() + QStringLiteral("2_ERROR_20240103_080000.txt")), "previous run");
    EXPECT_FALSE(QFileInfo::exists(logDir() + QStringLiteral("ERROR_20240103-080000.1234.log")));
    EXPECT_FALSE(QFileInfo(logDir() + QStringLiteral("old.INFO")).isSymLink());
    const QStringList stdoutFiles = QDir(logger_->stdoutDir()).entryList(QDir::Files);
    EXPECT_EQ(stdoutFiles.size(), 50);
    EXPECT_FALSE(stdoutFiles.contains(QStringLiteral("run51.txt")));
}

TEST_F(Logger, MessagesReachTheirFilesWithTheirMarks) {
    qDebug("debug-marker");
    const int infoLine = __LINE__ + 1;
    qInfo("info-marker %s", "ÜTF-8 检测");
    const int warningLine = __LINE__ + 1;
    qWarning("warning-marker");
    qCritical("critical-marker");
    QMessageLogger(nullptr, 0, nullptr).info("nosource-marker");

    const QByteArray info = allWritten("LOG_");
    ASSERT_FALSE(info.isEmpty());
    EXPECT_TRUE(info.contains("test_logmanager.cpp:" + QByteArray::number(infoLine) +
                              "] info-marker ÜTF-8 检测\n"))
        << info.constData();
    EXPECT_TRUE(info.contains("test_logmanager.cpp:" + QByteArray::number(warningLine) +
                              "] ---warning---warning-marker\n"));
    EXPECT_TRUE(info.contains("unknow:0] nosource-marker\n"));
    EXPECT_FALSE(info.contains("debug-marker"));

    const QByteArray error = allWritten("ERROR_");
    EXPECT_TRUE(error.contains("logmanager.cpp:241] \tcritical-marker\n")) << error.constData();
    EXPECT_FALSE(error.contains("warning-marker"));
    // glog copies every record into the files of lower severities.
    EXPECT_TRUE(info.contains("\tcritical-marker"));
    EXPECT_TRUE(allWritten("WARNING_").contains("\tcritical-marker"));
}

TEST_F(Logger, GlogLinksTheNewestFilesForTheNextTidy) {
    qCritical("link-marker");
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QFileInfo infoLink(logDir() + program + QStringLiteral(".INFO"));
    ASSERT_TRUE(infoLink.isSymLink());
    EXPECT_TRUE(QFileInfo(infoLink.symLinkTarget()).fileName().startsWith(QLatin1String("LOG_")));
    EXPECT_TRUE(read(infoLink.absoluteFilePath()).contains("link-marker"));
    EXPECT_TRUE(QFileInfo(logDir() + program + QStringLiteral(".ERROR")).isSymLink());
}

// A fatal message ends the process; its record stays in the FATAL log.
TEST_F(Logger, FatalMessageEndsTheProcessAfterWritingItsRecord) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_DEATH(qFatal("fatal-marker"), "fatal-marker");
    const QByteArray fatal = allWritten("FATAL_");
    EXPECT_TRUE(fatal.contains("logmanager.cpp:245] \tfatal-marker\n")) << fatal.constData();
}

// A crash is reported through the failure writer into the ERROR log.
TEST_F(Logger, CrashReportIsWrittenToTheErrorLog) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_DEATH(std::raise(SIGSEGV), "");
    const QByteArray error = allWritten("ERROR_");
    EXPECT_TRUE(error.contains("logmanager.cpp:24] *** SIGSEGV")) << error.constData();
}

}  // namespace
