#pragma once
// Camera discovery packets in GVCP framing, as pure functions over bytes: the 8-byte command
// and acknowledge headers (big-endian), the payload records, their builders and readers, and
// the checks a forced address or clock must pass. Nothing here touches a socket; every reader
// takes the datagram's real length and reads nothing beyond it.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstddef>

#include "udplimits.h"

namespace gvcp {

enum Code : quint16 {
    kDiscoveryCmd = 0x0002,
    kDiscoveryAck = 0x0003,
    kForceIpCmd = 0x0004,
    kForceIpAck = 0x0005,
    kWriteRegCmd = 0x0082,
    kWriteRegAck = 0x0083,
};

// Sub-commands carried by WRITEREG_CMD.
enum SubCommand : quint32 { kSetClock = 1, kRestartService = 2 };

constexpr quint8 kKeyCode = 0x42;
constexpr quint8 kCommandFlags = 0x11;
constexpr int kHeaderBytes = 8;

}  // namespace gvcp

// Addresses are 4 bytes in network order; texts are zero-terminated within their field.
struct gvcp_discover_ack_payload {
    quint8 mac[6];
    quint8 spare0[2];
    quint32 host_ip;
    quint32 ip;
    quint32 mask;
    quint32 gateway;
    char manufacturer[udplimits::kGvcpTextFieldBytes];
    char model[udplimits::kGvcpTextFieldBytes];
    char version[udplimits::kGvcpTextFieldBytes];
    char device_name[udplimits::kGvcpTextFieldBytes];
    quint8 spare1[16];
    char id[udplimits::kGvcpIdFieldBytes];
    quint8 spare2[16];
};
static_assert(sizeof(gvcp_discover_ack_payload) == 216, "DISCOVERY_ACK payload");
static_assert(offsetof(gvcp_discover_ack_payload, id) == 176 - gvcp::kHeaderBytes, "id offset");

// Payload of FORCEIP_CMD and FORCEIP_ACK: the first fields of a DISCOVERY_ACK, then the
// identifier, which runs to the end of the packet. A command leaves mac and host_ip zero.
struct gvcp_forceip_payload {
    quint8 mac[6];
    quint8 spare0[2];
    quint32 host_ip;
    quint32 ip;
    quint32 mask;
    quint32 gateway;
    char id[udplimits::kGvcpIdFieldBytes];
};
static_assert(sizeof(gvcp_forceip_payload) == 56, "FORCEIP payload");
using gvcp_forceip_req = gvcp_forceip_payload;

// Payload of WRITEREG_CMD and WRITEREG_ACK; both numbers are little-endian on the wire.
struct gvcp_writereg_payload {
    quint8 subcommand[4];
    quint8 spare0[4];
    quint8 value[8];
};
static_assert(sizeof(gvcp_writereg_payload) == 16, "WRITEREG payload");

namespace gvcp {

// The header fields both kinds share: a command's key byte is the first byte, an
// acknowledgement's status the first two.
struct Header {
    quint8 first = 0;
    quint16 code = 0;
    quint16 length = 0;
};

// False for fewer than 8 bytes.
bool readHeader(const char* data, qsizetype size, Header* header);

// A received acknowledgement as the client reads it. An acknowledgement whose payload ends
// inside the identifier, before the identifier's terminating zero, is Cut and its records stay
// cleared: "cam-12" cut to "cam-1" would describe another camera.
struct Ack {
    enum Kind { Short, Discovery, ForceIp, Cut, Other } kind = Short;
    gvcp_discover_ack_payload discovery{};
    gvcp_forceip_payload forceIp{};
};
// Payload bytes are copied into a cleared record up to the length field, the bytes received
// and the record's size, whichever ends first.
Ack readAck(const char* data, qsizetype size);

// A received command as the responder reads it. Commands that act on the host (FORCEIP_CMD,
// WRITEREG_CMD) are Incomplete unless both the length field and the bytes received cover
// their whole record: a cut identifier could name another camera and a cut time is no time.
struct Command {
    enum Kind { Short, NotGvcp, Discovery, ForceIp, WriteReg, Incomplete, Other } kind = Short;
    quint16 code = 0;
    gvcp_forceip_req forceIp{};
    quint32 subcommand = 0;
    quint64 value = 0;
};
Command readCommand(const char* data, qsizetype size);

// A text field up to its first zero, never past the field.
QString fieldText(const char* field, int size);
template <int N>
QString fieldText(const char (&field)[N]) {
    return fieldText(field, N);
}
// The same for a log line: control characters shown as \xNN.
QString fieldLogText(const char* field, int size);
template <int N>
QString fieldLogText(const char (&field)[N]) {
    return fieldLogText(field, N);
}

// Network-order address checks.
// Ones from the top, then zeros; at least one bit.
bool isNetmask(quint32 mask);
// An address a host can take on its network under mask: unicast (not 0/8, loopback,
// multicast, reserved or broadcast), and not the network's or its broadcast address.
bool isHostAddress(quint32 ip, quint32 mask);
// Why a forced address, mask and gateway cannot be taken; empty when they can.
QString forceIpRefusal(quint32 ip, quint32 mask, quint32 gateway);

// Whether a received clock can be set, and its local time as the date command takes it.
bool isSettableClock(quint64 msSinceEpoch);
QString clockText(quint64 msSinceEpoch);

}  // namespace gvcp

// Client commands; the clock is the system seam's at the moment of building.
QByteArray gvcp_cmd_discover();
QByteArray gvcp_cmd_uptime();
QByteArray gvcp_cmd_rebootdaemon();
// Dotted texts (text that is no address becomes 255.255.255.255) and the identifier, cut to
// its field's 31 bytes.
QByteArray gvcp_cmd_forceip(const char* ip, const char* mask, const char* gateway, const char* id);

// Responder acknowledgements. mac is colon-separated hexadecimal text.
QByteArray gvcp_ack_discover(const char* id, const char* peer, const char* ip, const char* mask,
                             const char* gateway, const char* mac);
QByteArray gvcp_ack_forceip(const char* id, const char* peer, const char* ip, const char* mask,
                            const char* gateway, const char* mac);
QByteArray gvcp_ack_updatetime();
QByteArray gvcp_ack_rebootdaemon();
