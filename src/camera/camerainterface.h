#pragma once
// The contract between the program and its camera plug-ins.
//
// A camera plug-in is a Qt plug-in (shared object) whose root object is a CameraInterface (the
// plug-in object: it names itself, lists the cameras it can reach and creates camera objects).
// Each camera object it creates is itself a CameraInterface (the camera object: opened,
// configured, grabbed from and watched for loss by its camera view).
//
// The order of the virtual operations below is part of the binary contract with plug-ins built
// elsewhere: never insert, remove or reorder one. Unused positions are kept as reserved slots.
// Every call into a plug-in is made from the GUI thread; only sigCameraLost may come from a
// thread of the plug-in's own.

#include <QJsonObject>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>
#include <cstring>

// Description of one camera found by a plug-in. Travels from the plug-in to the camera manager,
// the main window and the camera view, and back to the plug-in in createCamera. The field order
// and sizes are shared with plug-ins.
struct _cameraInfo {
    static constexpr int kSerialBlockBytes = 288;

    qint32 index = 0;    // the plug-in's own; the program only copies it
    QString pluginName;  // pluginName() of the plug-in that found the camera
    // Plug-in data block. The serial number is the UTF-8 text at its start, ended by a NUL or by
    // the end of the block (a plug-in may fill all 288 bytes); the rest is the plug-in's.
    char serialNumber[kSerialBlockBytes] = {};
    QMap<QString, QVariant> properties;  // the plug-in's extras; the program only copies them

    // The serial number, read without running past the block.
    QString serialText() const { return QString::fromUtf8(serialNumber, serialLength()); }
    int serialLength() const {
        const void* end = std::memchr(serialNumber, '\0', kSerialBlockBytes);
        return end ? int(static_cast<const char*>(end) - serialNumber) : kSerialBlockBytes;
    }
    // Writes a serial number, cut to fit the block with its NUL (at a character boundary), and
    // clears the rest of the block.
    void setSerialText(const QString& serial) {
        QByteArray bytes = serial.toUtf8();
        int length = qMin(bytes.size(), kSerialBlockBytes - 1);
        // Do not leave half of a multi-byte character behind.
        while (length > 0 && length < bytes.size() && (uchar(bytes.at(length)) & 0xC0) == 0x80)
            --length;
        std::memset(serialNumber, 0, sizeof serialNumber);
        std::memcpy(serialNumber, bytes.constData(), size_t(length));
    }
};
Q_DECLARE_METATYPE(_cameraInfo)

// Declared before the class so that the class itself answers the interface id: every object
// derived from CameraInterface passes qobject_cast<CameraInterface*>, whether or not it repeats
// Q_INTERFACES.
class CameraInterface;
#define CameraInterface_iid "com.zem.corvane.camerainterface"
Q_DECLARE_INTERFACE(CameraInterface, CameraInterface_iid)

class CameraInterface : public QObject {
    Q_OBJECT
    Q_INTERFACES(CameraInterface)
public:
    explicit CameraInterface(QObject* parent = nullptr) : QObject(parent) {}
    ~CameraInterface() override = default;

    // --- camera object (1 .. 27) ---
    // true: the device is open and will be used.
    virtual bool open() { return false; }
    virtual void close() {}
    virtual void start() {}
    virtual void stop() {}
    // Called once after sigCameraLost, before the reconnect attempts.
    virtual void release() {}
    // true: the device works again.
    virtual bool reconnect() { return false; }
    // With 0: "ExposureTime" (thousandths of the exposure unit) and "Gain".
    virtual QJsonObject getParams(int which) { return {}; }
    // The full parameter set: "exposetime", "gain", "contrast", "sharp", "gammma", "WDR",
    // "VMirror", "HMirror", "sysUsage", "speed".
    virtual void setParams(QJsonObject params) {}
    virtual void setExposeTime(int value) {}
    virtual void setGain(int value) {}
    virtual void setSharp(int value) {}
    virtual void setContrast(int value) {}
    virtual void setGamma(int value) {}
    virtual void reserved14() {}
    virtual void setWDR(bool on) {}
    virtual void setHMirror(bool on) {}
    virtual void setVMirror(bool on) {}
    virtual void whiteBalance() {}
    virtual void reserved19() {}
    // Called before open: true = 4 bytes per pixel (R, G, B, A, R in the low byte), false =
    // 1 grey byte per pixel.
    virtual void setColor(bool colour) {}
    virtual void setSpeed(int value) {}
    // Thermal cameras: value holds the live ROI parameters ("CammerSingleton *").
    virtual void setData(QVariant value, int which) {}
    // Thermal cameras: in = {"detect", "funcNO"}; out converted to int is the temperature.
    virtual void getData(QVariant in, QVariant& out, int which) {}
    virtual void getFps(int* fps) {}
    virtual void setExternalTrigger(bool on) {}
    // Capture one frame now (cameras whose cameraType() is 0).
    virtual void softwareTrigger() {}
    // Fixed once open; every grabImage writes width x height x (4 in colour, else 1) bytes.
    virtual void getImageSize(int* width, int* height) {}

    // --- plug-in object (28) ---
    virtual QString pluginName() = 0;
    virtual void reserved29() {}

    // --- camera object (30, 31) ---
    // Copies the newest frame into buffer; true = it is newer than the last one delivered.
    virtual bool grabImage(uchar* buffer) { return false; }
    // params in and out: "exposeTime", "adjustPlus", "sharp", "contrast", "gamma", "isHMirror",
    // "isVMirror", "speed", "sysUsage", "isWDR".
    virtual void restoreDefaultSettings(QJsonObject& params, int cameraNo) {}

    // --- plug-in object (32 .. 34) ---
    // Every camera this plug-in can reach now; may be empty.
    virtual QVector<_cameraInfo> findCameras() { return {}; }
    virtual void reserved33() {}
    // info is one element of this plug-in's own findCameras list; null = no camera object.
    virtual CameraInterface* createCamera(_cameraInfo info) { return nullptr; }

    // --- both (35) ---
    // Plug-in: 0 = simulation plug-in, otherwise real devices. Camera: 0 = frames are taken on
    // demand by softwareTrigger.
    virtual int cameraType() = 0;

signals:
    // The device is lost. May be emitted from any thread, and even inside a call into the
    // camera object: receivers connect with connectCameraLoss (queued).
    void sigCameraLost();
};

// Plug-in objects by their pluginName(). Nothing fills it: the camera manager keeps the loaded
// plug-ins itself; CammerWidget::CreateCamera is the only reader.
extern QMap<QString, CameraInterface*> cameraInterfaceMap;

namespace camera {

// Connects a camera object's loss signal to a receiver, always queued: the receiver runs in its
// own thread's event loop after the plug-in's call has returned, never inside grabImage or
// reconnect, and never in the plug-in's acquisition thread.
QMetaObject::Connection connectCameraLoss(CameraInterface* camera, QObject* receiver,
                                          const char* slot);

template <typename Functor>
QMetaObject::Connection connectCameraLoss(CameraInterface* camera, const QObject* context,
                                          Functor functor) {
    return QObject::connect(camera, &CameraInterface::sigCameraLost, context, std::move(functor),
                            Qt::QueuedConnection);
}

}  // namespace camera
