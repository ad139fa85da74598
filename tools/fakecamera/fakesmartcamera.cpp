#include "fakesmartcamera.h"

#include <QJsonValue>
#include <QTimer>
#include <QtDebug>

#include "httpmanager.h"

namespace fakepeer {

namespace {

constexpr int kPictureWidth = 64;
constexpr int kPictureHeight = 48;

QJsonObject entry(double value, double min, double max) {
    return {{"value", value}, {"min", min}, {"max", max}};
}

// A server whose routes are the camera's handlers.
class CameraService : public HttpManager {
public:
    CameraService() : HttpManager(MCT_SERVER) {}
    void route(const QString& url, std::function<void(CTask_FormData)> handler) {
        routes_.insert(url, std::move(handler));
    }
    void SlotRecvResponse_Async(CTask_FormData) override {}
};

CTask_FormData replyTo(const CTask_FormData& request) {
    CTask_FormData reply;
    reply.uuid = request.uuid;
    reply.sessionId = request.sessionId;
    return reply;
}

QJsonObject requestBody(const CTask_FormData& request) {
    return request.values.value(QStringLiteral("body")).toJsonObject();
}

}  // namespace

FakeSmartCamera::FakeSmartCamera(const Options& options) : options_(options) {
    params_ = {{"exposure", entry(1000, 10, 100000)}, {"gain", entry(1.0, 1.0, 16.0)},
               {"contrast", entry(0, -100, 100)},     {"gamma", entry(100, 1, 400)},
               {"sharp", entry(0, 0, 100)},           {"ispOutFormat", entry(0, 0, 3)},
               {"replyDelayMs", entry(0, 0, 5000)},   {"emptyPictures", entry(0, 0, 1)}};
}

FakeSmartCamera::~FakeSmartCamera() = default;

bool FakeSmartCamera::start() {
    auto params = std::make_unique<CameraService>();
    CameraService* p = params.get();
    p->route("/smcam2/camera/getparams", [this](CTask_FormData r) { serveGetParams(r); });
    p->route("/smcam2/camera/setparams", [this](CTask_FormData r) { serveSetParams(r); });
    p->route("/smcam2/camera/commands", [this](CTask_FormData r) { serveCommand(r); });
    paramService_ = std::move(params);
    if (!paramService_->startReactor(options_.address, options_.paramPort)) return false;
    if (!options_.servePictures) return true;
    auto pictures = std::make_unique<CameraService>();
    pictures->route("/smcam2/camera/getpic", [this](CTask_FormData r) { servePicture(r); });
    pictureService_ = std::move(pictures);
    return pictureService_->startReactor(options_.address, options_.picturePort);
}

quint16 FakeSmartCamera::paramPort() const {
    return paramService_ && paramService_->reactor() ? paramService_->reactor()->localPort() : 0;
}

quint16 FakeSmartCamera::picturePort() const {
    return pictureService_ && pictureService_->reactor() ? pictureService_->reactor()->localPort()
                                                         : 0;
}

int FakeSmartCamera::knob(const QString& name) const {
    return params_.value(name).toObject().value("value").toInt();
}

void FakeSmartCamera::answer(HttpManager* service, const CTask_FormData& reply) {
    const int delay = knob("replyDelayMs");
    auto send = [service, reply] {
        CTask_FormData copy = reply;
        if (const auto reactor = service->reactor()) reactor->post_async(copy);
    };
    if (delay > 0)
        QTimer::singleShot(delay, service, send);
    else
        send();
}

void FakeSmartCamera::serveGetParams(const CTask_FormData& request) {
    CTask_FormData reply = replyTo(request);
    reply.values.insert("result", QVariant::fromValue(params_));
    answer(paramService_.get(), reply);
}

void FakeSmartCamera::serveSetParams(const CTask_FormData& request) {
    // A known parameter takes the value, kept within its range; the reply reports what each
    // parameter now holds. Unknown names are not reported.
    const QJsonObject body = requestBody(request);
    QJsonObject applied;
    for (auto it = body.constBegin(); it != body.constEnd(); ++it) {
        if (!params_.contains(it.key()) || !it.value().isDouble()) continue;
        QJsonObject item = params_.value(it.key()).toObject();
        const double value = qBound(item.value("min").toDouble(), it.value().toDouble(),
                                    item.value("max").toDouble());
        item.insert("value", value);
        params_.insert(it.key(), item);
        applied.insert(it.key(), value);
    }
    CTask_FormData reply = replyTo(request);
    reply.values.insert("result", QVariant::fromValue(applied));
    answer(paramService_.get(), reply);
}

void FakeSmartCamera::serveCommand(const CTask_FormData& request) {
    const QJsonObject body = requestBody(request);
    for (auto it = body.constBegin(); it != body.constEnd(); ++it)
        commands_ << it.key() + '=' + it.value().toVariant().toString();
    CTask_FormData reply = replyTo(request);
    reply.values.insert("result", QVariant::fromValue(QJsonObject()));
    answer(paramService_.get(), reply);
}

void FakeSmartCamera::servePicture(const CTask_FormData& request) {
    CTask_FormData reply = replyTo(request);
    const int seq = ++picturesServed_;
    reply.values.insert(
        "head",
        QVariant::fromValue(QJsonObject{
            {"seq", seq}, {"mediaType", 0}, {"width", kPictureWidth}, {"height", kPictureHeight}}));
    if (knob("emptyPictures") == 0) {
        // A picture whose first pixel carries the sequence number (mod 256).
        cv::Mat picture(kPictureHeight, kPictureWidth, CV_8UC1, cv::Scalar(seq % 256));
        reply.mats.insert("img", picture);
    }
    answer(pictureService_.get(), reply);
}

}  // namespace fakepeer
