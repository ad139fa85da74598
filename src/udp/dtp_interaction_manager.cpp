#include "dtp_interaction_manager.h"

#include <QDebug>
#include <QJsonArray>
#include <QThread>

#include "dtpprotocol.h"
#include "systemactions.h"

using namespace udplimits;

DTP_Interaction_Manager* DTP_Interaction_Manager::__instance = nullptr;

namespace {

const QString kConfigFile = QStringLiteral("./camcfg.json");
const QString kMachineKey = QStringLiteral("ps_machineid");
const QString kIoUuidKey = QStringLiteral("ps_io_uuid");
const QString kIoAddressKey = QStringLiteral("ps_io_address");
const QString kMainUuidKey = QStringLiteral("ps_main_camera_uuid");
const QString kMainAddressKey = QStringLiteral("ps_main_camera_address");
const QString kSubCamerasKey = QStringLiteral("ps_sub_camera");
const QString kSubUuidKey = QStringLiteral("ps_sub_camera_uuid");
const QString kSubAddressKey = QStringLiteral("ps_sub_camera_address");

const QString kSuccess = QStringLiteral("success");
const QString kIgnore = QStringLiteral("ignore");
const QString kDiscard = QStringLiteral("discard");
const QString kUnknownError = QStringLiteral("unknow error");

QString everyNth(int countBefore, int period) {
    return countBefore % period == 0 ? kSuccess : kIgnore;
}

// Every address of a configuration is one the camera can send to, or none.
bool addressesUsable(const DTP_Procotol_Struct& cell) {
    QStringList addresses{cell.ps_io_address, cell.ps_main_camera_address};
    for (const DTP_Procotol_Device_Cell& sub : cell.ps_sub_camera) addresses << sub.address;
    for (const QString& address : addresses)
        if (!address.isEmpty() && !dtp::isIPv4(address)) return false;
    return true;
}

}  // namespace

DTP_Interaction_Manager::DTP_Interaction_Manager(const QString& uuid, QObject* parent)
    : DtpDevice(parent) {
    deviceId = uuid;
    Update_IOLastRecvMsg();
    qInfo() << "start DTP_Interaction_Manager working" << QThread::currentThreadId();
    LoadCamCfg();
    {
        QMutexLocker lock(&cfgMutex);
        if (isMain())
            for (const DTP_Procotol_Device_Cell& sub : qAsConst(cellCfg.ps_sub_camera))
                subCameras.insert(sub.uuid, DTP_WorkCamera{sub.uuid, sub.address, 0, QString()});
    }
    inputTimer = new QTimer(this);
    outputTimer = new QTimer(this);
    inputTimer->setSingleShot(true);
    outputTimer->setSingleShot(true);
    connect(this, &DTP_Interaction_Manager::sig_do_queueslotfunc, this,
            &DTP_Interaction_Manager::SlotQueuedHandler, Qt::QueuedConnection);
    connect(this, &DTP_Interaction_Manager::sigFlushIOTimer, this,
            &DTP_Interaction_Manager::SlotFlushIOTimer, Qt::QueuedConnection);
    connect(inputTimer, &QTimer::timeout, this, &DTP_Interaction_Manager::TimerInput,
            Qt::QueuedConnection);
    connect(outputTimer, &QTimer::timeout, this, &DTP_Interaction_Manager::TimerOutput,
            Qt::QueuedConnection);
}

DTP_Interaction_Manager::~DTP_Interaction_Manager() {
    stopListen();
    if (__instance == this) __instance = nullptr;
}

bool DTP_Interaction_Manager::FlushIO(const QString& uuid) {
    if (!__instance) __instance = new DTP_Interaction_Manager(uuid);
    return __instance->sendMessage(__instance->cellConfig().ps_io_address, kIoBoxPort,
                                   dtp::message(dtp::kRoleApp, dtp::kGetAllState)) == kDtpOk;
}

bool DTP_Interaction_Manager::IOIsConnected() const {
    return monotonicMs() - ioLastRecv <= kIoBoxHeardMs;
}

bool DTP_Interaction_Manager::IsMainCamera() const {
    QMutexLocker lock(&cfgMutex);
    return isMain();
}

bool DTP_Interaction_Manager::isMain() const {
    return !cellCfg.ps_main_camera_uuid.isEmpty() && cellCfg.ps_main_camera_uuid == deviceId;
}

void DTP_Interaction_Manager::Update_IOLastRecvMsg() {
    ioLastRecv = monotonicMs();
}

