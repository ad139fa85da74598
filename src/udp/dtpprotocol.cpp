#include "dtpprotocol.h"

#include <arpa/inet.h>

#include <QRegularExpression>
#include <cstring>

#include "netif.h"
#include "udplimits.h"

using namespace udplimits;

namespace dtp {

const QString kRoleApp = QStringLiteral("A");
const QString kRoleIoBox = QStringLiteral("S");
const QString kRoleCamera = QStringLiteral("C");
const QString kFormatError = QStringLiteral("format_error");

namespace {

struct AcceptRow {
    Receiver receiver;
    int code;
    const QString& sender;
};

const AcceptRow kAcceptTable[] = {
    {Receiver::IoBox, kDiscoverIoBox, kRoleApp},
    {Receiver::IoBox, kModifyIoBoxCells, kRoleApp},
    {Receiver::IoBox, kHeartbeat, kRoleCamera},
    {Receiver::IoBox, kNeedRepair, kRoleCamera},
    {Receiver::IoBox, kOutputs, kRoleCamera},
    {Receiver::IoBox, kGetAllState, kRoleApp},
    {Receiver::Camera, kHeartbeat, kRoleIoBox},
    {Receiver::Camera, kNeedRepair, kRoleIoBox},
    {Receiver::Camera, kInputs, kRoleIoBox},
    {Receiver::Camera, kDiscoverCameras, kRoleApp},
    // Another camera's discover reply; only the main camera acts on it.
    {Receiver::Camera, kDiscoverCameras, kRoleCamera},
    {Receiver::Camera, kModifyCameraCells, kRoleApp},
};

// Answers to the camera's heartbeat, repair and input messages go back to the IO box; the
// box answers an output order on the camera port; everything the app asks is answered on the
// app's port, also when a camera asked for the IO state.
struct ReplyPortRow {
    int code;
    quint16 port;
};
const ReplyPortRow kReplyPorts[] = {
    {kDiscoverIoBox, kAppPort}, {kModifyIoBoxCells, kAppPort}, {kHeartbeat, kIoBoxPort},
    {kNeedRepair, kIoBoxPort},  {kInputs, kIoBoxPort},         {kOutputs, kCameraPort},
    {kGetAllState, kAppPort},   {kDiscoverCameras, kAppPort},  {kModifyCameraCells, kAppPort},
};

template <typename Record>
void fillDatagramFields(Record& record, const Datagram& datagram, const sockaddr_in& sender) {
    record.ip = nint2string(sender.sin_addr.s_addr);
    record.port = ntohs(sender.sin_port);
    record.role = datagram.parts.value(0);
    record.code = datagram.parts.value(1).toInt();
    if (datagram.parts.size() >= 3) record.uuid = datagram.parts[2];
}

}  // namespace

Datagram parse(const char* data, qsizetype length) {
    Datagram out;
    out.result = kFormatError;
    if (!data || length <= 0) return out;
    const void* zero = std::memchr(data, 0, static_cast<size_t>(length));
    const qsizetype used = zero ? static_cast<const char*>(zero) - data : length;
    QString text = QString::fromUtf8(data, static_cast<int>(used));
    text.remove(QLatin1Char(' '));
    if (text.size() < 2) return out;
    if (text.endsWith(QLatin1Char('\r'))) text.chop(1);
    if (text.size() < 5) return out;
    if (!text.startsWith(QLatin1Char('<')) || !text.endsWith(QLatin1Char('>'))) return out;
    text = text.mid(1, text.size() - 2);
    const QStringList parts = text.split(QLatin1Char(';'));
    if (parts.size() < 2) return out;
    out.result.clear();
    out.text = text;
    out.parts = parts;
    return out;
}

DTP_Procotol_IO makeIoRecord(const Datagram& datagram, const sockaddr_in& sender) {
    DTP_Procotol_IO record;
    fillDatagramFields(record, datagram, sender);
    const int count = datagram.parts.size();
    if (record.code == kModifyIoBoxCells && count == 5) {
        record.field1 = datagram.parts[3];
        record.field2 = datagram.parts[4];
    } else if (record.code == kNeedRepair && count == 4) {
        record.field1 = datagram.parts[2];
        record.field2 = datagram.parts[3];
    }
    return record;
}

DTP_Procotol_Struct makeCameraRecord(const Datagram& datagram, const sockaddr_in& sender) {
    DTP_Procotol_Struct record;
    fillDatagramFields(record, datagram, sender);
    return record;
}

bool accepts(Receiver receiver, int code, const QString& senderRole) {
    for (const AcceptRow& row : kAcceptTable)
        if (row.receiver == receiver && row.code == code && row.sender == senderRole) return true;
    return false;
}

quint16 replyPort(int code) {
    for (const ReplyPortRow& row : kReplyPorts)
        if (row.code == code) return row.port;
    return kAppPort;
}

QByteArray message(const QString& role, int code, const QStringList& fields) {
    QStringList parts{role, QString::number(code)};
    parts += fields;
    return '<' + parts.join(QLatin1Char(';')).toUtf8() + '>';
}

Udpsend_Cond sendCond(const QString& dest, quint16 port, const QString& localIp) {
    Udpsend_Cond cond;
    cond.remote_ip = dest.toStdString();
    cond.remote_port = port;
    cond.local_ip = localIp.toStdString();
    cond.wait_ms = kDtpSendWaitMs;
    cond.resend_ms = 0;
    return cond;
}

bool configPayload(const QString& text, const QString& role, int code, QString* config) {
    thread_local const QRegularExpression discoverReply(QStringLiteral("^C;21;\\S+?;(.*)"));
    thread_local const QRegularExpression modifyCells(QStringLiteral("^A;22;\\S+?;(.*)"));
    const QRegularExpression* pattern = nullptr;
    if (role == kRoleCamera && code == kDiscoverCameras) pattern = &discoverReply;
    if (role == kRoleApp && code == kModifyCameraCells) pattern = &modifyCells;
    if (!pattern) return false;
    const QRegularExpressionMatch match = pattern->match(text);
    if (!match.hasMatch()) return false;
    if (config) *config = match.captured(1);
    return true;
}

}  // namespace dtp

