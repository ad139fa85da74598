#pragma once
#include "systemactions.h"

namespace sys {

// The default off the panel: every action that would change the machine is logged as
// "would run ..." and not performed; waits for hardware return at once. The IO board
// is reached only when MOULDMON_SERIAL names a device (the IO-board simulator's terminal);
// server ports come from MOULDMON_<SERVICE>_PORT or an unprivileged default.
class DryRunSystemActions : public SystemActions {
public:
    bool isReal() const override { return false; }
    CommandResult run(const QString& program, const QStringList& args,
                      int timeoutMs = 30000) override;
    bool startDetached(const QString& program, const QStringList& args,
                       const QString& workingDir = QString()) override;
    int openDevice(const QString& path, int flags) override;
    int ioctl(int fd, unsigned long request, unsigned long arg) override;
    int iopl(int level) override;
    bool writeSystemFile(const QString& path, const QByteArray& data) override;
    QString serialDevicePath(int port) override;
    quint16 servicePort(Service service, quint16 panelDefault) override;
    QDateTime now() override;
    // Cheaper than now(): no time-zone look-up.
    qint64 nowMSecsSinceEpoch() override { return QDateTime::currentMSecsSinceEpoch(); }
    void sleepMs(int ms) override;
    bool setSystemTime(const QDateTime& when) override;
};

}  // namespace sys
