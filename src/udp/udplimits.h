#pragma once
// Every size, count, port and time of the UDP endpoints, in one place.

#include <QtGlobal>

namespace udplimits {

// --- receiving ---
// One datagram is read into a buffer of this size; longer ones are cut to it. The text
// protocol never comes near it and the discovery frames are a few hundred bytes.
constexpr int kRecvBufferBytes = 2048;
// The listening loop looks at its sockets again at least this often, which bounds how long
// stopListen waits and how late a newly added socket is first watched.
constexpr int kListenPollMs = 200;

// --- sending ---
// send_core never blocks its caller longer than this, whatever the caller asks for.
constexpr int kMaxSendWaitMs = 1000;
// Tries at finding a free random local port for a send socket before giving up on sending.
constexpr int kBindAttempts = 1000;
// Random local ports start here, above the fixed ports of the device protocols.
constexpr int kRandPortLow = 10001;
// The text protocol's own ports (app, IO box, cameras) and their spares; a random send port
// must never take one of them.
constexpr int kReservedPortFirst = 10410;
constexpr int kReservedPortLast = 10419;

// --- interfaces ---
// The kernel's interface-name field holds 15 characters and the terminating zero.
constexpr int kMaxIfNameChars = 15;
// Caller-owned text buffers of GetIfAddr: dotted IPv4 with its zero, MAC text with its zero.
constexpr int kAddrTextBytes = 16;
constexpr int kMacTextBytes = 18;
// Longest line read from the kernel's route table; its lines are about 130 characters.
constexpr int kRouteLineBytes = 256;

// --- the device text protocol ---
constexpr quint16 kAppPort = 10410;
constexpr quint16 kIoBoxPort = 10411;
constexpr quint16 kCameraPort = 10412;
// Every message of the protocol is answered or not within this wait; the protocol's answers
// arrive on the listening ports, not on the send socket.
constexpr int kDtpSendWaitMs = 100;
// Width of an IO value on the wire: the box has 8 inputs and 8 outputs.
constexpr int kIoChannels = 8;
// An IO value is one 32-bit word; characters of an IO text past this position carry nothing.
constexpr int kIoWordBits = 32;

// --- the device roles of the text protocol ---
// The IO box tells its main camera it is there this often.
constexpr int kHeartbeatPeriodMs = 300;
// While its main camera is silent, the IO box asks every local network for it this often.
constexpr int kRepairPeriodMs = 1000;
// The main camera counts as alive while its last answer is younger than this: three heartbeat
// periods, so one lost datagram does not start a repair.
constexpr qint64 kMainCameraAliveMs = 900;
// A camera counts its IO box as connected while the box was heard within this time.
constexpr qint64 kIoBoxHeardMs = 5000;
// Delay of the single-shot timers that carry an IO change to the roles' own threads.
constexpr int kIoFlushDelayMs = 1;
// The camera logs one heartbeat in this many and one repair request in this many; the rest
// would fill the log three times a second.
constexpr int kHeartbeatLogEvery = 200;
constexpr int kRepairLogEvery = 100;

// --- camera discovery (GVCP framing) ---
// Commands go to the GVCP port; every answer is a broadcast to the client's reply port.
constexpr quint16 kGvcpPort = 3956;
constexpr quint16 kGvcpReplyPort = 10400;
// How long each client operation serves the answers after its sends: discovery waits for
// every camera's DISCOVERY_ACK, a force-IP for the cameras to re-address themselves, the
// clock and restart commands have no answer to wait for beyond letting the sends go out.
constexpr int kGvcpDiscoverServeMs = 500;
constexpr int kGvcpForceIpServeMs = 1000;
constexpr int kGvcpClockServeMs = 200;
constexpr int kGvcpRebootServeMs = 200;
// The identifier field holds 31 bytes of text and its terminating zero; a longer identifier
// cannot be named in a FORCEIP_CMD.
constexpr int kGvcpIdFieldBytes = 32;
constexpr int kGvcpMaxIdBytes = kGvcpIdFieldBytes - 1;
// Texts of the DISCOVERY_ACK (manufacturer, model, version, device name) share one width.
constexpr int kGvcpTextFieldBytes = 32;
// A moved camera gets a last address part in 1..253 (254 and 255 stay free for the router
// and the broadcast of a /24), tried from just above the proposed one, at most this often.
constexpr int kGvcpLastParts = 253;
constexpr int kGvcpCandidates = 250;
// A network or clock command that hangs must not hold the responder's thread for ever.
constexpr int kGvcpCommandMs = 10000;
// Latest clock a set-clock request may carry: 9999-12-30 00:00 UTC, so that its local time
// in every zone still has the four-digit year the date command is given.
constexpr quint64 kGvcpMaxClockMs = 253402128000000ULL;

}  // namespace udplimits
