#include "exportprocess.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QProcess>

#include "statisticsconstants.h"

namespace stats {

namespace {

QString text(const QByteArray& bytes) {
    // What follows a NUL byte is not text.
    return QString::fromLocal8Bit(bytes.constData(),
                                  int(qstrnlen(bytes.constData(), bytes.size())));
}

}  // namespace

ProcessEnd runProcess(const QString& program, const QStringList& arguments, int timeoutMs,
                      const LineHandler& onLine, const std::atomic<bool>* stop) {
    ProcessEnd end;
    QProcess process;
    QElapsedTimer sinceProgress;
    const auto readOutput = [&](bool atEnd) {
        if (!onLine) {
            const QByteArray all = process.readAllStandardOutput();
            if (!all.isEmpty()) qDebug().noquote() << text(all);
            return;
        }
        // At the end a last line may lack its line end; it is a line all the same.
        while (process.canReadLine() || (atEnd && process.bytesAvailable() > 0)) {
            const QByteArray line = process.readLine();
            qDebug().noquote() << text(line).trimmed();
            if (onLine(line)) sinceProgress.restart();
        }
    };
    const auto readErrors = [&] {
        const QByteArray errors = process.readAllStandardError();
        if (!errors.isEmpty()) qWarning().noquote() << program << "says:" << text(errors).trimmed();
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] { readOutput(false); });
    QObject::connect(&process, &QProcess::readyReadStandardError, readErrors);

    process.start(program, arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(kProcessStartTimeLimitMs)) {
        qWarning().noquote() << "cannot start" << program << ":" << process.errorString();
        return end;
    }
    end.started = true;
    // Nothing is written to it; a program that reads its input must not wait for us.
    process.closeWriteChannel();
    sinceProgress.start();
    while (!process.waitForFinished(kProcessPollMs) && process.state() != QProcess::NotRunning) {
        if (stop && stop->load()) {
            end.stopped = true;
            break;
        }
        if (timeoutMs >= 0 && sinceProgress.hasExpired(timeoutMs)) {
            end.timedOut = true;
            break;
        }
    }
    if (end.stopped || end.timedOut) {
        qWarning().noquote() << program
                             << (end.stopped ? "is stopped with the export"
                                             : "made no progress in time and is killed");
        process.kill();
        process.waitForFinished(kProcessKillWaitMs);
    }
    readOutput(true);
    readErrors();

    if (process.exitStatus() == QProcess::CrashExit || end.stopped || end.timedOut) {
        end.crashed = true;
        qWarning() << "Process crashed!";
    } else {
        end.exitCode = process.exitCode();
        if (end.exitCode == 0)
            qInfo() << "Process finished with exit code:" << end.exitCode;
        else
            qWarning() << "Process finished with exit code:" << end.exitCode;
    }
    return end;
}

}  // namespace stats

stats::ProcessEnd runAndPrintOutput(const QString& program, const QStringList& arguments,
                                    int timeoutMs) {
    qDebug() << arguments;
    return stats::runProcess(program, arguments, timeoutMs, {}, nullptr);
}
