#include "testsupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMutex>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTextLayout>

namespace testsupport {

sys::RecordingSystemActions& recorder() {
    return static_cast<sys::RecordingSystemActions&>(sys::actions());
}

WorkDir::WorkDir() : previous_(QDir::currentPath()) {
    QDir::setCurrent(dir_.path());
}

WorkDir::~WorkDir() {
    QDir::setCurrent(previous_);
}

QString sourceDir() {
    return qEnvironmentVariable("MOULDMON_SOURCE_DIR");
}

void leaveInterruptedWrite(const QString& path, const QStringList& interrupted) {
    const QString snapshot = path + QStringLiteral(".crash");
    const QString journal = QStringLiteral("-journal");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), snapshot);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        // A tiny page cache spills the transaction's pages into the file before it ends.
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA cache_size=1")));
        ASSERT_TRUE(db.transaction());
        for (const QString& statement : interrupted) ASSERT_TRUE(query.exec(statement));
        ASSERT_GT(QFileInfo(path + journal).size(), 0);
        QFile::remove(snapshot);
        QFile::remove(snapshot + journal);
        ASSERT_TRUE(QFile::copy(path, snapshot));
        ASSERT_TRUE(QFile::copy(path + journal, snapshot + journal));
        db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(snapshot);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(snapshot, path));
    ASSERT_TRUE(QFile::rename(snapshot + journal, path + journal));
}

namespace {
QMutex caughtMutex;
QStringList caught;
QtMsgType caughtType = QtWarningMsg;

void catchMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    QMutexLocker lock(&caughtMutex);
    if (type == caughtType) caught << text;
}
}  // namespace

MessageCatcher::MessageCatcher(QtMsgType type) {
    QMutexLocker lock(&caughtMutex);
    caught.clear();
    caughtType = type;
    previous_ = qInstallMessageHandler(&catchMessage);
}

MessageCatcher::~MessageCatcher() {
    qInstallMessageHandler(previous_);
}

QStringList MessageCatcher::messages() const {
    QMutexLocker lock(&caughtMutex);
    return caught;
}

int MessageCatcher::count(const QString& text) const {
    return messages().filter(text).size();
}

bool available(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QByteArray runClient(const QString& program, const QStringList& args, int* exitCode,
                     int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    const bool done = waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!done) {
        process.kill();
        process.waitForFinished(1000);
    }
    *exitCode = done && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QByteArray errors = process.readAllStandardError();
    if (*exitCode != 0) ADD_FAILURE() << program.toStdString() << ": " << errors.constData();
    return process.readAllStandardOutput();
}

QStringList labelLines(const QLabel& label) {
    QString text = label.text();
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, label.font());
    QTextOption option;
    option.setWrapMode(label.wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label.contentsRect().width());
        lines << label.text().mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

}  // namespace testsupport

void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
