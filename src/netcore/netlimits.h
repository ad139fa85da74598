#pragma once
// Every size, count and time-out of the message core, in one place.
//
// The per-connection limits are gathered in NetLimits so that each reactor can be given its own
// (a service that receives pictures needs a larger body cap than one that exchanges JSON).

#include <QtGlobal>

namespace netlimits {

// --- what a peer may send on one connection ---
// Longest head (request or status line and header lines, up to the empty line).
constexpr int kMaxHeadBytes = 16 * 1024;
// Largest announced body of a JSON service.
constexpr qint64 kMaxBodyBytes = 8 * 1024 * 1024;
// Largest announced body where pictures travel (an 8-bit 4-channel 8192 x 8192 frame fits).
constexpr qint64 kMaxPictureBodyBytes = 260 * 1024 * 1024;
// A head must be complete this long after its first byte arrived.
constexpr int kHeadTimeoutMs = 10000;
// A body must be complete this long after its head.
constexpr int kBodyTimeoutMs = 60000;
// Connections one listening reactor keeps at once. A new client is still accepted at the cap:
// the connection idle the longest between messages is closed to make room.
constexpr int kMaxSessions = 64;
// An accepted connection with nothing in progress for this long is closed: its client has gone
// or forgotten it, and the place is worth more to the next client. Outgoing connections are
// kept; their owner decides when they end.
constexpr int kSessionIdleTimeoutMs = 120000;
// While more than this is waiting to be written to a peer, its connection is not read (the
// peer is not reading its replies; TCP flow control then slows it down).
constexpr qint64 kMaxPendingWriteBytes = 64 * 1024 * 1024;
// Bytes the socket layer buffers ahead of the session.
constexpr qint64 kSocketReadBufferBytes = 1024 * 1024;
// Messages a session holds back while a paced transfer occupies its socket.
constexpr int kMaxQueuedSends = 1024;
// Pause of the session's queued mode before each message it takes (the mode is off unless a
// caller starts it).
constexpr int kQueuedModePauseMs = 1;

// --- the reactor ---
constexpr int kConnectTimeoutMs = 500;
// Longest wait of post_sync.
constexpr int kMaxSyncTimeoutMs = 60000;
// Task entries older than this are forgotten by the task sweep.
constexpr qint64 kTaskLifetimeMs = 60000;
constexpr int kTaskSweepPeriodMs = 60001;
constexpr int kSessionSweepPeriodMs = 10001;
// Entries each task table holds at most (expired entries are swept first when it is full).
constexpr int kMaxTaskEntries = 8192;

// --- writing ---
constexpr qint64 kPacedChunkBytes = 65536;
constexpr int kFileTransferTimeoutMs = 30000;
constexpr int kFixLandTimeoutMs = 10000;
// Files are announced with a signed 32-bit length.
constexpr qint64 kMaxFileBodyBytes = 0x7fffffff;
// One "ImgSend_Report" log line per this many multipart sends.
constexpr int kImageSendReportEvery = 100;

}  // namespace netlimits

// Limits of the connections of one reactor.
struct NetLimits {
    int maxHeadBytes = netlimits::kMaxHeadBytes;
    qint64 maxBodyBytes = netlimits::kMaxBodyBytes;
    int headTimeoutMs = netlimits::kHeadTimeoutMs;
    int bodyTimeoutMs = netlimits::kBodyTimeoutMs;
    int maxSessions = netlimits::kMaxSessions;
    int idleTimeoutMs = netlimits::kSessionIdleTimeoutMs;
    qint64 maxPendingWriteBytes = netlimits::kMaxPendingWriteBytes;

    // For reactors that receive pictures.
    static NetLimits forPictures() {
        NetLimits limits;
        limits.maxBodyBytes = netlimits::kMaxPictureBodyBytes;
        return limits;
    }
};
