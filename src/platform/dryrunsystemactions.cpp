#include "dryrunsystemactions.h"

#include <QDebug>
#include <QThread>

namespace sys {

namespace {
QString describe(const QString& program, const QStringList& args) {
    QStringList parts{program};
    for (const QString& arg : args) parts << (arg.contains(' ') ? '"' + arg + '"' : arg);
    return parts.join(' ');
}

quint16 envPort(const char* name, quint16 fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 && value < 65536 ? static_cast<quint16>(value) : fallback;
}
}  // namespace

CommandResult DryRunSystemActions::run(const QString& program, const QStringList& args, int) {
    qWarning().noquote() << "would run" << describe(program, args);
    CommandResult result;
    result.started = true;
    result.exitCode = 0;
    return result;
}

bool DryRunSystemActions::startDetached(const QString& program, const QStringList& args,
                                        const QString& workingDir) {
    qWarning().noquote() << "would start" << describe(program, args)
                         << (workingDir.isEmpty() ? QString() : "in " + workingDir);
    return true;
}

int DryRunSystemActions::openDevice(const QString& path, int) {
    qWarning().noquote() << "would open device" << path;
    return -1;
}

int DryRunSystemActions::ioctl(int fd, unsigned long request, unsigned long arg) {
    qWarning().noquote() << "would ioctl" << fd << request << arg;
    return -1;
}

int DryRunSystemActions::iopl(int level) {
    qWarning().noquote() << "would raise the I/O privilege level to" << level;
    return -1;
}

bool DryRunSystemActions::writeSystemFile(const QString& path, const QByteArray& data) {
    qWarning().noquote() << "would write" << data << "to" << path;
    return true;
}

QString DryRunSystemActions::serialDevicePath(int) {
    // Only a device that was named on purpose (the IO-board simulator) is ever opened here.
    return qEnvironmentVariable("MOULDMON_SERIAL");
}

quint16 DryRunSystemActions::servicePort(Service service, quint16 panelDefault) {
    switch (service) {
        case Service::HttpApi:
            return envPort("MOULDMON_HTTP_PORT", panelDefault);
        case Service::Modbus:
            return envPort("MOULDMON_MODBUS_PORT", 1502);
        case Service::MonitorLink:
            return envPort("MOULDMON_MONITOR_PORT", panelDefault);
    }
    return panelDefault;
}

QDateTime DryRunSystemActions::now() { return QDateTime::currentDateTime(); }

// The seam's sleeps are waits for hardware (network card, cameras); with no hardware there is
// nothing to wait for.
void DryRunSystemActions::sleepMs(int ms) { qInfo().noquote() << "would wait" << ms << "ms"; }

bool DryRunSystemActions::setSystemTime(const QDateTime& when) {
    qWarning().noquote() << "would set the clock to" << when.toString(Qt::ISODate);
    return true;
}

}  // namespace sys
