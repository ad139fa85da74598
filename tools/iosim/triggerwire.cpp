#include "triggerwire.h"

#include <QFile>
#include <QSaveFile>

namespace iosim {

namespace {

bool readCount(const QString& file, quint64* count) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return false;
    bool ok = false;
    const quint64 value = in.read(32).trimmed().toULongLong(&ok);
    if (ok) *count = value;
    return ok;
}

}  // namespace

TriggerWire::TriggerWire(const QString& file, int bit) : file_(file), bit_(bit) {}

bool TriggerWire::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    quint64 left = 0;
    if (readCount(file_, &left)) edges_ = left;
    return write(edges_);
}

bool TriggerWire::inputsChanged(quint32 before, quint32 after) {
    const quint32 mask = 1u << bit_;
    if ((before & mask) || !(after & mask)) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    return write(++edges_);
}

quint64 TriggerWire::edges() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return edges_;
}

bool TriggerWire::write(quint64 count) {
    QSaveFile out(file_);
    if (!out.open(QIODevice::WriteOnly) || out.write(QByteArray::number(count) + '\n') < 0 ||
        !out.commit()) {
        error_ = QStringLiteral("trigger file %1: %2").arg(file_, out.errorString());
        return false;
    }
    return true;
}

}  // namespace iosim
