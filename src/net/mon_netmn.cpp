#include "mon_netmn.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScreen>
#include <QUrl>
#include <QtDebug>

#include "globals.h"
#include "monlinklimits.h"
#include "monlinkmessages.h"
#include "netclock.h"
#include "systemactions.h"
#include "videothread.h"

namespace {

const QString kConfigFile = QStringLiteral("cnt_net/config.json");
const QString kCompanionProgram = QStringLiteral("./cnt_net/rurez_ozuvodi/rurez_ozuvodi");
const QString kCompanionName = QStringLiteral("rurez_ozuvodi");
const QString kVideoReaderName = QStringLiteral("rer_erer");
// The shell only discards the companion's output: the program and the configuration path
// arrive as its own arguments, so no blank or quote in the path is ever read as shell text.
const QString kLaunchScript = QStringLiteral("exec \"$0\" \"$1\" > /dev/null 2>&1");

const QString kUrlHeartbeat = QStringLiteral("/inline/bymain/heartbeat");
const QString kUrlVideoMemory = QStringLiteral("/inline/bymain/offervideomem");
const QString kUrlAlarmPicture = QStringLiteral("/inline/bymain/alarmpicture");
const QString kUrlAlarmStart = QStringLiteral("/inline/bymain/alarm_starttiming");
const QString kUrlAlarmFinish = QStringLiteral("/inline/bymain/alarm_finishtiming");
const QString kUrlRecord = QStringLiteral("/inline/bymain/recordoperate");
const QString kUrlTemplates = QStringLiteral("/inline/bymain/synctemplist");
const QString kUrlDetectOnce = QStringLiteral("/inline/bymain/detectonceinfo");

const char* boolText(bool value) {
    return value ? "true" : "false";
}

bool isBool(const QVariant& value) {
    return value.userType() == QMetaType::Bool;
}
bool isString(const QVariant& value) {
    return value.userType() == QMetaType::QString;
}

void killCompanions() {
    for (const QString& name : {kCompanionName, kVideoReaderName})
        sys::actions().run(QStringLiteral("killall"), {QStringLiteral("-9"), name});
}

}  // namespace

MON_NETMN* MON_NETMN::__instance = nullptr;

MON_NETMN* MON_NETMN::getInstance() {
    if (!__instance) __instance = new MON_NETMN;
    return __instance;
}

MON_NETMN::MON_NETMN() : TcpManager(MCT_CLIENT), __TimersndHB(new QTimer(this)) {
    connect(__TimersndHB, &QTimer::timeout, this, &MON_NETMN::TimerLinkTick);
    __recvMethods.insert(kUrlHeartbeat, [this](const QString& body) { handle_HeartBeat(body); });
    const QVariant netFunc = getConfigField(QStringLiteral("device_worknetfunc"));
    if (isBool(netFunc)) __WorkNetFunc = netFunc.toBool();
    const QVariant video = getConfigField(QStringLiteral("device_workvideo"));
    if (isBool(video)) __WorkVideo = video.toBool();
    if (__WorkNetFunc) getNTP_Timing_sync();
}

MON_NETMN::~MON_NETMN() {
    __TimersndHB->stop();
    if (__VideoThread) __VideoThread->idestory();
    __VideoThread.reset();
}

void MON_NETMN::setWorkTask(bool netFunc, bool video) {
    __WorkNetFunc = netFunc;
    __WorkVideo = video;
}

void MON_NETMN::setMonitoredWindow(MonitoredWindow window) {
    window_ = std::move(window);
}

QVariant MON_NETMN::getConfigField(const QString& key) {
    QFile file(QStringLiteral("./") + kConfigFile);
    if (!file.open(QIODevice::ReadOnly)) return QVariant();
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject() || !document.object().contains(key)) return QVariant();
    return document.object().value(key).toVariant();
}