void DTP_Interaction_Manager::chgIO_OutputState(int channel, bool on) {
    {
        QMutexLocker lock(&cfgMutex);
        dtp::setChannel(wantedOutputs, channel, on);
    }
    emit sigFlushIOTimer(outputTimer, kIoFlushDelayMs);
}

QList<DTP_WorkCamera> DTP_Interaction_Manager::getSubCamera_DTP() const {
    QMutexLocker lock(&cfgMutex);
    QList<DTP_WorkCamera> cameras;
    if (!isMain()) return cameras;
    for (const DTP_WorkCamera& camera : subCameras)
        if (camera.uuid != deviceId) cameras.append(camera);
    return cameras;
}

bool DTP_Interaction_Manager::setSubCamera_DTP(DTP_WorkCamera camera) {
    QMutexLocker lock(&cfgMutex);
    if (!isMain() || camera.uuid == deviceId || !subCameras.contains(camera.uuid)) return false;
    subCameras[camera.uuid] = camera;
    return true;
}

bool DTP_Interaction_Manager::dezivodoera_send_a2c21_discover() {
    bool allAnswered = true;
    for (auto [address, broadcast] : localBroadcasts()) {
        if (address.isEmpty()) {
            qWarning() << "dezivodoera_send_a2s01_discover: LocalIp Empty";
            continue;
        }
        if (broadcast.isEmpty()) broadcast = QStringLiteral("255.255.255.255");
        allAnswered &=
            sendMessage(broadcast, kCameraPort, dtp::message(dtp::kRoleApp, dtp::kDiscoverCameras),
                        address) == kDtpOk;
    }
    return allAnswered;
}

bool DTP_Interaction_Manager::chkThroughPermit(const DTP_Procotol_Struct& msg) const {
    return ::chkThroughPermit(msg, deviceId, localAddresses(), cellConfig());
}

QString DTP_Interaction_Manager::AnalysisRecvMessage(sockaddr_in sender,
                                                     const QByteArray& datagram) {
    const dtp::Datagram parsed = dtp::parse(datagram);
    if (!parsed.ok()) return parsed.result;
    const DTP_Procotol_Struct msg = dtp::makeCameraRecord(parsed, sender);
    if (!dtp::accepts(dtp::Receiver::Camera, msg.code, msg.role)) return kSuccess;
    if (!chkThroughPermit(msg)) return kDiscard;
    switch (msg.code) {
        case dtp::kHeartbeat:
            return takeHeartbeat(msg, parsed.parts);
        case dtp::kNeedRepair:
            return takeRepairRequest(msg, parsed.parts);
        case dtp::kInputs:
            takeInputReport(msg, parsed.parts);
            return kSuccess;
        case dtp::kDiscoverCameras:
            if (msg.role == dtp::kRoleCamera) return takeDiscoverReply(msg, parsed.text);
            do_req_a2c21_discover(msg);
            return kSuccess;
        case dtp::kModifyCameraCells:
            return takeModifyCells(msg, parsed.text);
    }
    return kSuccess;
}

QString DTP_Interaction_Manager::takeHeartbeat(const DTP_Procotol_Struct& msg,
                                               const QStringList& parts) {
    do_req_s2c03_heartbeat(msg);
    Update_IOLastRecvMsg();
    if (parts.size() == 5) {
        reportedInputs = ChgIO_ASCII2Int(parts[3]);
        if (reportedInputs != ioInputs) {
            ioInputs = quint32(reportedInputs);
            emit sig_chgIO_InputState(static_cast<int>(ioInputs));
        }
        reportedOutputs = ChgIO_ASCII2Int(parts[4]);
        // The box drives something else than ordered (it missed an order, or dropped its
        // outputs while this camera was away): order again.
        if (reportedOutputs != wantedOutputs) emit sigFlushIOTimer(outputTimer, kIoFlushDelayMs);
    }
    return everyNth(heartbeatCount++, kHeartbeatLogEvery);
}

QString DTP_Interaction_Manager::takeRepairRequest(const DTP_Procotol_Struct& msg,
                                                   const QStringList& parts) {
    if (parts.size() != 4) return dtp::kFormatError;
    Update_IOLastRecvMsg();
    const QString ownAddress = getSameUseNet(msg.ip);
    {
        QMutexLocker lock(&cfgMutex);
        if (cellCfg.ps_io_address != msg.ip || cellCfg.ps_main_camera_address != ownAddress) {
            cellCfg.ps_io_address = msg.ip;
            cellCfg.ps_main_camera_address = ownAddress;
            writeConfig(cellCfg);
            cellCfg.cfgText = MakeCamCfg2Str(cellCfg);
        }
    }
    do_req_s2c04_needrepair(msg);
    return everyNth(repairCount++, kRepairLogEvery);
}

