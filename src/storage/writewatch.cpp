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
    report(store, written, QStringList{path});
}

void WriteWatch::report(Store store, bool written, const QStringList& paths) {
    if (store < 0 || store >= StoreCount || paths.isEmpty()) return;
    // Most writes succeed with nothing to tell: no name is made for them.
    if (written && !failing_[store]) return;
    QStringList files;
    for (const QString& path : paths) files << shownName(path);
    if (!written) {
        const int round = failures_[store].round;
        const bool newRound = !failing_[store] && (round == 0 || clock_() - writtenSince_[store] >=
                                                                     kWrittenWellBeforeToldAgainMs);
        // The files that fail last are the ones named: a store writes more than one.
        Failure failure{store, files.first(), WriteCause::Unknown, round + int(newRound), files,
                        {}};
        for (const QString& path : paths) failure.causes << probeWriteCause(path);
        failure.cause = failure.causes.first();
        failures_[store] = failure;
        if (failing_[store]) return;
    }
    failing_[store] = !written;
    if (written) {
        writtenSince_[store] = clock_();
        for (const QString& path : paths) noteWriteOutcome(path, 0);
        qInfo().noquote() << storeName(store) << "are written again:" << files.join(", ");
        emit sigWriteResumed(store);
        return;
    }
    QStringList named;
    for (int i = 0; i < files.size(); ++i)
        named << files[i] + " (" + writeCauseName(failures_[store].causes[i]) + ")";
    qCritical().noquote() << storeName(store) << "cannot be written:" << named.join(", ")
                          << "- each later change tries again";
    emit sigWriteFailed(store, files.join(", "));
}

QList<WriteWatch::Failure> WriteWatch::failures() const {
    QList<Failure> list;
    for (int s = 0; s < StoreCount; ++s)
        if (failing_[s]) list << failures_[s];
    return list;
}

}  // namespace storage