void MON_NETMN::InitStart() {
    qInfo() << "netdbg:"
            << "MON_NETMN::InitStart start" << boolText(__WorkNetFunc) << boolText(__WorkVideo);
    if (!__WorkNetFunc) {
        qInfo() << "netdbg:"
                << "!__WorkNetFunc start";
        killCompanions();
        __TimersndHB->stop();
        startVideo(false);
        destoryVideoShare();
        qInfo() << "netdbg:"
                << "MON_NETMN::InitStart !__WorkNetFunc -> return";
        return;
    }
    const QString config = QDir::currentPath() + QStringLiteral("/") + kConfigFile;
    const QString command =
        QStringLiteral("%1 \"%2\" > /dev/null 2>&1 &").arg(kCompanionProgram, config);
    killCompanions();
    qInfo().noquote() << "netdbg: system start" << command;
    sys::actions().startDetached(QStringLiteral("/bin/sh"),
                                 {QStringLiteral("-c"), kLaunchScript, kCompanionProgram, config},
                                 QDir::currentPath());
    qInfo().noquote() << "netdbg: system finish" << command;
    if (startCompanionLink()) resendUnanswered();
    qInfo() << "netdbg:"
            << "MON_NETMN::InitStart startReactor finish";
    if (__WorkVideo) {
        qInfo() << "netdbg:"
                << "MON_NETMN::InitStart __WorkVideo restart";
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QSize size = screen ? screen->geometry().size() : QSize();
        createVideoShare(0, size.width(), size.height());
        startVideo(true);
        sndVideoMeminfo();
        qInfo() << "netdbg:"
                << "MON_NETMN::InitStart __WorkVideo finish";
    }
    __TimersndHB->start(monlink::kTickMs);
    qInfo() << "netdbg:"
            << "MON_NETMN::InitStart finish";
}

bool MON_NETMN::startCompanionLink() {
    return startReactor(
        QHostAddress(QHostAddress::LocalHost),
        sys::actions().servicePort(sys::Service::MonitorLink, monlink::kCompanionPort));
}

void MON_NETMN::TimerLinkTick() {
    ++ticks_;
    if (ticks_ % monlink::kRestartEveryTicks == 0) {
        qInfo() << "netdbg:"
                << "restart time up by 15min";
        InitStart();
        return;
    }
    if (getSoftCnted()) {
        if (ticks_ % monlink::kHeartbeatEveryTicks == 0) sndHeartBeat();
        return;
    }
    __CntServer = false;
    const bool ok = startCompanionLink();
    qInfo() << "netdbg: __TimersndHB reconnect" << boolText(ok) << boolText(getSoftCnted());
    if (ok) {
        resendUnanswered();
        sndHeartBeat();
        sndVideoMeminfo();
    } else {
        InitStart();
    }
}

bool MON_NETMN::getSoftCnted() const {
    const std::shared_ptr<MCore::TcpReactor> core = reactor();
    if (!core || core->isServer() || core->sessionCount() == 0) return false;
    return netcore::nowMs() - core->getActFinallyTime() < monlink::kAliveWindowMs;
}

int MON_NETMN::isAllowSnd() const {
    if (!__WorkNetFunc) return -1;
    if (!getSoftCnted()) return -2;
    if (!__CntServer) return -3;
    if (!__Register) return -4;
    return 1;
}

void MON_NETMN::post(const QString& url, const QJsonObject& body) {
    const std::shared_ptr<MCore::TcpReactor> core = reactor();
    if (!core) return;
    CTask_FormData task;
    task.url = url;
    task.values.insert(QStringLiteral("body"), QVariant::fromValue(body));
    MCore::TcpReactor::assignTaskId(task);
    // Heartbeats and video offers are sent afresh on every new connection; an event message
    // is kept until answered: one posted just before a restart may never have left.
    if (url != kUrlHeartbeat && url != kUrlVideoMemory) {
        QMutexLocker lock(&unansweredMutex_);
        if (unanswered_.size() >= monlink::kMaxUnansweredMessages) {
            qWarning().noquote() << "netdbg: the companion left" << monlink::kMaxUnansweredMessages
                                 << "messages unanswered; given up:"
                                 << unanswered_.first().task.url;
            unanswered_.removeFirst();
        }
        unanswered_.append({task});
        // Posted under the lock, so that a resend on another thread keeps the order.
        core->post_async(task);
        return;
    }
    core->post_async(task);
}