QString ChgIO_Int2ASCII(quint32 value) {
    QString text(kIoChannels, QLatin1Char('0'));
    for (int i = 0; i < kIoChannels; ++i)
        if (value & (1u << i)) text[i] = QLatin1Char('1');
    return text;
}

quint32 ChgIO_ASCII2Int(const QString& text) {
    quint32 value = 0;
    const int used = std::min<int>(text.size(), kIoWordBits);
    for (int i = 0; i < used; ++i) {
        const ushort c = text[i].unicode();
        if (c >= '0' && c <= '9') value += quint32(c - '0') << i;
    }
    return value;
}

bool isIoText(const QString& text) {
    if (text.size() != kIoChannels) return false;
    for (const QChar c : text)
        if (c != QLatin1Char('0') && c != QLatin1Char('1')) return false;
    return true;
}

bool chkThroughPermit(const DTP_Procotol_IO& msg, const QString& ownUuid,
                      const QString& mainCameraUuid) {
    return msg.uuid.isEmpty() || msg.uuid == ownUuid || msg.uuid == mainCameraUuid;
}

bool chkThroughPermit(const DTP_Procotol_Struct& msg, const QString& ownUuid,
                      const QStringList& ownAddresses, const DTP_Procotol_Struct& cellCfg) {
    if (ownAddresses.contains(msg.ip)) return false;
    const bool isMain =
        !cellCfg.ps_main_camera_uuid.isEmpty() && cellCfg.ps_main_camera_uuid == ownUuid;
    if (msg.uuid.isEmpty() || msg.uuid == ownUuid || msg.uuid == cellCfg.ps_main_camera_uuid)
        return true;
    if (isMain && msg.uuid == cellCfg.ps_io_uuid) return true;
    if (msg.code == dtp::kDiscoverCameras)
        for (const DTP_Procotol_Device_Cell& sub : cellCfg.ps_sub_camera)
            if (sub.uuid == msg.uuid) return true;
    return false;
}

namespace {

QString pairGroup(const QString& first, const QString& second) {
    return first.isEmpty() || second.isEmpty() ? QStringLiteral("()")
                                               : '(' + first + ';' + second + ')';
}

}  // namespace

QString MakeCamCfg2Str(const DTP_Procotol_Struct& cfg) {
    QStringList subs;
    for (const DTP_Procotol_Device_Cell& sub : cfg.ps_sub_camera)
        if (!sub.uuid.isEmpty() && !sub.address.isEmpty() &&
            sub.address != cfg.ps_main_camera_address)
            subs << sub.uuid << sub.address;
    return '(' + cfg.ps_machineid + ");" + pairGroup(cfg.ps_io_uuid, cfg.ps_io_address) + ';' +
           pairGroup(cfg.ps_main_camera_uuid, cfg.ps_main_camera_address) + ";(" +
           subs.join(QLatin1Char(';')) + ')';
}

bool ParseStr2CamCfg(const QString& text, DTP_Procotol_Struct& record) {
    // One compiled expression per thread: both device roles parse on their listening threads.
    thread_local const QRegularExpression pattern(
        QStringLiteral("\\((.*)\\);\\((.*)\\);\\((.*)\\);\\((.*)\\)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return false;
    DTP_Procotol_Struct fresh;
    fresh.ps_machineid = match.captured(1);
    const QStringList io = match.captured(2).split(QLatin1Char(';'));
    if (io.size() == 2) {
        fresh.ps_io_uuid = io[0];
        fresh.ps_io_address = io[1];
    }
    const QStringList main = match.captured(3).split(QLatin1Char(';'));
    if (main.size() == 2) {
        fresh.ps_main_camera_uuid = main[0];
        fresh.ps_main_camera_address = main[1];
    }
    const QStringList subs = match.captured(4).split(QLatin1Char(';'));
    if (subs.size() >= 2 && subs.size() % 2 == 0)
        for (int i = 0; i < subs.size(); i += 2)
            fresh.ps_sub_camera.append(DTP_Procotol_Device_Cell{subs[i], subs[i + 1], 0});
    record = fresh;
    return true;
}

void registerDtpMetaTypes() {
    qRegisterMetaType<DTP_Procotol_IO>("DTP_Procotol_IO");
    qRegisterMetaType<DTP_Procotol_Struct>("DTP_Procotol_Struct");
    qRegisterMetaType<DTP_WorkDevices>("DTP_WorkDevices");
}
