#include "writewatch.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <memory>

#include "storagelimits.h"

namespace storage {

namespace {
const char* storeName(WriteWatch::Store store) {
    switch (store) {
        case WriteWatch::Records:
            return "operation records";
        case WriteWatch::Counters:
            return "production counters";
        case WriteWatch::Pictures:
            return "alarm pictures";
        case WriteWatch::Parameters:
            return "parameters";
        case WriteWatch::CameraSerials:
            return "camera serial numbers";
        case WriteWatch::Templates:
            return "templates";
        default:
            return "statistics";
    }
}

QString shownName(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString relative = QDir::current().relativeFilePath(absolute);
    return QDir::cleanPath(relative.startsWith(QLatin1String("..")) ? absolute : relative);
}
}  // namespace

WriteWatch::WriteWatch(QObject* parent) : QObject(parent) {
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    clock_ = [elapsed] { return elapsed->elapsed(); };
}

void WriteWatch::report(Store store, bool written, const QString& path) {
    if (store < 0 || store >= StoreCount) return;
    // Most writes succeed with nothing to tell: no name is made for them.
    if (written && !failing_[store]) return;
    const QString file = shownName(path);
    if (!written) {
        const int round = failures_[store].round;
        const bool newRound = !failing_[store] && (round == 0 || clock_() - writtenSince_[store] >=
                                                                     kWrittenWellBeforeToldAgainMs);
        // The file that fails last is the one named: a store writes more than one.
        failures_[store] = Failure{store, file, probeWriteCause(path), round + int(newRound)};
        if (failing_[store]) return;
    }
    failing_[store] = !written;
    if (written) {
        writtenSince_[store] = clock_();
        noteWriteOutcome(path, 0);
        qInfo().noquote() << storeName(store) << "are written again:" << file;
        emit sigWriteResumed(store);
        return;
    }
    qCritical().noquote() << storeName(store) << "cannot be written:" << file << "("
                          << writeCauseName(failures_[store].cause)
                          << ") - each later change tries again";
    emit sigWriteFailed(store, file);
}

QList<WriteWatch::Failure> WriteWatch::failures() const {
    QList<Failure> list;
    for (int s = 0; s < StoreCount; ++s)
        if (failing_[s]) list << failures_[s];
    return list;
}

}  // namespace storage