void MON_NETMN::resendUnanswered() {
    const std::shared_ptr<MCore::TcpReactor> core = reactor();
    if (!core) return;
    QMutexLocker lock(&unansweredMutex_);
    for (auto it = unanswered_.begin(); it != unanswered_.end();) {
        if (it->sends < monlink::kMaxMessageSends) {
            ++it;
            continue;
        }
        qWarning().noquote() << "netdbg: given up after" << it->sends
                             << "connections without an answer:" << it->task.url;
        it = unanswered_.erase(it);
    }
    if (unanswered_.isEmpty()) return;
    qInfo() << "netdbg:" << unanswered_.size()
            << "messages the previous connection left unanswered are sent again";
    // The same task ids: a companion that did get one can tell the copy.
    for (Unanswered& message : unanswered_) {
        ++message.sends;
        CTask_FormData task = message.task;
        core->post_async(task);
    }
}

int MON_NETMN::unansweredMessages() const {
    QMutexLocker lock(&unansweredMutex_);
    return unanswered_.size();
}

void MON_NETMN::sndHeartBeat() {
    const QString state =
        window_.detectState && window_.resultState
            ? monlink::deviceStateText(window_.detectState(), window_.resultState())
            : monlink::deviceStateText(0, 0);
    post(kUrlHeartbeat, monlink::heartbeatBody(state, __WorkVideo, numCamera));
}

void MON_NETMN::sndVideoMeminfo() {
    post(kUrlVideoMemory, videoshare::memoryInfoBody(__VideoShares));
}

void MON_NETMN::sndAlarmPicture(QJsonObject info, const QString& path) {
    if (isAllowSnd() < 0) return;
    const QJsonValue result = info.value(QStringLiteral("result"));
    if (!__NeedOkImg && result.toVariant().toInt() != 0) return;
    post(kUrlAlarmPicture, QJsonObject{{QStringLiteral("camera"), info.value("camera")},
                                       {QStringLiteral("detect"), info.value("detect")},
                                       {QStringLiteral("result"), result},
                                       {QStringLiteral("alarmpic_path"), path},
                                       {QStringLiteral("uuid"), __alarmUuid}});
}

void MON_NETMN::sndAlarmStartTiming(int detect) {
    if (isAllowSnd() < 0) return;
    updataAlarmInfo();
    post(kUrlAlarmStart, QJsonObject{{QStringLiteral("alarm_detect"), detect},
                                     {QStringLiteral("uuid"), __alarmUuid}});
}

void MON_NETMN::sndAlarmFinishTiming() {
    if (isAllowSnd() < 0 || __alarmState != 2) return;
    __alarmState = 0;
    post(kUrlAlarmFinish, QJsonObject{{QStringLiteral("clear_method"), __clearMethod},
                                      {QStringLiteral("uuid"), __alarmUuid}});
}

void MON_NETMN::sndRecordOperate(QJsonObject record) {
    if (isAllowSnd() < 0) return;
    QJsonObject body;
    for (const char* key : {"recordtime", "recordpassword", "remarks"})
        body.insert(QLatin1String(key), record.value(QLatin1String(key)));
    post(kUrlRecord, body);
}

void MON_NETMN::syncTempList(QJsonObject query) {
    if (isAllowSnd() < 0) return;
    post(kUrlTemplates, QJsonObject{{QStringLiteral("cameraId"), query.value("camera")},
                                    {QStringLiteral("detectId"), query.value("detect")},
                                    {QStringLiteral("pagenum"), 1},
                                    {QStringLiteral("pagesize"), 10}});
}

void MON_NETMN::sndDetectOnceInfo(bool result) {
    QList<param_roi> regions;
    {
        QMutexLocker lock(&roiMutex_);
        regions.swap(__roiList);
    }
    if (isAllowSnd() < 0) return;
    post(kUrlDetectOnce, monlink::detectOnceBody(result, regions));
}

void MON_NETMN::appendRoiResult(const param_roi& result) {
    if (isAllowSnd() <= 0) return;
    QMutexLocker lock(&roiMutex_);
    __roiList.append(result);
}

