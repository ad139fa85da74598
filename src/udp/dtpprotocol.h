#pragma once
// The grammar of the device text protocol, as pure functions over received bytes and records:
// "<" role ";" code ";" uuid ";" field ... ">". Nothing here touches a socket; the device
// roles parse, check and build their datagrams with these.

#include <netinet/in.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "dtprecords.h"
#include "udpcore.h"

namespace dtp {

// Message codes.
enum Code {
    kDiscoverIoBox = 1,
    kModifyIoBoxCells = 2,
    kHeartbeat = 3,
    kNeedRepair = 4,
    kInputs = 5,
    kOutputs = 6,
    kGetAllState = 7,
    kDiscoverCameras = 21,
    kModifyCameraCells = 22,
};

// Role letters on the wire.
extern const QString kRoleApp;
extern const QString kRoleIoBox;
extern const QString kRoleCamera;

extern const QString kFormatError;

// A received datagram cut into its parts. result is empty when the datagram is well formed,
// else kFormatError; text is the datagram without "<" and ">" (what the content patterns of
// the camera role read).
struct Datagram {
    QString result;
    QString text;
    QStringList parts;
    bool ok() const { return result.isEmpty(); }
};

// Parses the bytes before the first zero (never more than length): blanks are dropped, one
// trailing carriage return is allowed.
Datagram parse(const char* data, qsizetype length);
inline Datagram parse(const QByteArray& datagram) {
    return parse(datagram.constData(), datagram.size());
}

DTP_Procotol_IO makeIoRecord(const Datagram& datagram, const sockaddr_in& sender);
DTP_Procotol_Struct makeCameraRecord(const Datagram& datagram, const sockaddr_in& sender);

enum class Receiver { IoBox, Camera };
// Whether the receiver takes a message of this code from a sender of this role at all; a
// message it does not take is ignored without an answer.
bool accepts(Receiver receiver, int code, const QString& senderRole);

// The port an answer to a message of this code goes to.
quint16 replyPort(int code);

// "<" role ";" code ";" fields joined by ";" ">".
QByteArray message(const QString& role, int code, const QStringList& fields = {});

// How every message of the protocol is sent: once, to dest:port, leaving by localIp (the
// local address on the destination's network), waiting the protocol's fixed time.
Udpsend_Cond sendCond(const QString& dest, quint16 port, const QString& localIp);

// The configuration string carried by another camera's discover reply (role "C", code 21) or
// by a modifycells request (role "A", code 22); false when the text does not have that form.
bool configPayload(const QString& text, const QString& role, int code, QString* config);

}  // namespace dtp

// IO values: bit i of the word is character i of an 8-character text of "0" and "1".
QString ChgIO_Int2ASCII(quint32 value);
// Each decimal digit d at position i adds d << i; other characters, and characters past the
// word's 32 bits, add nothing.
quint32 ChgIO_ASCII2Int(const QString& text);
// True for an IO text the box can drive: exactly one "0" or "1" per channel. Anything else
// would reach the output signal as bits no terminal has.
bool isIoText(const QString& text);

// The IO box takes a message with no uuid, its own uuid or its main camera's.
bool chkThroughPermit(const DTP_Procotol_IO& msg, const QString& ownUuid,
                      const QString& mainCameraUuid);
// A camera refuses what comes from its own addresses (its broadcasts coming back); otherwise
// it takes a message with no uuid, its own, its main camera's, its IO box's while it is the
// main camera, or (discover replies only) a configured sub camera's.
bool chkThroughPermit(const DTP_Procotol_Struct& msg, const QString& ownUuid,
                      const QStringList& ownAddresses, const DTP_Procotol_Struct& cellCfg);

// "(machine);(io uuid;io address);(main uuid;main address);(sub uuid;sub address;...)".
QString MakeCamCfg2Str(const DTP_Procotol_Struct& cfg);
// Reads a configuration string into a fresh record that replaces record (datagram fields
// back at their defaults); false, record unchanged, when the text has not four groups.
bool ParseStr2CamCfg(const QString& text, DTP_Procotol_Struct& record);

void registerDtpMetaTypes();
