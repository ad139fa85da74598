// Every program the build makes and every script of scripts/, tools/ and bench/, typed as a
// person would try it: with --help, its usage on standard output and status 0, and nothing laid
// out in the folder it was typed in; with an option it does not know, a non-zero status, the
// option named and nothing asked of the machine.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "testsupport.h"

namespace {

struct Command {
    QString program;
    QStringList arguments;
};

// The interpreter a script names on its first line ("#!/usr/bin/env bash": bash), or nothing.
QString interpreterOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    const QByteArray first = file.readLine().trimmed();
    if (!first.startsWith("#!")) return QString();
    const QList<QByteArray> words = first.mid(2).simplified().split(' ');
    return QString::fromLocal8Bit(words[0].endsWith("/env") ? words.value(1) : words[0]);
}

QVector<Command> commands() {
    QVector<Command> all;
    const QDir bin(QStringLiteral(MOULDMON_BUILD_DIR "/bin"));
    for (const QFileInfo& program : bin.entryInfoList(QDir::Files | QDir::Executable))
        all.append({program.filePath(), {}});
    for (const char* folder : {"scripts", "tools", "bench"}) {
        QDirIterator files(testsupport::sourceDir() + QLatin1Char('/') + folder, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString script = files.next();
            const QString interpreter = interpreterOf(script);
            if (!interpreter.isEmpty()) all.append({interpreter, {script}});
        }
    }
    return all;
}

struct Outcome {
    int status = -1;
    QString out;
    QString err;
    QStringList laidOut;  // what the folder it was typed in holds afterwards
};

Outcome typed(const Command& command, const QString& option) {
    QTemporaryDir folder;
    QProcess process;
    process.setWorkingDirectory(folder.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The run command's files and build: in the folder, and the build that is there.
    env.insert(QStringLiteral("MOULDMON_RUN_DIR"), folder.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("BUILD_DIR"), QStringLiteral(MOULDMON_BUILD_DIR));
    env.insert(QStringLiteral("MOULDMON_SKIP_BUILD"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.start(command.program, command.arguments + QStringList{option});
    Outcome o;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return o;
    }
    o.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    o.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    o.err = QString::fromLocal8Bit(process.readAllStandardError());
    o.laidOut =
        QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    return o;
}

}  // namespace

TEST(CommandLines, EveryProgramAndScriptAnswersHelpAndRefusesAnUnknownOption) {
    const QVector<Command> all = commands();
    const auto listed = [&](const QString& end) {
        return std::any_of(all.begin(), all.end(), [&](const Command& c) {
            return (c.arguments.isEmpty() ? c.program : c.arguments[0]).endsWith(end);
        });
    };
    for (const char* end :
         {"/bin/mouldmon", "/bin/mouldpictures", "/scripts/run.sh", "/tools/screenshots/pages.sh"})
        ASSERT_TRUE(listed(QLatin1String(end))) << end;
    for (const Command& command : all) {
        const QString name = command.arguments.isEmpty() ? command.program : command.arguments[0];
        SCOPED_TRACE(name.toStdString());
        const Outcome help = typed(command, QStringLiteral("--help"));
        EXPECT_EQ(help.status, 0) << help.err.toStdString();
        EXPECT_TRUE(help.out.contains(QLatin1String("usage"), Qt::CaseInsensitive) &&
                    help.out.contains(QFileInfo(name).fileName()))
            << help.out.toStdString();
        EXPECT_EQ(help.laidOut, QStringList());
        const Outcome unknown = typed(command, QStringLiteral("--no-such-option"));
        EXPECT_NE(unknown.status, 0);
        EXPECT_TRUE(unknown.err.contains(QLatin1String("no-such-option")))
            << unknown.err.toStdString();
        // Refused before the machine is touched: off the panel the system seam logs every
        // device, privilege and command it is asked for as "would ...".
        EXPECT_FALSE(unknown.err.contains(
            QRegularExpression("^would ", QRegularExpression::MultilineOption)))
            << unknown.err.toStdString();
    }
}
