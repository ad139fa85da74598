#pragma once
// The one seam between the program and the machine it runs on.
//
// Everything that could change the machine or touch real hardware goes through here: system
// commands (reboot, mount, date, the network-card script, ...), device files and ioctls, the
// serial device path of the IO board, the clock and sleeps, and the TCP ports the servers
// bind. Three implementations exist:
//   - RealSystemActions: used only when the program is told it runs on the panel
//     (environment variable MOULDMON_ON_PANEL=1);
//   - DryRunSystemActions: the default; logs "would run ..." and performs nothing;
//     reading the clock is real;
//   - RecordingSystemActions: for tests; records every request and answers from a script.
// Commands are a program and an argument list, never a shell string built from data.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace sys {

struct CommandResult {
    bool started = false;  // the program could be started at all
    int exitCode = -1;     // valid when started and it finished in time
    QByteArray output;     // standard output (standard error is merged in)
    bool ok() const { return started && exitCode == 0; }
};

// The servers the program opens. Ports are injectable so tests never bind privileged ports.
enum class Service { HttpApi, Modbus, MonitorLink };

class SystemActions {
public:
    virtual ~SystemActions() = default;

    // True only for the real implementation on the panel.
    virtual bool isReal() const = 0;

    // Runs a program and waits for it (at most timeoutMs for start and for end).
    virtual CommandResult run(const QString& program, const QStringList& args,
                              int timeoutMs = 30000) = 0;
    // Starts a program in the background; the result tells whether it started.
    virtual bool startDetached(const QString& program, const QStringList& args,
                               const QString& workingDir = QString()) = 0;

    // Device access. openDevice returns a file descriptor or -1.
    virtual int openDevice(const QString& path, int flags) = 0;
    virtual int ioctl(int fd, unsigned long request, unsigned long arg) = 0;
    virtual int iopl(int level) = 0;
    // Writes a small system file (backlight and the like); true on success.
    virtual bool writeSystemFile(const QString& path, const QByteArray& data) = 0;

    // Path of serial port n of the IO board ("/dev/ttyS%1" on the panel); empty for none.
    virtual QString serialDevicePath(int port) = 0;

    // TCP port the given service listens on or connects to; the default is passed in.
    virtual quint16 servicePort(Service service, quint16 panelDefault) = 0;
    // The path System V keys are made from (ftok) for the shared memory offered to other
    // programs; the companions on the panel expect "/tmp".
    virtual QString ipcKeyPath() { return QStringLiteral("/tmp"); }

    // Clock and waits for hardware (the network card, the cameras). Off the panel such waits
    // return at once; code that needs real time to pass uses QThread or timers directly.
    virtual QDateTime now() = 0;
    virtual qint64 nowMSecsSinceEpoch() { return now().toMSecsSinceEpoch(); }
    virtual void sleepMs(int ms) = 0;
    // Sets the system clock (date and hardware clock); true on success.
    virtual bool setSystemTime(const QDateTime& when) = 0;
};

// The process-wide seam. Chosen once at start (see chooseFromEnvironment); tests replace it.
SystemActions& actions();
// Installs a seam and returns the previous one; the caller keeps ownership of both.
SystemActions* setActions(SystemActions* replacement);
// Real on the panel (MOULDMON_ON_PANEL=1), dry-run everywhere else.
SystemActions* chooseFromEnvironment();

// Installs a seam for the lifetime of a scope and restores the previous one afterwards.
class ScopedActions {
public:
    explicit ScopedActions(SystemActions* replacement) : previous_(setActions(replacement)) {}
    ~ScopedActions() { setActions(previous_); }
    ScopedActions(const ScopedActions&) = delete;
    ScopedActions& operator=(const ScopedActions&) = delete;

private:
    SystemActions* previous_;
};

}  // namespace sys
