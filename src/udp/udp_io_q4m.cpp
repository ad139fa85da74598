#include "udp_io_q4m.h"

#include <QDebug>

#include "dtpprotocol.h"

using namespace udplimits;

namespace {

const QString kConfigFile = QStringLiteral("./iocfg.json");
const QString kOwnUuidKey = QStringLiteral("pi_io_uuid");
const QString kMainUuidKey = QStringLiteral("pi_maincam_uuid");
const QString kMainIpKey = QStringLiteral("pi_maincam_ip");

const QString kUnknownError = QStringLiteral("unknow error");
const QString kDiscard = QStringLiteral("discard");

enum GroupState { kNoMainCamera = 0, kRepairing = 1, kMainCameraAnswering = 2 };

QTimer* makeTimer(QObject* parent, bool singleShot) {
    auto* timer = new QTimer(parent);
    timer->setSingleShot(singleShot);
    return timer;
}

}  // namespace

UDP_IO_Q4m::UDP_IO_Q4m(QObject* parent) : DtpDevice(parent) {
    LoadIOCfg();
    qDebug() << "device uuid:" << deviceId;
    listenOnLocalNets(kIoBoxPort);

    heartbeatTimer = makeTimer(this, false);
    repairTimer = makeTimer(this, false);
    inputTimer = makeTimer(this, true);
    outputTimer = makeTimer(this, true);
    connect(heartbeatTimer, &QTimer::timeout, this, &UDP_IO_Q4m::TimerHeartbeat);
    connect(repairTimer, &QTimer::timeout, this, &UDP_IO_Q4m::TimerRepair);
    connect(this, &UDP_IO_Q4m::sigFlushTimer, this, &UDP_IO_Q4m::SlotFlushTimer,
            Qt::QueuedConnection);
    connect(inputTimer, &QTimer::timeout, this, &UDP_IO_Q4m::TimerInput, Qt::QueuedConnection);
    connect(outputTimer, &QTimer::timeout, this, &UDP_IO_Q4m::TimerOutput, Qt::QueuedConnection);
    heartbeatTimer->start(kHeartbeatPeriodMs);
    repairTimer->start(kRepairPeriodMs);
}

UDP_IO_Q4m::~UDP_IO_Q4m() {
    stopListen();
}

void UDP_IO_Q4m::chgInput(int channel, bool on) {
    if (!dtp::setChannel(inputs, channel, on)) return;
    emit sigFlushTimer(inputTimer, kIoFlushDelayMs);
}

bool UDP_IO_Q4m::chkThroughPermit(const DTP_Procotol_IO& msg) const {
    return ::chkThroughPermit(msg, deviceId, mainCamera().field1);
}

QString UDP_IO_Q4m::AnalysisRecvMessage(sockaddr_in sender, const QByteArray& datagram) {
    const dtp::Datagram parsed = dtp::parse(datagram);
    if (!parsed.ok()) return parsed.result;
    const DTP_Procotol_IO msg = dtp::makeIoRecord(parsed, sender);
    if (!dtp::accepts(dtp::Receiver::IoBox, msg.code, msg.role)) return kUnknownError;
    const int parts = parsed.parts.size();
    // An address the box could not send to is no configuration; empty means none.
    if (msg.code == dtp::kModifyIoBoxCells &&
        (parts != 5 || !(msg.field2.isEmpty() || dtp::isIPv4(msg.field2))))
        return dtp::kFormatError;
    if (!chkThroughPermit(msg)) return kDiscard;
    if (msg.code == dtp::kOutputs && parts == 4 && !isIoText(parsed.parts[3])) {
        qWarning().noquote() << "IO box: output order" << parsed.parts[3] << "from" << msg.ip
                             << "refused: not one 0 or 1 per output";
        return dtp::kFormatError;
    }
    switch (msg.code) {
        case dtp::kDiscoverIoBox:
            do_req_a2s01_discover(msg);
            break;
        case dtp::kModifyIoBoxCells:
            do_req_a2s02_modifycells(msg);
            break;
        case dtp::kHeartbeat:
            do_rsp_s2c03_heartbeat(msg);
            break;
        case dtp::kNeedRepair:
            do_rsp_s2c04_needrepair(msg);
            break;
        case dtp::kOutputs:
            do_req_c2s06_output(msg);
            if (parts == 4) {
                outputs = ChgIO_ASCII2Int(parsed.parts[3]);
                emit sigFlushTimer(outputTimer, kIoFlushDelayMs);
            }
            break;
        case dtp::kGetAllState:
            do_req_a2s07_getallstate(msg);
            break;
    }
    return kUnknownError;
}

void UDP_IO_Q4m::LoadIOCfg() {
    QJsonObject json;
    if (!dtp::readJsonObject(kConfigFile, json)) {
        SaveIOCfg();
    } else {
        QMutexLocker lock(&cfgMutex);
        if (json.contains(kOwnUuidKey)) deviceId = json.value(kOwnUuidKey).toString();
        if (json.contains(kMainUuidKey)) mainCam.field1 = json.value(kMainUuidKey).toString();
        if (json.contains(kMainIpKey)) mainCam.field2 = json.value(kMainIpKey).toString();
    }
    groupState = mainCamera().field1.isEmpty() ? kNoMainCamera : kRepairing;
}

bool UDP_IO_Q4m::SaveIOCfg() {
    QMutexLocker lock(&cfgMutex);
    return writeConfig(mainCam);
}

bool UDP_IO_Q4m::writeConfig(const DTP_Procotol_IO& main) const {
    return dtp::writeJsonObject(
        kConfigFile,
        {{kOwnUuidKey, deviceId}, {kMainUuidKey, main.field1}, {kMainIpKey, main.field2}});
}

