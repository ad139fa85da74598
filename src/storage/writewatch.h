#pragma once
// Watches the writes of the program's stores (operation records, counters, statistics, alarm
// pictures, the templates the automatic update takes, and the parameter and camera serial-number
// files a start could not make): the first failed write of a store is logged as an error with its
// file and cause and signalled once, so that the operator is told once; the first successful
// write after that is logged, and a later failure is signalled again. Every store failing at a
// time is kept, so that one message can name them all. A store that fails again soon after it was
// written again fails in the same round: whoever has told the operator of it need not tell it
// again.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "writecause.h"

namespace storage {

class WriteWatch : public QObject {
    Q_OBJECT
public:
    enum Store {
        Records,
        Counters,
        Statistics,
        Pictures,
        Parameters,
        CameraSerials,
        Templates,
        StoreCount
    };

    struct Failure {
        Store store = Records;
        QString file;  // as the operator knows it: relative to the working folder
        WriteCause cause = WriteCause::Unknown;
        // Counts the store's failures that came after it had been written well for a while.
        int round = 0;
        // Every file one write of the store failed on (the automatic template update writes
        // one per camera), each with its cause; the first is `file`.
        QStringList files;
        QList<WriteCause> causes;
    };
    // Milliseconds of a clock that never goes back.
    using Clock = std::function<qint64()>;

    explicit WriteWatch(QObject* parent = nullptr);
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // The outcome of one write to a store; path names the file (or folder) written.
    void report(Store store, bool written, const QString& path);
    // The outcome of one write to several files of a store: when it failed, every file
    // refused (at least one).
    void report(Store store, bool written, const QStringList& paths);
    bool isFailing(Store store) const { return failing_[store]; }
    // The stores failing now, in store order.
    QList<Failure> failures() const;
    int round(Store store) const { return failures_[store].round; }

signals:
    void sigWriteFailed(int store, QString what);
    void sigWriteResumed(int store);

private:
    bool failing_[StoreCount] = {};
    Failure failures_[StoreCount];
    qint64 writtenSince_[StoreCount] = {};  // by clock_, since the store is no longer failing
    Clock clock_;
};

}  // namespace storage
