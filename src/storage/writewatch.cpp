#include "writewatch.h"

#include <QDebug>

namespace storage {

namespace {
const char* storeName(WriteWatch::Store store) {
    switch (store) {
        case WriteWatch::Records:
            return "operation records";
        case WriteWatch::Counters:
            return "production counters";
        default:
            return "statistics";
    }
}
}  // namespace

void WriteWatch::report(Store store, bool written, const QString& what) {
    if (store < 0 || store >= StoreCount || written != failing_[store]) return;
    failing_[store] = !written;
    if (written) {
        qInfo().noquote() << storeName(store) << "are written again:" << what;
        emit sigWriteResumed(store);
        return;
    }
    qCritical().noquote() << storeName(store) << "cannot be written:" << what
                          << "- each later change tries again";
    emit sigWriteFailed(store, what);
}

}  // namespace storage
