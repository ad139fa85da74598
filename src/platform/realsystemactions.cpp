#include "realsystemactions.h"

#include <fcntl.h>
#include <sys/io.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QDebug>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace sys {

CommandResult RealSystemActions::run(const QString& program, const QStringList& args,
                                     int timeoutMs) {
    CommandResult result;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForStarted(timeoutMs)) {
        qWarning() << "cannot start" << program << args << process.errorString();
        return result;
    }
    result.started = true;
    if (!process.waitForFinished(timeoutMs)) {
        qWarning() << program << "did not finish in" << timeoutMs << "ms";
        process.kill();
        process.waitForFinished(1000);
        result.output = process.readAll();
        return result;
    }
    result.output = process.readAll();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

bool RealSystemActions::startDetached(const QString& program, const QStringList& args,
                                      const QString& workingDir) {
    return QProcess::startDetached(program, args, workingDir);
}

int RealSystemActions::openDevice(const QString& path, int flags) {
    return ::open(QFile::encodeName(path).constData(), flags);
}

int RealSystemActions::ioctl(int fd, unsigned long request, unsigned long arg) {
    return ::ioctl(fd, request, arg);
}

int RealSystemActions::iopl(int level) { return ::iopl(level); }

bool RealSystemActions::writeSystemFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(data) == data.size();
}

QString RealSystemActions::serialDevicePath(int port) {
    const QString overridden = qEnvironmentVariable("MOULDMON_SERIAL");
    if (!overridden.isEmpty()) return overridden;
    return QStringLiteral("/dev/ttyS%1").arg(port);
}

quint16 RealSystemActions::servicePort(Service, quint16 panelDefault) { return panelDefault; }

QDateTime RealSystemActions::now() { return QDateTime::currentDateTime(); }

void RealSystemActions::sleepMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

bool RealSystemActions::setSystemTime(const QDateTime& when) {
    const CommandResult date =
        run(QStringLiteral("date"),
            {QStringLiteral("-s"), when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))}, 30000);
    const CommandResult hw = run(QStringLiteral("hwclock"), {QStringLiteral("-w")}, 30000);
    return date.ok() && hw.ok();
}

}  // namespace sys
