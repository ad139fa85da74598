#pragma once
#include <QHash>
#include <QMutex>
#include <QTemporaryDir>
#include <QVector>
#include <functional>

#include "systemactions.h"

namespace sys {

// One request made through the seam, as tests see it.
struct RecordedAction {
    QString kind;  // "run", "start", "open", "ioctl", "iopl", "write", "sleep", "settime"
    QString program;
    QStringList args;
    QByteArray data;
};

// Records every request; performs nothing. Tests script the answers: command results per
// program, a device that opens, the serial path, the ports and a settable clock. Sleeping
// advances the fake clock instead of waiting. Thread-safe.
class RecordingSystemActions : public SystemActions {
public:
    RecordingSystemActions();

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
    // A folder of this object's own, so tests running side by side never share a segment.
    QString ipcKeyPath() override { return ipcKeyDir_.path(); }
    QDateTime now() override;
    void sleepMs(int ms) override;
    bool setSystemTime(const QDateTime& when) override;

    // --- scripting ---
    // The answer to run(program, ...); a handler sees the arguments. Unscripted: exit code 0.
    void scriptCommand(const QString& program, const CommandResult& result);
    void scriptCommand(const QString& program,
                       std::function<CommandResult(const QStringList&)> handler);
    void setSerialPath(const QString& path);
    void setServicePort(Service service, quint16 port);
    // Fixes the clock; while fixed, sleeps advance it. Unset: the real clock.
    void setNow(const QDateTime& when);
    void advanceMs(qint64 ms);
    // When true, sleeps really wait (for tests that need time to pass for other threads).
    void setRealSleeps(bool real);
    // Runs during every sleep, after it is recorded: what happens while the program waits for
    // hardware (a stop signal, say). Empty: nothing.
    void setDuringSleep(std::function<void()> what);

    // --- inspection ---
    QVector<RecordedAction> recorded() const;
    // Program names (or kinds for non-command actions) in order, e.g. {"reboot", "sleep"}.
    QStringList programs() const;
    bool ran(const QString& program) const;
    void clear();

private:
    void record(const RecordedAction& action);

    mutable QMutex mutex_;
    QVector<RecordedAction> recorded_;
    QHash<QString, std::function<CommandResult(const QStringList&)>> scripts_;
    QHash<int, quint16> ports_;
    QString serialPath_;
    QDateTime fixedNow_;
    bool realSleeps_ = false;
    std::function<void()> duringSleep_;
    QTemporaryDir ipcKeyDir_;
};

}  // namespace sys