void DTP_Interaction_Manager::takeInputReport(const DTP_Procotol_Struct& msg,
                                              const QStringList& parts) {
    Update_IOLastRecvMsg();
    if (parts.size() != 4 || parts[3].size() != kIoChannels) return;
    ioInputs = ChgIO_ASCII2Int(parts[3]);
    reportedInputs = quint32(ioInputs);
    emit sigFlushIOTimer(inputTimer, kIoFlushDelayMs);
    do_req_s2c05_inputstate(msg);
}

QString DTP_Interaction_Manager::takeDiscoverReply(const DTP_Procotol_Struct& msg,
                                                   const QString& text) {
    if (!IsMainCamera()) return kDiscard;
    QString config;
    DTP_Procotol_Struct record;
    if (!dtp::configPayload(text, dtp::kRoleCamera, dtp::kDiscoverCameras, &config) ||
        !ParseStr2CamCfg(config, record))
        return dtp::kFormatError;
    record.uuid = msg.uuid;
    record.ip = msg.ip;
    QueueRunSlot(&DTP_Interaction_Manager::do_rsp_a2c21_discover, record);
    return kSuccess;
}

QString DTP_Interaction_Manager::takeModifyCells(const DTP_Procotol_Struct& msg,
                                                 const QString& text) {
    QString config;
    if (!dtp::configPayload(text, dtp::kRoleApp, dtp::kModifyCameraCells, &config))
        return dtp::kFormatError;
    if (config != MakeCamCfg2Str(cellConfig())) {
        DTP_Procotol_Struct fresh;
        if (!ParseStr2CamCfg(config, fresh) || !addressesUsable(fresh)) return dtp::kFormatError;
        fresh.cfgText = config;
        QMutexLocker lock(&cfgMutex);
        // The app hears "OK" only for a configuration that will still hold after a restart.
        if (!writeConfig(fresh)) return kUnknownError;
        cellCfg = fresh;
        subCameras.clear();
        ioInputs = 0;
        wantedOutputs = 0;
        const qint64 now = sys::actions().nowMSecsSinceEpoch();
        for (const DTP_Procotol_Device_Cell& sub : qAsConst(cellCfg.ps_sub_camera))
            subCameras.insert(sub.uuid, DTP_WorkCamera{sub.uuid, sub.address, now, QString()});
    }
    do_req_a2c22_modifycells(msg);
    emit sig_do_req_a2c22_modifycells(msg);
    return kSuccess;
}

void DTP_Interaction_Manager::LoadCamCfg() {
    QJsonObject json;
    const bool opened = dtp::readJsonObject(kConfigFile, json);
    QMutexLocker lock(&cfgMutex);
    if (opened) {
        cellCfg.ps_machineid = json.value(kMachineKey).toString();
        cellCfg.ps_io_uuid = json.value(kIoUuidKey).toString();
        cellCfg.ps_io_address = json.value(kIoAddressKey).toString();
        cellCfg.ps_main_camera_uuid = json.value(kMainUuidKey).toString();
        cellCfg.ps_main_camera_address = json.value(kMainAddressKey).toString();
        for (const QJsonValue& sub : json.value(kSubCamerasKey).toArray())
            cellCfg.ps_sub_camera.append(DTP_Procotol_Device_Cell{
                sub[kSubUuidKey].toString(), sub[kSubAddressKey].toString(), 0});
    }
    cellCfg.cfgText = MakeCamCfg2Str(cellCfg);
}

bool DTP_Interaction_Manager::SaveCamCfg() {
    QMutexLocker lock(&cfgMutex);
    return writeConfig(cellCfg);
}

bool DTP_Interaction_Manager::writeConfig(const DTP_Procotol_Struct& cell) const {
    QJsonArray subs;
    for (const DTP_Procotol_Device_Cell& sub : cell.ps_sub_camera)
        subs.append(QJsonObject{{kSubUuidKey, sub.uuid}, {kSubAddressKey, sub.address}});
    return dtp::writeJsonObject(kConfigFile, {{kMachineKey, cell.ps_machineid},
                                              {kIoUuidKey, cell.ps_io_uuid},
                                              {kIoAddressKey, cell.ps_io_address},
                                              {kMainUuidKey, cell.ps_main_camera_uuid},
                                              {kMainAddressKey, cell.ps_main_camera_address},
                                              {kSubCamerasKey, subs}});
}

