#include "modbusdatasource.h"

#include <QtDebug>
#include <algorithm>

#include "globals.h"

namespace modbus {

HoldingRegisters holdingRegistersFor(const ModbusMachineState& state) {
    const int largestCount = *std::max_element(gAllNum, gAllNum + kMaxCameras);
    HoldingRegisters values{};
    values[0] = state.detectState == kDetectStateStopped ? 0 : 1;
    if (state.resultState == kResultStateAlarm) values[1] = state.currentDetect == 0 ? 1 : 2;
    // Counters are shown modulo 2^16, as a 16-bit register can hold them.
    values[2] = quint16(largestCount);
    values[3] = quint16(gSyncNGNum);
    return values;
}

}  // namespace modbus

modbus::HoldingRegisters GlobalsModbusDataSource::holdingRegisters() {
    return modbus::holdingRegistersFor(stateReader_ ? stateReader_() : ModbusMachineState());
}

bool GlobalsModbusDataSource::resetCounters() {
    std::fill(gAllNum, gAllNum + kMaxCameras, 0);
    std::fill(gFailNum, gFailNum + kMaxCameras, 0);
    if (counterSaver_) {
        counterSaver_();
    } else {
        qWarning() << "Modbus: counters reset but no saver is wired; they are not saved";
    }
    qInfo() << "Modbus: a master reset the counters";
    return true;
}
