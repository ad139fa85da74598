#pragma once
#include "systemactions.h"

namespace sys {

// Performs every action for real. Used only on the panel.
class RealSystemActions : public SystemActions {
public:
    bool isReal() const override { return true; }
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
