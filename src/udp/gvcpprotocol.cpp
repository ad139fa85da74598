#include "gvcpprotocol.h"

#include <arpa/inet.h>

#include <QDateTime>
#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "netif.h"
#include "systemactions.h"
#include "udpcore.h"

namespace {

// What this camera side reports about itself; the client only logs the model.
constexpr char kManufacturer[] = "MouldMon";
constexpr char kModel[] = "MouldMon smart camera";
constexpr char kVersion[] = "V2.8.6 180210 143913";
constexpr char kDeviceName[] = "mouldmon-camera";

QByteArray header(quint8 first, quint8 second, quint16 code, int length) {
    QByteArray bytes(gvcp::kHeaderBytes, '\0');
    auto* out = reinterpret_cast<uchar*>(bytes.data());
    out[0] = first;
    out[1] = second;
    qToBigEndian<quint16>(code, out + 2);
    qToBigEndian<quint16>(static_cast<quint16>(length), out + 4);
    qToBigEndian<quint16>(1, out + 6);
    return bytes;
}

template <class Record>
QByteArray bytesOf(const Record& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

template <class Record>
QByteArray command(quint16 code, const Record& payload) {
    return header(gvcp::kKeyCode, gvcp::kCommandFlags, code, sizeof payload) + bytesOf(payload);
}

template <class Record>
QByteArray acknowledge(quint16 code, const Record& payload) {
    return header(0, 0, code, sizeof payload) + bytesOf(payload);
}

// Copies the payload into a cleared record, up to the length field, the bytes received and
// the record's size, whichever ends first; the number of bytes copied.
template <class Record>
size_t copyPayload(const char* data, qsizetype size, const gvcp::Header& header, Record* record) {
    std::memset(record, 0, sizeof *record);
    const size_t present = static_cast<size_t>(size - gvcp::kHeaderBytes);
    const size_t count = std::min({size_t(header.length), present, sizeof *record});
    std::memcpy(record, data + gvcp::kHeaderBytes, count);
    return count;
}

// Whether `copied` payload bytes end inside the record's identifier before its zero.
template <class Record>
bool identifierCut(const Record& record, size_t copied) {
    const size_t from = offsetof(Record, id);
    if (copied <= from || copied >= from + sizeof record.id) return false;
    return std::memchr(record.id, 0, copied - from) == nullptr;
}

void putText(char* field, int size, const char* text) {
    qstrncpy(field, text ? text : "", static_cast<uint>(size));
}

quint32 address(const char* dotted) {
    return inet_addr(dotted ? dotted : "");
}

template <class Record>
void describeInterface(Record* record, const char* id, const char* peer, const char* ip,
                       const char* mask, const char* gateway, const char* mac) {
    string2ethaddr(QString::fromLatin1(mac ? mac : ""), record->mac);
    record->host_ip = address(peer);
    record->ip = address(ip);
    record->mask = address(mask);
    record->gateway = address(gateway);
    putText(record->id, sizeof record->id, id);
}

gvcp_writereg_payload writeReg(quint32 subcommand, quint64 value) {
    gvcp_writereg_payload payload{};
    qToLittleEndian(subcommand, payload.subcommand);
    qToLittleEndian(value, payload.value);
    return payload;
}

quint64 nowMs() {
    return static_cast<quint64>(sys::actions().nowMSecsSinceEpoch());
}

}  // namespace

namespace gvcp {

bool readHeader(const char* data, qsizetype size, Header* out) {
    if (!data || size < kHeaderBytes) return false;
    const auto* bytes = reinterpret_cast<const uchar*>(data);
    out->first = bytes[0];
    out->code = qFromBigEndian<quint16>(bytes + 2);
    out->length = qFromBigEndian<quint16>(bytes + 4);
    return true;
}

Ack readAck(const char* data, qsizetype size) {
    Ack ack;
    Header header;
    if (!readHeader(data, size, &header)) return ack;
    if (header.code == kDiscoveryAck) {
        ack.kind = Ack::Discovery;
        if (identifierCut(ack.discovery, copyPayload(data, size, header, &ack.discovery))) {
            ack.kind = Ack::Cut;
            ack.discovery = {};
        }
    } else if (header.code == kForceIpAck) {
        ack.kind = Ack::ForceIp;
        if (identifierCut(ack.forceIp, copyPayload(data, size, header, &ack.forceIp))) {
            ack.kind = Ack::Cut;
            ack.forceIp = {};
        }
    } else {
        ack.kind = Ack::Other;
    }
    return ack;
}

Command readCommand(const char* data, qsizetype size) {
    Command command;
    Header header;
    if (!readHeader(data, size, &header)) return command;
    command.code = header.code;
    if (header.first != kKeyCode) {
        command.kind = Command::NotGvcp;
        return command;
    }
    switch (header.code) {
        case kDiscoveryCmd:
            command.kind = Command::Discovery;
            break;
        case kForceIpCmd:
            command.kind =
                copyPayload(data, size, header, &command.forceIp) == sizeof command.forceIp
                    ? Command::ForceIp
                    : Command::Incomplete;
            break;
        case kWriteRegCmd: {
            gvcp_writereg_payload payload;
            if (copyPayload(data, size, header, &payload) < sizeof payload) {
                command.kind = Command::Incomplete;
                break;
            }
            command.kind = Command::WriteReg;
            command.subcommand = qFromLittleEndian<quint32>(payload.subcommand);
            command.value = qFromLittleEndian<quint64>(payload.value);
            break;
        }
        default:
            command.kind = Command::Other;
    }
    return command;
}

QString fieldText(const char* field, int size) {
    return QString::fromUtf8(field, static_cast<int>(qstrnlen(field, static_cast<uint>(size))));
}

QString fieldLogText(const char* field, int size) {
    return udpLogText(QByteArray(field, static_cast<int>(qstrnlen(field, uint(size)))));
}

bool isNetmask(quint32 mask) {
    const quint32 host = ntohl(mask);
    // Contiguous ones from the top: the inverted mask plus one is a power of two.
    return host != 0 && ((~host + 1) & ~host) == 0;
}

bool isHostAddress(quint32 ip, quint32 mask) {
    if (!isNetmask(mask)) return false;
    const quint32 host = ntohl(ip);
    const quint32 bits = ntohl(mask);
    const quint32 first = host >> 24;
    if (first == 0 || first == 127 || first >= 224) return false;
    // On /31 and /32 every address is a host; elsewhere not the network or its broadcast.
    if ((~bits) <= 1) return true;
    return (host & ~bits) != 0 && (host | bits) != 0xffffffffu;
}

QString forceIpRefusal(quint32 ip, quint32 mask, quint32 gateway) {
    if (!isNetmask(mask))
        return QStringLiteral("the netmask %1 is not contiguous").arg(nint2string(mask));
    if (!isHostAddress(ip, mask))
        return QStringLiteral("%1 is no host address under %2")
            .arg(nint2string(ip), nint2string(mask));
    if (!isHostAddress(gateway, mask) || (gateway & mask) != (ip & mask))
        return QStringLiteral("the gateway %1 is no host on the network of %2/%3")
            .arg(nint2string(gateway), nint2string(ip), nint2string(mask));
    return QString();
}

bool isSettableClock(quint64 msSinceEpoch) {
    return msSinceEpoch <= udplimits::kGvcpMaxClockMs;
}

QString clockText(quint64 msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msSinceEpoch), Qt::UTC)
        .toLocalTime()
        .toString(QStringLiteral("yyyyMMdd hh:mm:ss"));
}

}  // namespace gvcp

