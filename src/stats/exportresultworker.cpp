#include "exportresultworker.h"

#include <QDebug>
#include <QDir>
#include <QMutexLocker>

#include "exportselection.h"
#include "statisticsconstants.h"
#include "systemactions.h"

using namespace stats;

ExportResultWorker::ExportResultWorker(QObject* parent)
    : QObject(parent), exporterTimeLimitMs_(kExporterFileTimeLimitMs) {}

void ExportResultWorker::setDisk(const devices::UsbDiskFinder& disk) {
    QMutexLocker lock(&mutex_);
    disk_ = disk;
}

void ExportResultWorker::setExporterTimeLimitMs(int ms) {
    QMutexLocker lock(&mutex_);
    exporterTimeLimitMs_ = ms;
}

void ExportResultWorker::work(QPair<QString, QString> dates) {
    qDebug() << "start export Statistics result work";
    devices::UsbDiskFinder disk;
    int timeLimitMs;
    {
        QMutexLocker lock(&mutex_);
        disk = disk_;
        timeLimitMs = exporterTimeLimitMs_;
    }
    const QDateTime now = sys::actions().now();
    const QString stamp = now.toString(QLatin1String(kExportStampFormat));
    if (!QDir(QStringLiteral(".")).exists(QLatin1String(kExportScratchDir)))
        QDir(QStringLiteral(".")).mkdir(QLatin1String(kExportScratchDir));

    const QDate first = QDate::fromString(dates.first, QLatin1String(kDateFormat));
    const QDate last = QDate::fromString(dates.second, QLatin1String(kDateFormat));
    const QStringList files =
        exportFiles(QLatin1String(kDefaultArchiveDir), first, last, now.date());
    total = files.size();
    done = 0;
    if (files.isEmpty()) {
        // An empty folder on the disk would look like an export that lost its results.
        qInfo().noquote() << "statistics export: no statistics from" << dates.first << "to"
                          << dates.second << "- nothing exported";
        releaseDisk(disk);
        emit finish(NothingToExport);
        return;
    }
    emit exportProgress(total, done);

    const ProcessEnd exporter =
        exportToHistogram(QLatin1String(kExporterProgram),
                          {files.join(QLatin1String(kExporterFileSeparator))}, timeLimitMs);
    if (exporter.stopped) {
        emit finish(Failed);
        return;
    }
    bool succeeded = exporter.ok() && done >= total;
    if (exporter.ok() && done < total)
        qWarning() << "statistics export: the exporter finished" << done << "of" << total
                   << "files";
    // Whatever the exporter achieved goes onto the disk, and the disk is always released.
    succeeded = moveResults(disk, stamp) && succeeded;
    succeeded = releaseDisk(disk) && succeeded;
    emit finish(succeeded ? Exported : Failed);
}

bool ExportResultWorker::releaseDisk(const devices::UsbDiskFinder& disk) {
    sys::actions().run(QStringLiteral("sync"), {}, kExportSyncTimeLimitMs);
    const sys::CommandResult unmount = sys::actions().run(
        QStringLiteral("umount"), {disk.mountPoint()}, kExportUnmountTimeLimitMs);
    if (unmount.ok()) return true;
    qWarning().noquote() << "statistics export: cannot unmount" << disk.mountPoint();
    return false;
}

bool ExportResultWorker::moveResults(const devices::UsbDiskFinder& disk, const QString& stamp) {
    // A disk pulled meanwhile leaves a plain folder on the panel's own disk behind.
    if (!disk.isMounted()) {
        qWarning().noquote() << "statistics export: the USB disk is gone from" << disk.mountPoint()
                             << "- the results stay in" << kDefaultArchiveDir;
        return false;
    }
    QDir mount(disk.mountPoint());
    if (!mount.exists(stamp) && !mount.mkdir(stamp)) {
        qWarning().noquote() << "statistics export: cannot make" << mount.filePath(stamp);
        return false;
    }
    const QDir archive{QString::fromLatin1(kDefaultArchiveDir)};
    QStringList arguments{QStringLiteral("--")};
    for (const QString& name :
         archive.entryList(QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot))
        arguments << archive.path() + QLatin1Char('/') + name;
    if (arguments.size() == 1) return true;
    arguments << mount.filePath(stamp) + QLatin1Char('/');
    return runAndPrintOutput(QStringLiteral("mv"), arguments, kExportMoveTimeLimitMs).ok();
}

ProcessEnd ExportResultWorker::exportToHistogram(const QString& program,
                                                 const QStringList& arguments, int timeoutMs) {
    return runProcess(
        program, arguments, timeoutMs,
        [this](const QByteArray& line) {
            if (!isDoneLine(line)) return false;
            emit exportProgress(total, ++done);
            return true;
        },
        &stop_);
}
