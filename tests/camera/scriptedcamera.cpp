#include "scriptedcamera.h"

#include <QMutexLocker>
#include <cstring>
#include <thread>

namespace testcamera {

_cameraInfo makeCameraInfo(const QString& pluginName, const QString& serial, int index) {
    _cameraInfo info;
    info.index = index;
    info.pluginName = pluginName;
    info.setSerialText(serial);
    return info;
}

// --- ScriptedCamera ----------------------------------------------------------------------

ScriptedCamera::ScriptedCamera(int width, int height, QObject* parent)
    : CameraInterface(parent), width_(width), height_(height) {}

void ScriptedCamera::note(const QString& call) {
    QMutexLocker lock(&mutex_);
    calls_.append(call);
}

void ScriptedCamera::noteSetting(const char* call, const char* name, const QVariant& value) {
    note(QStringLiteral("%1(%2)").arg(QLatin1String(call), value.toString()));
    settings_[QLatin1String(name)] = value;
}

QStringList ScriptedCamera::calls() const {
    QMutexLocker lock(&mutex_);
    return calls_;
}

int ScriptedCamera::callCount(const QString& call) const {
    QMutexLocker lock(&mutex_);
    return calls_.count(call);
}

void ScriptedCamera::clearCalls() {
    QMutexLocker lock(&mutex_);
    calls_.clear();
}

void ScriptedCamera::pushFrame(const QByteArray& frame) {
    QMutexLocker lock(&mutex_);
    frames_.enqueue(frame);
}

void ScriptedCamera::pushFilledFrame(uchar value) {
    pushFrame(QByteArray(frameBytes(), char(value)));
}

int ScriptedCamera::pendingFrames() const {
    QMutexLocker lock(&mutex_);
    return frames_.size();
}

void ScriptedCamera::raiseLoss() {
    emit sigCameraLost();
}

void ScriptedCamera::raiseLossFromThread() {
    std::thread thread([this] { emit sigCameraLost(); });
    thread.join();
}

bool ScriptedCamera::reconnect() {
    note(QStringLiteral("reconnect"));
    if (reconnectResults_.isEmpty()) return true;
    const int i = qMin(reconnectCalls_++, reconnectResults_.size() - 1);
    return reconnectResults_.at(i);
}

QJsonObject ScriptedCamera::getParams(int which) {
    note(QStringLiteral("getParams(%1)").arg(which));
    return paramsReply_;
}

void ScriptedCamera::setParams(QJsonObject params) {
    note(QStringLiteral("setParams"));
    lastParams_ = params;
}

void ScriptedCamera::setColor(bool colour) {
    noteSetting("setColor", "colour", colour);
    colour_ = colour;
}

void ScriptedCamera::setData(QVariant value, int which) {
    note(QStringLiteral("setData(%1)").arg(which));
    lastData_ = value;
}

void ScriptedCamera::getData(QVariant in, QVariant& out, int which) {
    note(QStringLiteral("getData(%1)").arg(which));
    lastData_ = in;
    out = temperature_;
}

void ScriptedCamera::getFps(int* fps) {
    note(QStringLiteral("getFps"));
    if (fps) *fps = fps_;
}

void ScriptedCamera::setExternalTrigger(bool on) {
    noteSetting("setExternalTrigger", "externalTrigger", on);
    externalTrigger_ = on;
}

void ScriptedCamera::getImageSize(int* width, int* height) {
    note(QStringLiteral("getImageSize"));
    if (width) *width = width_;
    if (height) *height = height_;
}

bool ScriptedCamera::grabImage(uchar* buffer) {
    note(QStringLiteral("grab"));
    if (lossOnNextGrab_) {
        lossOnNextGrab_ = false;
        emit sigCameraLost();
    }
    bool isNew = false;
    {
        QMutexLocker lock(&mutex_);
        if (!frames_.isEmpty()) {
            lastFrame_ = frames_.dequeue();
            isNew = true;
        }
    }
    if (buffer && !lastFrame_.isNull()) {
        const int bytes = frameBytes();
        const int copied = qMin(bytes, lastFrame_.size());
        std::memcpy(buffer, lastFrame_.constData(), size_t(copied));
        std::memset(buffer + copied, 0, size_t(bytes - copied));
    }
    return isNew;
}

void ScriptedCamera::restoreDefaultSettings(QJsonObject& params, int cameraNo) {
    note(QStringLiteral("restoreDefaultSettings(%1)").arg(cameraNo));
    for (auto it = defaults_.constBegin(); it != defaults_.constEnd(); ++it)
        params.insert(it.key(), it.value());
}

// --- ScriptedCameraPlugin ------------------------------------------------------------------

ScriptedCameraPlugin::ScriptedCameraPlugin(const QString& name, int type, QObject* parent)
    : CameraInterface(parent), name_(name), type_(type) {}

_cameraInfo ScriptedCameraPlugin::addCamera(const QString& serial) {
    const _cameraInfo info = makeCameraInfo(name_, serial, cameras_.size());
    cameras_.append(info);
    return info;
}

CameraInterface* ScriptedCameraPlugin::createCamera(_cameraInfo info) {
    CameraInterface* camera = factory_ ? factory_(info) : new ScriptedCamera(64, 48, this);
    createdFor_.append(info);
    created_.append(camera);
    return camera;
}

}  // namespace testcamera