QByteArray gvcp_cmd_discover() {
    return header(gvcp::kKeyCode, gvcp::kCommandFlags, gvcp::kDiscoveryCmd, 0);
}

QByteArray gvcp_cmd_uptime() {
    return command(gvcp::kWriteRegCmd, writeReg(gvcp::kSetClock, nowMs()));
}

QByteArray gvcp_cmd_rebootdaemon() {
    return command(gvcp::kWriteRegCmd, writeReg(gvcp::kRestartService, 0));
}

QByteArray gvcp_cmd_forceip(const char* ip, const char* mask, const char* gateway, const char* id) {
    gvcp_forceip_req payload{};
    payload.ip = address(ip);
    payload.mask = address(mask);
    payload.gateway = address(gateway);
    putText(payload.id, sizeof payload.id, id);
    return command(gvcp::kForceIpCmd, payload);
}

QByteArray gvcp_ack_discover(const char* id, const char* peer, const char* ip, const char* mask,
                             const char* gateway, const char* mac) {
    gvcp_discover_ack_payload payload{};
    describeInterface(&payload, id, peer, ip, mask, gateway, mac);
    putText(payload.manufacturer, sizeof payload.manufacturer, kManufacturer);
    putText(payload.model, sizeof payload.model, kModel);
    putText(payload.version, sizeof payload.version, kVersion);
    putText(payload.device_name, sizeof payload.device_name, kDeviceName);
    return acknowledge(gvcp::kDiscoveryAck, payload);
}

QByteArray gvcp_ack_forceip(const char* id, const char* peer, const char* ip, const char* mask,
                            const char* gateway, const char* mac) {
    gvcp_forceip_payload payload{};
    describeInterface(&payload, id, peer, ip, mask, gateway, mac);
    return acknowledge(gvcp::kForceIpAck, payload);
}

QByteArray gvcp_ack_updatetime() {
    return acknowledge(gvcp::kWriteRegAck, writeReg(gvcp::kSetClock, nowMs()));
}

QByteArray gvcp_ack_rebootdaemon() {
    return acknowledge(gvcp::kWriteRegAck, writeReg(gvcp::kRestartService, 0));
}
