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
// Masters served at once. At the cap a new master is still accepted: the connection idle the
// longest is closed to make room, so a master that went away silently never locks others out.
constexpr int kMaxConnections = 16;
// The server closes no connection for being quiet (a master may poll once an hour); TCP
// keep-alive finds masters that are gone: first probe after this many idle seconds, then one
// every kKeepAliveIntervalS, given up after kKeepAliveProbes unanswered ones (about 2 minutes).
constexpr int kKeepAliveIdleS = 60;
constexpr int kKeepAliveIntervalS = 10;
constexpr int kKeepAliveProbes = 6;
// Replies the kernel would not take yet. Above this the master is not reading them, and its
// requests are left unread until it does (TCP flow control then slows it down).
constexpr int kMaxPendingReplyBytes = 64 * 1024;
// Requests the socket layer buffers ahead of a connection that is not being read.
constexpr int kMaxBufferedRequestBytes = 64 * 1024;

// --- Register values ---
// The GUI thread publishes the register values whenever its event loop has handled a batch of
// events (every change of them happens in one); this refresh is a backstop for a loop that is
// never idle.
constexpr int kSnapshotRefreshMs = 100;

// --- Stopping ---
// While stopping, the waiting thread answers a pending counter reset at this interval.
constexpr int kStopWaitSliceMs = 5;

}  // namespace modbus

namespace modbus {

// The connection limits one server runs with (the constants above unless a test narrows them).
struct ConnectionLimits {
    int maxConnections = kMaxConnections;
};

}  // namespace modbus
