#pragma once
// Test cameras that implement CameraInterface without hardware, for every test that needs a
// camera object or a camera plug-in.
//
// ScriptedCamera plays the frames a test pushes, one per grab, records every call made into it,
// answers open/reconnect/getParams/getData as scripted and raises a camera loss on request:
// in the calling thread, inside the next grabImage call, or from a thread of its own (as a
// real plug-in's acquisition thread would).
//
// ScriptedCameraPlugin is a plug-in object with a scripted camera list that creates
// ScriptedCameras (or whatever a factory makes).

#include <QByteArray>
#include <QJsonObject>
#include <QMutex>
#include <QQueue>
#include <QStringList>
#include <QVector>
#include <functional>

#include "camerainterface.h"

namespace testcamera {

// A camera record as a plug-in would make it.
_cameraInfo makeCameraInfo(const QString& pluginName, const QString& serial, int index = 0);

class ScriptedCamera : public CameraInterface {
    Q_OBJECT
public:
    explicit ScriptedCamera(int width = 64, int height = 48, QObject* parent = nullptr);

    // --- script ---
    void setOpenResult(bool result) { openResult_ = result; }
    // reconnect() answers these in turn, then the last one again (default: true).
    void setReconnectResults(const QVector<bool>& results) { reconnectResults_ = results; }
    void setType(int type) { type_ = type; }
    void setFps(int fps) { fps_ = fps; }
    void setParamsReply(const QJsonObject& reply) { paramsReply_ = reply; }
    // restoreDefaultSettings() writes these keys into the caller's object.
    void setDefaults(const QJsonObject& defaults) { defaults_ = defaults; }
    void setTemperature(int temperature) { temperature_ = temperature; }
    // The next grab delivers this frame (cut or zero-padded to frameBytes()).
    void pushFrame(const QByteArray& frame);
    // A frame whose every byte is value.
    void pushFilledFrame(uchar value);
    int pendingFrames() const;

    // --- losses ---
    // Emits sigCameraLost in the calling thread.
    void raiseLoss();
    // Emits sigCameraLost inside the next grabImage call, before it returns.
    void raiseLossOnNextGrab() { lossOnNextGrab_ = true; }
    // Emits sigCameraLost from a new thread and returns when that thread has ended.
    void raiseLossFromThread();

    // --- what happened ---
    // Every call in order, e.g. "setColor(true)", "open", "getImageSize", "setParams", "grab".
    QStringList calls() const;
    int callCount(const QString& call) const;
    void clearCalls();
    QJsonObject lastParams() const { return lastParams_; }
    QVariant lastData() const { return lastData_; }
    bool isColour() const { return colour_; }
    bool isStarted() const { return started_; }
    bool externalTrigger() const { return externalTrigger_; }
    int frameBytes() const { return width_ * height_ * (colour_ ? 4 : 1); }
    // Settings as last set: "exposeTime", "gain", "sharp", "contrast", "gamma", "speed".
    int setting(const QString& name) const { return settings_.value(name).toInt(); }
    bool flag(const QString& name) const { return settings_.value(name).toBool(); }

    // --- CameraInterface ---
    bool open() override {
        note(QStringLiteral("open"));
        return openResult_;
    }
    void close() override {
        note(QStringLiteral("close"));
        started_ = false;
    }
    void start() override {
        note(QStringLiteral("start"));
        started_ = true;
    }
    void stop() override {
        note(QStringLiteral("stop"));
        started_ = false;
    }
    void release() override { note(QStringLiteral("release")); }
    bool reconnect() override;
    QJsonObject getParams(int which) override;
    void setParams(QJsonObject params) override;
    void setExposeTime(int value) override { noteSetting("setExposeTime", "exposeTime", value); }
    void setGain(int value) override { noteSetting("setGain", "gain", value); }
    void setSharp(int value) override { noteSetting("setSharp", "sharp", value); }
    void setContrast(int value) override { noteSetting("setContrast", "contrast", value); }
    void setGamma(int value) override { noteSetting("setGamma", "gamma", value); }
    void setWDR(bool on) override { noteSetting("setWDR", "WDR", on); }
    void setHMirror(bool on) override { noteSetting("setHMirror", "HMirror", on); }
    void setVMirror(bool on) override { noteSetting("setVMirror", "VMirror", on); }
    void whiteBalance() override { note(QStringLiteral("whiteBalance")); }
    void setColor(bool colour) override;
    void setSpeed(int value) override { noteSetting("setSpeed", "speed", value); }
    void setData(QVariant value, int which) override;
    void getData(QVariant in, QVariant& out, int which) override;
    void getFps(int* fps) override;
    void setExternalTrigger(bool on) override;
    void softwareTrigger() override { note(QStringLiteral("softwareTrigger")); }
    void getImageSize(int* width, int* height) override;
    QString pluginName() override { return QStringLiteral("Scripted"); }
    bool grabImage(uchar* buffer) override;
    void restoreDefaultSettings(QJsonObject& params, int cameraNo) override;
    int cameraType() override {
        note(QStringLiteral("cameraType"));
        return type_;
    }

private:
    void note(const QString& call);
    // Records "call(value)" and keeps the value as the setting `name`.
    void noteSetting(const char* call, const char* name, const QVariant& value);

    const int width_;
    const int height_;
    bool openResult_ = true;
    QVector<bool> reconnectResults_;
    int reconnectCalls_ = 0;
    int type_ = 1;
    int fps_ = 25;
    int temperature_ = 0;
    QJsonObject paramsReply_;
    QJsonObject defaults_;
    QJsonObject lastParams_;
    QVariant lastData_;
    QVariantMap settings_;
    bool colour_ = false;
    bool started_ = false;
    bool externalTrigger_ = false;
    bool lossOnNextGrab_ = false;
    QByteArray lastFrame_;

    mutable QMutex mutex_;  // calls_ and frames_ (a test may push from another thread)
    QStringList calls_;
    QQueue<QByteArray> frames_;
};

class ScriptedCameraPlugin : public CameraInterface {
    Q_OBJECT
public:
    using Factory = std::function<CameraInterface*(const _cameraInfo&)>;

    // type 0 = simulation plug-in, otherwise real devices.
    ScriptedCameraPlugin(const QString& name, int type, QObject* parent = nullptr);

    // Adds a camera of this plug-in with the given serial number to what findCameras lists.
    _cameraInfo addCamera(const QString& serial);
    void setCameras(const QVector<_cameraInfo>& cameras) { cameras_ = cameras; }
    // Makes the camera objects (default: a ScriptedCamera owned by the plug-in).
    void setFactory(Factory factory) { factory_ = std::move(factory); }

    // The records createCamera was called with, and what it returned.
    const QVector<_cameraInfo>& createdFor() const { return createdFor_; }
    const QVector<CameraInterface*>& created() const { return created_; }
    int findCalls() const { return findCalls_; }

    QString pluginName() override { return name_; }
    QVector<_cameraInfo> findCameras() override {
        ++findCalls_;
        return cameras_;
    }
    CameraInterface* createCamera(_cameraInfo info) override;
    int cameraType() override { return type_; }

private:
    QString name_;
    int type_;
    QVector<_cameraInfo> cameras_;
    Factory factory_;
    QVector<_cameraInfo> createdFor_;
    QVector<CameraInterface*> created_;
    int findCalls_ = 0;
};

}  // namespace testcamera
