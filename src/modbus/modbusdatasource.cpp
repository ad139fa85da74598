#include "modbusdatasource.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QtDebug>
#include <algorithm>

#include "globals.h"

static_assert(modbus::kServedRegisterCount * 16 <= 64, "the registers must fit one atomic word");

ModbusDataSource::ModbusDataSource(QObject* parent) : QObject(parent) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &ModbusDataSource::publish);
    connect(&refresh_, &QTimer::timeout, this, &ModbusDataSource::publish);
    refresh_.start(modbus::kSnapshotRefreshMs);
}

void ModbusDataSource::publish() {
    const modbus::HoldingRegisters values = holdingRegisters();
    quint64 word = 0;
    for (int r = 0; r < modbus::kServedRegisterCount; ++r)
        word |= quint64(values[size_t(r)]) << (16 * r);
    published_.store(word, std::memory_order_release);
}

modbus::HoldingRegisters ModbusDataSource::published() const {
    const quint64 word = published_.load(std::memory_order_acquire);
    modbus::HoldingRegisters values{};
    for (int r = 0; r < modbus::kServedRegisterCount; ++r)
        values[size_t(r)] = quint16(word >> (16 * r));
    return values;
}

namespace modbus {

HoldingRegisters holdingRegistersFor(const ModbusMachineState& state) {
    // A master reads cycles: with the product step or several steps a cycle has more than one
    // step, and the step counters would count it more than once.
    const int largestCount = *std::max_element(gAllCycleNum, gAllCycleNum + kMaxCameras);
    HoldingRegisters values{};
    values[0] = state.detectState == kDetectStateStopped ? 0 : 1;
    if (state.resultState == kResultStateAlarm) values[1] = state.currentDetect == 0 ? 1 : 2;
    // Counters are shown modulo 2^16, as a 16-bit register can hold them.
    values[2] = quint16(largestCount);
    values[3] = quint16(gSyncNGCycleNum);
    return values;
}

}  // namespace modbus

modbus::HoldingRegisters GlobalsModbusDataSource::holdingRegisters() {
    return modbus::holdingRegistersFor(stateReader_ ? stateReader_() : ModbusMachineState());
}

modbus::ResetOutcome GlobalsModbusDataSource::resetCounters() {
    if (countsRead_ && !countsRead_()) {
        qWarning() << "Modbus: a master's counter reset is refused: the stored counters are not "
                      "read yet";
        return modbus::ResetOutcome::Busy;
    }
    // Each camera's cycles and failed cycles: register 2, the API's per-camera cycles and the
    // cameras' NG / Total start again at 0. The cycles in which any camera failed (register 3)
    // are kept, as line controllers have always read them across a reset.
    resetCycleCounters();
    if (counterSaver_) {
        counterSaver_();
    } else {
        qWarning() << "Modbus: counters reset but no saver is wired; they are not saved";
    }
    qInfo() << "Modbus: a master reset the counters";
    return modbus::ResetOutcome::Done;
}
