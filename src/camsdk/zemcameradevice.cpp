#include "zemcameradevice.h"

#include <QDateTime>
#include <QHostAddress>
#include <QtDebug>
#include <chrono>
#include <cstring>

#include "camsdklimits.h"
#include "netlimits.h"

namespace {

qint64 monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A text field of the record, never read past its end, whether or not the caller ended it.
QString fieldText(const char* field) {
    return QString::fromLatin1(field, int(strnlen(field, camsdklimits::kDevInfoTextBytes)));
}

bool sessionLost(const std::shared_ptr<TcpManager_Client>& client) {
    const std::shared_ptr<MCore::TcpReactor> reactor = client->reactor();
    auto* connecting = dynamic_cast<MCore::TcpCliReactor*>(reactor.get());
    return connecting && !connecting->hasSession();
}

}  // namespace

bool AllowPass_byfps(int fps, qint64& lastPass, qint64 nowMs) {
    if (fps <= 0) return false;
    if (double(nowMs - lastPass) > 1000.0 / fps) {
        lastPass = nowMs;
        return true;
    }
    return false;
}

bool AllowPass_byfps(int fps, qint64& lastPass) {
    return AllowPass_byfps(fps, lastPass, monotonicMs());
}

// --- frame pump ---

ImageThread::ImageThread(ZemCamera* owner) : QThread(nullptr), camera(owner) {}

ImageThread::~ImageThread() {
    running = false;
    // A pass ends within its picture time-out (and a connect time-out); freeing the camera
    // before that would pull the pass's objects from under it.
    wait();
    client.reset();
}

void ImageThread::run() {
    static std::atomic<int> reconnect{0};
    static std::atomic<int> nullimg{0};
    const QString ip = camera->ipText();
    const QHostAddress address(ip);
    qint64 lastPass = 0;
    int passes = 0;
    qint64 statsStart = 0;
    QList<double> durations, chunkCounts;

    while (running) {
        QThread::msleep(camsdklimits::kPumpIdleSleepMs);
        if (!AllowPass_byfps(camsdklimits::kPumpMaxFps, lastPass)) continue;
        if (!client) {
            client = std::make_shared<TcpManager_Client>();
            client->setNetLimits(NetLimits::forPictures());
            camera->imageConnected = client->startReactor(address, camsdklimits::kPicturePort);
            ++reconnect;
            if (!camera->imageConnected) {
                client.reset();
                qInfo() << "image reconnect fail";
                continue;
            }
        } else if (sessionLost(client)) {
            client.reset();
            continue;
        }

        if (++passes % camsdklimits::kPumpReportEvery == 0) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            double durationSum = 0, chunkSum = 0;
            for (double d : qAsConst(durations)) durationSum += d;
            for (double c : qAsConst(chunkCounts)) chunkSum += c;
            const double per = camsdklimits::kPumpReportEvery;
            qInfo() << passes << "(" << ip << ")"
                    << "fps:" << 1000.0 / ((now - statsStart) / per)
                    << "(avg_ms:" << QString::number(durationSum / per, 'f', 3)
                    << "avg_times:" << int(chunkSum / per) << ")"
                    << "recnt:" << reconnect.load() << "nullimg:" << nullimg.load();
            durations.clear();
            chunkCounts.clear();
            statsStart = now;
        }

        CTask_FormData reply;
        cv::Mat picture;
        if (client->act_getPicture_sync(reply, camsdklimits::kPumpPictureTimeoutMs) == 0 &&
            !reply.mats.isEmpty())
            picture = reply.mats.first();
        if (!picture.empty()) {
            const QMap<QString, QVariant> timing = reply.taskInfo.getReportParam();
            durations << (timing.value(QStringLiteral("_tsk_finishact_timing")).toDouble() -
                          timing.value(QStringLiteral("_tsk_create_timing")).toDouble()) /
                             1000.0;
            chunkCounts << timing.value(QStringLiteral("_tsk_recv_times")).toDouble();
            camera->deliverImage(picture);
            continue;
        }
        qInfo().noquote() << "(" + ip + ")" + "****mat empty****";
        ++nullimg;
        client.reset();
    }
    client.reset();
}

// --- camera ---

ZemCamera::ZemCamera(tZemCameraDevInfo* info) : QObject(nullptr) {
    std::memcpy(&devInfo, info, sizeof devInfo);
    qInfo().noquote() << "ZemCamera startReactor: " + ipText();
    paramConnected = paramClient.startReactor(QHostAddress(ipText()), camsdklimits::kParamPort);
    if (paramConnected)
        paramClient.act_getparams(config);
    else
        qDebug() << "connect fail";
    imageThread = new ImageThread(this);
}

ZemCamera::~ZemCamera() {
    delete imageThread;
    imageThread = nullptr;
}

QString ZemCamera::ipText() const {
    return fieldText(devInfo.ip);
}

QString ZemCamera::identifierText() const {
    return fieldText(devInfo.identifier);
}

int ZemCamera::start() {
    const QVariantMap result = paramClient.act_Command({{QStringLiteral("play"), 1}});
    // A running pump keeps going; one told to stop finishes its pass first, so that one pump
    // at most ever runs for this camera.
    if (!(imageThread->running && imageThread->isRunning())) {
        imageThread->wait();
        imageThread->running = true;
        imageThread->start(QThread::InheritPriority);
    }
    return result.value(QStringLiteral("play")).toInt();
}

int ZemCamera::stop() {
    imageThread->running = false;
    if (!imageConnected) return -2;
    const QVariantMap result = paramClient.act_Command({{QStringLiteral("play"), 0}});
    return result.value(QStringLiteral("play")).toInt();
}

int ZemCamera::setHDR(bool on) {
    if (!paramConnected) return -2;
    const QVariantMap result = paramClient.act_Command({{QStringLiteral("aiqWorkingMode"), on}});
    return result.value(QStringLiteral("aiqWorkingMode")).toInt();
}

void ZemCamera::commonCall(const char* key, char* out, unsigned int value) {
    Q_UNUSED(out)
    if (!paramConnected || !key) return;
    paramClient.act_Command({{QString::fromUtf8(key), value}});
}

int ZemCamera::requestImage(cv::Mat& image, QJsonObject& imageHead, int timeout) {
    const std::shared_ptr<MCore::TcpReactor> current = imageClient.reactor();
    auto* connecting = dynamic_cast<MCore::TcpCliReactor*>(current.get());
    if (!connecting || !connecting->hasSession()) {
        imageClient.setNetLimits(NetLimits::forPictures());
        if (!imageClient.startReactor(QHostAddress(ipText()), camsdklimits::kPicturePort))
            return -1;
    }
    cv::Mat picture;
    QJsonObject head;
    const int result = imageClient.act_getPicture(picture, head, timeout);
    if (result != 0) return result;
    // An exchange that brought no picture is not a picture.
    if (picture.empty()) return -4;
    image = picture;
    imageHead = head;
    return 0;
}

void ZemCamera::recvImage(cv::Mat image) {
    deliverImage(image);
}

void ZemCamera::requestGetParams(QStringList keys, QVariantMap& out, bool full) {
    if (!paramConnected) return;
    paramClient.act_getparams(config);
    checkParams(keys, out, full);
}

QVariantMap ZemCamera::requestSetParams(QVariantMap params) {
    if (!paramConnected) return {};
    return paramClient.act_setparams(params);
}