DTP_Procotol_Struct DTP_Interaction_Manager::cellConfig() const {
    QMutexLocker lock(&cfgMutex);
    return cellCfg;
}

void DTP_Interaction_Manager::QueueRunSlot(Handler handler, const DTP_Procotol_Struct& record) {
    {
        QMutexLocker lock(&cfgMutex);
        queuedHandler = handler;
    }
    emit sig_do_queueslotfunc(record);
}

void DTP_Interaction_Manager::SlotQueuedHandler(DTP_Procotol_Struct record) {
    Handler handler = nullptr;
    {
        QMutexLocker lock(&cfgMutex);
        handler = queuedHandler;
    }
    if (handler) (this->*handler)(record);
}

void DTP_Interaction_Manager::SlotFlushIOTimer(QTimer* timer, int ms) {
    timer->start(ms);
}

void DTP_Interaction_Manager::TimerInput() {
    const quint32 inputs = ioInputs;
    emit sig_chgIO_InputState(static_cast<int>(inputs));
    qInfo().noquote() << "IO_INPUT: " << ChgIO_Int2ASCII(publishedInputs) << "->"
                      << ChgIO_Int2ASCII(inputs);
    publishedInputs = inputs;
}

void DTP_Interaction_Manager::TimerOutput() {
    do_snd_c2s06_OutputIO();
    const quint32 wanted = wantedOutputs;
    qInfo().noquote() << "IO_OUTPUT: " << ChgIO_Int2ASCII(sentOutputs) << "->"
                      << ChgIO_Int2ASCII(wanted);
    sentOutputs = wanted;
}

void DTP_Interaction_Manager::PrintRecvMsg(QString result, QString line) {
    if (result.contains(QLatin1String("UDP_SND")))
        result = result.contains(QLatin1String("<C;3")) || result.contains(QLatin1String("<C;4"))
                     ? kIgnore
                     : kSuccess;
    if (result == kIgnore || result == kDiscard) return;
    qInfo().noquote() << QString::fromLatin1(line.toLatin1()) + QStringLiteral(" ---(%1, %2 %3)")
                                                                    .arg(result)
                                                                    .arg(heartbeatCount.load())
                                                                    .arg(repairCount.load());
}

void DTP_Interaction_Manager::do_req_s2c03_heartbeat(DTP_Procotol_Struct msg) {
    sendMessage(msg.ip, kIoBoxPort, dtp::message(dtp::kRoleCamera, dtp::kHeartbeat, {deviceId}));
}

void DTP_Interaction_Manager::do_req_s2c04_needrepair(DTP_Procotol_Struct msg) {
    sendMessage(msg.ip, kIoBoxPort,
                dtp::message(dtp::kRoleCamera, dtp::kNeedRepair,
                             {deviceId, cellConfig().ps_main_camera_address}));
    emit sig_do_req_s2c04_needrepair(msg);
}

void DTP_Interaction_Manager::do_req_s2c05_inputstate(DTP_Procotol_Struct msg) {
    sendMessage(msg.ip, kIoBoxPort, dtp::message(dtp::kRoleCamera, dtp::kInputs, {deviceId, "OK"}));
}

void DTP_Interaction_Manager::do_req_a2c21_discover(DTP_Procotol_Struct msg) {
    sendMessage(
        msg.ip, kAppPort,
        dtp::message(dtp::kRoleCamera, dtp::kDiscoverCameras, {deviceId, cellConfig().cfgText}));
}

void DTP_Interaction_Manager::do_req_a2c22_modifycells(DTP_Procotol_Struct msg) {
    sendMessage(msg.ip, kAppPort,
                dtp::message(dtp::kRoleCamera, dtp::kModifyCameraCells, {deviceId, "OK"}));
}

void DTP_Interaction_Manager::do_rsp_a2c21_discover(DTP_Procotol_Struct msg) {
    QMutexLocker lock(&cfgMutex);
    if (subCameras.contains(msg.uuid))
        subCameras[msg.uuid] =
            DTP_WorkCamera{msg.uuid, msg.ip, sys::actions().nowMSecsSinceEpoch(), QString()};
}

void DTP_Interaction_Manager::do_snd_c2s06_OutputIO() {
    if (!IsMainCamera()) return;
    sendMessage(
        cellConfig().ps_io_address, kIoBoxPort,
        dtp::message(dtp::kRoleCamera, dtp::kOutputs, {deviceId, ChgIO_Int2ASCII(wantedOutputs)}));
}