DTP_Procotol_IO UDP_IO_Q4m::mainCamera() const {
    QMutexLocker lock(&cfgMutex);
    return mainCam;
}

bool UDP_IO_Q4m::cameraAlive() const {
    const qint64 last = lastAckMs;
    return last != kNeverHeard && monotonicMs() - last < kMainCameraAliveMs;
}

void UDP_IO_Q4m::driveOutputs(quint32 value, const char* action) {
    qInfo().noquote() << "<< --Action" << action << ChgIO_Int2ASCII(value) << ">>";
    drivenOutputs = value;
    emit sigOutputChged(static_cast<int>(value));
}

void UDP_IO_Q4m::TimerHeartbeat() {
    const bool alive = cameraAlive();
    if (alive != wasAlive)
        qInfo().noquote() << "<< --Action"
                          << "↓↓↓ 连接状态发生改变" << (alive ? "true" : "false") << ">>";
    wasAlive = alive;
    if (mainCamera().field1.isEmpty()) {
        groupState = kNoMainCamera;
    } else if (alive) {
        groupState = kMainCameraAnswering;
        do_snd_s2c03_heartbeat();
    }
}

void UDP_IO_Q4m::TimerRepair() {
    if (mainCamera().field1.isEmpty()) {
        groupState = kNoMainCamera;
    } else if (!cameraAlive()) {
        groupState = kRepairing;
        do_snd_s2c04_needrepair();
        // Nothing stays switched on for a camera that no longer watches the machine.
        driveOutputs(0, "重组中... (中断所有输出)：");
    }
}

void UDP_IO_Q4m::TimerInput() {
    qInfo().noquote() << "<< --Action"
                      << "改变输入状态：" << ChgIO_Int2ASCII(inputs) << ">>";
    do_snd_s2c05_input();
}

void UDP_IO_Q4m::TimerOutput() {
    driveOutputs(outputs, "改变输出状态：");
}

void UDP_IO_Q4m::SlotFlushTimer(QTimer* timer, int ms) {
    timer->start(ms);
}

void UDP_IO_Q4m::do_req_a2s01_discover(DTP_Procotol_IO msg) {
    const DTP_Procotol_IO main = mainCamera();
    sendMessage(msg.ip, kAppPort,
                dtp::message(dtp::kRoleIoBox, dtp::kDiscoverIoBox,
                             {deviceId, QString::number(groupState), main.field1, main.field2}));
}

void UDP_IO_Q4m::do_req_a2s02_modifycells(DTP_Procotol_IO msg) {
    {
        QMutexLocker lock(&cfgMutex);
        DTP_Procotol_IO wanted = mainCam;
        wanted.field1 = msg.field1;
        wanted.field2 = msg.field2;
        // The app hears "OK" only for a configuration that will still hold after a restart.
        if (!writeConfig(wanted)) return;
        mainCam = wanted;
    }
    qInfo().noquote() << "<< --Action"
                      << "APP 修改IO单元组配置：" << msg.field1 << msg.field2 << ">>";
    sendMessage(msg.ip, kAppPort,
                dtp::message(dtp::kRoleIoBox, dtp::kModifyIoBoxCells, {deviceId, "OK"}));
}

void UDP_IO_Q4m::do_rsp_s2c03_heartbeat(DTP_Procotol_IO) {
    lastAckMs = monotonicMs();
}

void UDP_IO_Q4m::do_rsp_s2c04_needrepair(DTP_Procotol_IO msg) {
    // Only an address the box can send its heartbeats to moves the main camera.
    if (!msg.field1.isEmpty() && dtp::isIPv4(msg.field2)) {
        QMutexLocker lock(&cfgMutex);
        mainCam.field1 = msg.field1;
        mainCam.field2 = msg.field2;
        writeConfig(mainCam);
    }
    lastAckMs = monotonicMs();
}

void UDP_IO_Q4m::do_req_c2s06_output(DTP_Procotol_IO msg) {
    sendMessage(msg.ip, kCameraPort,
                dtp::message(dtp::kRoleIoBox, dtp::kOutputs, {deviceId, "OK"}));
}

void UDP_IO_Q4m::do_req_a2s07_getallstate(DTP_Procotol_IO msg) {
    sendMessage(msg.ip, kAppPort,
                dtp::message(dtp::kRoleIoBox, dtp::kGetAllState,
                             {deviceId, ChgIO_Int2ASCII(inputs), ChgIO_Int2ASCII(drivenOutputs)}));
}

void UDP_IO_Q4m::do_snd_s2c03_heartbeat() {
    const DTP_Procotol_IO main = mainCamera();
    if (main.field2.isEmpty()) return;
    sendMessage(main.field2, kCameraPort,
                dtp::message(dtp::kRoleIoBox, dtp::kHeartbeat,
                             {deviceId, ChgIO_Int2ASCII(inputs), ChgIO_Int2ASCII(drivenOutputs)}));
}

void UDP_IO_Q4m::do_snd_s2c04_needrepair() {
    for (const auto& [address, broadcast] : localBroadcasts())
        if (!broadcast.isEmpty())
            sendMessage(broadcast, kCameraPort,
                        dtp::message(dtp::kRoleIoBox, dtp::kNeedRepair, {deviceId, address}));
}

void UDP_IO_Q4m::do_snd_s2c05_input() {
    const DTP_Procotol_IO main = mainCamera();
    // With no main camera there is nobody to tell.
    if (main.field2.isEmpty()) return;
    sendMessage(main.field2, kCameraPort,
                dtp::message(dtp::kRoleIoBox, dtp::kInputs, {deviceId, ChgIO_Int2ASCII(inputs)}));
}
