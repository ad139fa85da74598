#pragma once
// Watches the writes of the program's stores (operation records, counters, statistics): the
// first failed write of a store is logged as an error and signalled once, so that the
// operator is told once; the first successful write after that is logged, and a later
// failure is signalled again.

#include <QObject>
#include <QString>

namespace storage {

class WriteWatch : public QObject {
    Q_OBJECT
public:
    enum Store { Records, Counters, Statistics, StoreCount };

    explicit WriteWatch(QObject* parent = nullptr) : QObject(parent) {}

    // The outcome of one write to a store; what names the file.
    void report(Store store, bool written, const QString& what);
    bool isFailing(Store store) const { return failing_[store]; }

signals:
    void sigWriteFailed(int store, QString what);
    void sigWriteResumed(int store);

private:
    bool failing_[StoreCount] = {};
};

}  // namespace storage
