#pragma once
// What the Modbus registers show and what a master may reset, on the thread that owns the data
// (the GUI thread). That thread publishes the register values; the server's thread reads the
// published copy, so a busy GUI thread never holds up a read. Only a counter reset runs on the
// data's thread, through a blocking queued call.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>

#include "modbusprotocol.h"

// Interface the register server reads and resets through. Lives in the GUI thread.
class ModbusDataSource : public QObject {
    Q_OBJECT
public:
    // Publishes from then on each time the thread's event loop has handled its events.
    explicit ModbusDataSource(QObject* parent = nullptr);

    // Computes the register values and publishes them. On the source's thread.
    void publish();
    // The values last published (all 0 before the first). Any thread.
    modbus::HoldingRegisters published() const;

    // Values of the served holding registers at this moment.
    virtual modbus::HoldingRegisters holdingRegisters() = 0;
    // Zeroes the counters a master may reset and saves them.
    virtual modbus::ResetOutcome resetCounters() = 0;

private:
    // Four 16-bit registers in one word, so a reader never sees half of an update.
    std::atomic<quint64> published_{0};
    QTimer refresh_;
};

// The main window's state that the registers show.
struct ModbusMachineState {
    int detectState = 3;    // 1 detection running, 3 stopped
    int resultState = 0;    // 0 waiting, 1 last cycle OK, 2 NG with the alarm shown, 3 area setting
    int currentDetect = 0;  // detection step being run or last run (0..7)
};

namespace modbus {
constexpr int kDetectStateStopped = 3;
constexpr int kResultStateAlarm = 2;

// Register values for the given state and the process counters (gAllCycleNum, gSyncNGCycleNum):
// 0 run state, 1 detection status, 2 largest per-camera count of judged cycles, 3 cycles in which
// a camera failed.
HoldingRegisters holdingRegistersFor(const ModbusMachineState& state);
}  // namespace modbus

// Data source over the process counters. The main window hands it a reader for its run and
// result state and the function that saves the counters.
class GlobalsModbusDataSource : public ModbusDataSource {
    Q_OBJECT
public:
    using StateReader = std::function<ModbusMachineState()>;
    using CounterSaver = std::function<void()>;
    using CountsRead = std::function<bool()>;

    explicit GlobalsModbusDataSource(QObject* parent = nullptr) : ModbusDataSource(parent) {}

    // Without a reader the registers show a stopped machine without alarm.
    void setStateReader(StateReader reader) { stateReader_ = std::move(reader); }
    // Saves the counters after a reset (the main window's CountWrite).
    void setCounterSaver(CounterSaver saver) { counterSaver_ = std::move(saver); }
    // Whether the counters are the stored ones yet (the main window reads them late in its
    // start). Until then a reset is refused as busy: the zeros it saved would replace every
    // stored count. Without it the counters count as read.
    void setCountsRead(CountsRead countsRead) { countsRead_ = std::move(countsRead); }

    modbus::HoldingRegisters holdingRegisters() override;
    // Zeroes each camera's cycle counters (gAllCycleNum, gFailCycleNum) and saves the counters.
    // The step counters and the cycles in which any camera failed stay as they are. Busy, and
    // nothing changed, while the counters are not read.
    modbus::ResetOutcome resetCounters() override;

private:
    StateReader stateReader_;
    CounterSaver counterSaver_;
    CountsRead countsRead_;
};
