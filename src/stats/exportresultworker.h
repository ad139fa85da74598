#pragma once
// The statistics export on its own thread: hands the day files of a range to the outside
// exporter, moves the exporter's results onto the USB disk into a folder named after the
// export's start, flushes and unmounts the disk, and reports its progress and its end.

#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <atomic>

#include "devicehelpers.h"
#include "exportprocess.h"

class ExportResultWorker : public QObject {
    Q_OBJECT
public:
    // How an export ended.
    enum Outcome {
        Exported,         // the exporter finished every file and the results are on the disk
        Failed,           // the log says why
        NothingToExport,  // no day of the range has statistics; nothing was put on the disk
    };

    explicit ExportResultWorker(QObject* parent = nullptr);

    // The disk the results go to (tests: a folder and a mount table of their own).
    void setDisk(const devices::UsbDiskFinder& disk);
    // How long the exporter may go without finishing a file before it is killed.
    void setExporterTimeLimitMs(int ms);
    // Any thread: ends a running export at once (the exporter is killed, nothing is moved).
    void requestStop() { stop_ = true; }

    // Runs the exporter on the files and counts its progress lines into done.
    stats::ProcessEnd exportToHistogram(const QString& program, const QStringList& arguments,
                                        int timeoutMs);

    int total = 0;  // files of the running export
    int done = 0;   // files the exporter reported finished

signals:
    void exportProgress(int total, int done);
    // outcome: an Outcome. The disk is unmounted in every case.
    void finish(int outcome);

public slots:
    // The whole export of the days dates.first .. dates.second ("yyyy-MM-dd").
    void work(QPair<QString, QString> dates);

private:
    // Flushes and unmounts the disk; false when it stays mounted.
    bool releaseDisk(const devices::UsbDiskFinder& disk);
    // Moves every folder the exporter left beside the day files onto the disk.

    bool moveResults(const devices::UsbDiskFinder& disk, const QString& stamp);

    mutable QMutex mutex_;  // guards the settings below
    devices::UsbDiskFinder disk_;
    int exporterTimeLimitMs_;
    std::atomic<bool> stop_{false};
};
