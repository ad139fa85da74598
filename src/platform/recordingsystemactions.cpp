#include "recordingsystemactions.h"

#include <QMutexLocker>
#include <QThread>

namespace sys {

RecordingSystemActions::RecordingSystemActions() = default;

void RecordingSystemActions::record(const RecordedAction& action) {
    QMutexLocker lock(&mutex_);
    recorded_.append(action);
}

CommandResult RecordingSystemActions::run(const QString& program, const QStringList& args, int) {
    record({QStringLiteral("run"), program, args, {}});
    std::function<CommandResult(const QStringList&)> handler;
    {
        QMutexLocker lock(&mutex_);
        handler = scripts_.value(program);
    }
    if (handler) return handler(args);
    CommandResult result;
    result.started = true;
    result.exitCode = 0;
    return result;
}

bool RecordingSystemActions::startDetached(const QString& program, const QStringList& args,
                                           const QString& workingDir) {
    record({QStringLiteral("start"), program, args, workingDir.toUtf8()});
    return true;
}

int RecordingSystemActions::openDevice(const QString& path, int) {
    record({QStringLiteral("open"), path, {}, {}});
    return -1;
}

int RecordingSystemActions::ioctl(int fd, unsigned long request, unsigned long arg) {
    record({QStringLiteral("ioctl"),
            QString::number(fd),
            {QString::number(request), QString::number(arg)},
            {}});
    return 0;
}

int RecordingSystemActions::iopl(int level) {
    record({QStringLiteral("iopl"), QString::number(level), {}, {}});
    return 0;
}

bool RecordingSystemActions::writeSystemFile(const QString& path, const QByteArray& data) {
    record({QStringLiteral("write"), path, {}, data});
    return true;
}

QString RecordingSystemActions::serialDevicePath(int) {
    QMutexLocker lock(&mutex_);
    return serialPath_;
}

quint16 RecordingSystemActions::servicePort(Service service, quint16) {
    QMutexLocker lock(&mutex_);
    return ports_.value(static_cast<int>(service), 0);  // 0: any free port
}

QDateTime RecordingSystemActions::now() {
    QMutexLocker lock(&mutex_);
    return fixedNow_.isValid() ? fixedNow_ : QDateTime::currentDateTime();
}

void RecordingSystemActions::sleepMs(int ms) {
    record({QStringLiteral("sleep"), QString::number(ms), {}, {}});
    bool real;
    std::function<void()> during;
    {
        QMutexLocker lock(&mutex_);
        real = realSleeps_;
        during = duringSleep_;
        if (fixedNow_.isValid()) fixedNow_ = fixedNow_.addMSecs(ms);
    }
    if (during) during();
    if (real) QThread::msleep(static_cast<unsigned long>(ms));
}

bool RecordingSystemActions::setSystemTime(const QDateTime& when) {
    record({QStringLiteral("settime"), when.toString(Qt::ISODate), {}, {}});
    return true;
}

void RecordingSystemActions::scriptCommand(const QString& program, const CommandResult& result) {
    scriptCommand(program, [result](const QStringList&) { return result; });
}

void RecordingSystemActions::scriptCommand(
    const QString& program, std::function<CommandResult(const QStringList&)> handler) {
    QMutexLocker lock(&mutex_);
    scripts_.insert(program, std::move(handler));
}

void RecordingSystemActions::setSerialPath(const QString& path) {
    QMutexLocker lock(&mutex_);
    serialPath_ = path;
}

void RecordingSystemActions::setServicePort(Service service, quint16 port) {
    QMutexLocker lock(&mutex_);
    ports_.insert(static_cast<int>(service), port);
}

void RecordingSystemActions::setNow(const QDateTime& when) {
    QMutexLocker lock(&mutex_);
    fixedNow_ = when;
}

void RecordingSystemActions::advanceMs(qint64 ms) {
    QMutexLocker lock(&mutex_);
    if (fixedNow_.isValid()) fixedNow_ = fixedNow_.addMSecs(ms);
}

void RecordingSystemActions::setRealSleeps(bool real) {
    QMutexLocker lock(&mutex_);
    realSleeps_ = real;
}

QVector<RecordedAction> RecordingSystemActions::recorded() const {
    QMutexLocker lock(&mutex_);
    return recorded_;
}

QStringList RecordingSystemActions::programs() const {
    QMutexLocker lock(&mutex_);
    QStringList names;
    for (const RecordedAction& action : recorded_)
        names << (action.kind == QLatin1String("run") || action.kind == QLatin1String("start")
                      ? action.program
                      : action.kind);
    return names;
}

bool RecordingSystemActions::ran(const QString& program) const {
    QMutexLocker lock(&mutex_);
    for (const RecordedAction& action : recorded_)
        if ((action.kind == QLatin1String("run") || action.kind == QLatin1String("start")) &&
            action.program == program)
            return true;
    return false;
}

void RecordingSystemActions::setDuringSleep(std::function<void()> what) {
    QMutexLocker lock(&mutex_);
    duringSleep_ = std::move(what);
}

void RecordingSystemActions::clear() {
    QMutexLocker lock(&mutex_);
    recorded_.clear();
}

}  // namespace sys