int MON_NETMN::pendingRoiResults() const {
    QMutexLocker lock(&roiMutex_);
    return __roiList.size();
}

void MON_NETMN::addClearMethod(int camera, int code) {
    if (isAllowSnd() < 0) {
        __clearMethod.clear();
        return;
    }
    __clearMethod += monlink::clearMethodText(camera, code);
}

void MON_NETMN::updataAlarmInfo() {
    if (isAllowSnd() < 0) return;
    __alarmUuid = monlink::newAlarmId(netcore::nowMs());
    __clearMethod.clear();
    __alarmState = 1;
}

void MON_NETMN::SlotRecvResponse_async(CTask_FormData response) {
    {
        QMutexLocker lock(&unansweredMutex_);
        for (int i = 0; i < unanswered_.size(); ++i)
            if (unanswered_.at(i).task.uuid == response.uuid) {
                unanswered_.removeAt(i);
                break;
            }
    }
    const std::shared_ptr<MCore::TcpReactor> core = reactor();
    if (!core) return;
    TcpTsk_Info task;
    if (!core->isAliveTcpTask_Async(response.uuid, task)) return;
    const auto handler = __recvMethods.value(task.url);
    if (!handler) return;
    const QJsonObject body = response.values.value(QStringLiteral("body")).value<QJsonObject>();
    handler(QString::fromUtf8(QJsonDocument(body).toJson()));
}

void MON_NETMN::SlotRecvRequest(CTask_FormData) {}

void MON_NETMN::handle_HeartBeat(const QString& body) {
    const monlink::PlatformFlags flags = monlink::parseHeartbeatReply(body);
    __CntServer = flags.cntServer;
    __Register = flags.registered;
    __NeedOkImg = flags.needOkImg;
    __NeedVideo = flags.needVideo;
}

void MON_NETMN::getNTP_Timing_sync() {
    const QVariant address = getConfigField(QStringLiteral("serveraddr"));
    const QVariant port = getConfigField(QStringLiteral("serverport"));
    if (!isString(address) || !isString(port)) return;
    const QUrl url(
        QStringLiteral("http://%1:%2/vazeriz17/api/time").arg(address.toString(), port.toString()),
        QUrl::StrictMode);
    // An address that is no plain host would send the request somewhere else.
    if (!url.isValid() || url.host() != address.toString().toLower()) {
        qWarning().noquote() << "netdbg: no time request: server address" << address.toString()
                             << "port" << port.toString();
        return;
    }
    static std::atomic<int> times{0};
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    const int count = ++times;
    qInfo() << "netdbg:"
            << "*** MON_NETMN::getNTP_Timing_sync before" << count;
    timeout.start(monlink::kTimeRequestTimeoutMs);
    if (!reply->isFinished()) loop.exec();
    qInfo() << "netdbg:"
            << "*** MON_NETMN::getNTP_Timing_sync after" << count;
    QByteArray body;
    if (!reply->isFinished()) {
        reply->disconnect();
        reply->abort();
    } else if (reply->error() == QNetworkReply::NoError) {
        body = reply->readAll();
    }
    const std::optional<QDateTime> time = monlink::serverTime(body);
    if (time) sys::actions().setSystemTime(*time);
}

void MON_NETMN::startVideo(bool on) {
    if (__VideoThread) __VideoThread->idestory();
    qInfo() << "netdbg:"
            << "__VideoThread whill be clear!";
    __VideoThread.reset();
    if (on)
        __VideoThread = std::make_shared<VideoThread>(
            __VideoShares, window_.widget, [this] { return isAllowSnd() > 0 && needVideo(); });
}

void MON_NETMN::createVideoShare(int index, int width, int height) {
    __VideoShares.clear();
    __VideoShares.insert(index,
                         videoshare::create(index, width, height, sys::actions().ipcKeyPath()));
}

void MON_NETMN::destoryVideoShare() {
    for (const VideoShareInfo& share : qAsConst(__VideoShares)) videoshare::remove(share);
}
