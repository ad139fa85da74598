#pragma once
// Every limit of the Modbus-TCP server in one place.

#include <QtGlobal>

namespace modbus {

// Port the server listens on at the panel (tests get an ephemeral port through the seam).
constexpr quint16 kPanelPort = 502;

// --- Wire format (Modbus application protocol over TCP) ---
// Header up to and including the unit id: transaction id, protocol id, length, unit id.
constexpr int kHeaderSize = 7;
// Bytes in front of the length field's payload (transaction id, protocol id, length).
constexpr int kLengthFieldEnd = 6;
// The length field counts the unit id and the PDU: at least unit id and function code, at
// most unit id and the largest PDU (253 bytes), i.e. a 260-byte frame.
constexpr int kMinLengthField = 2;
constexpr int kMaxLengthField = 254;
// Largest quantity of registers one read (function 3) or one write (function 16) may carry.
constexpr int kMaxReadQuantity = 125;
constexpr int kMaxWriteQuantity = 123;
// Register addresses are 16 bits wide.
constexpr int kAddressSpace = 65536;

// --- Register map ---
// Holding registers 0 .. kServedRegisterCount - 1 carry values; the others read as 0.
constexpr int kServedRegisterCount = 4;
// Writing kResetValue into this register resets the counters.
constexpr int kResetRegister = 4;
constexpr quint16 kResetValue = 1;

// --- Connections ---
// Masters served at once; further connections are closed at once.
constexpr int kMaxConnections = 16;
// A connection without any request for this long is closed.
constexpr int kIdleTimeoutMs = 60000;
// Replies a master has not read yet; above this the master is not reading and is dropped.
constexpr int kMaxPendingReplyBytes = 64 * 1024;

// --- Stopping ---
// While stopping, the waiting thread answers pending register calls at this interval.
constexpr int kStopWaitSliceMs = 5;

}  // namespace modbus

namespace modbus {

// The connection limits one server runs with (the constants above unless a test narrows them).
struct ConnectionLimits {
    int maxConnections = kMaxConnections;
    int idleTimeoutMs = kIdleTimeoutMs;
};

}  // namespace modbus
