// The exported functions of the camera library: each runs on the library's thread (SdkHost)
// and reaches its camera through the handle table.
#include <QtDebug>
#include <climits>
#include <cstring>

#include "camsdklimits.h"
#include "gvcpclient.h"
#include "handlemanager.h"
#include "netif.h"
#include "sdkhost.h"
#include "zemcamera.h"
#include "zemcameradevice.h"

static_assert(sizeof(tZemCameraDevInfo) == 292, "device-info record");
static_assert(offsetof(tZemCameraDevInfo, identifier) == 224, "identifier offset");
static_assert(offsetof(tZemCameraDevInfo, ip) == 256, "ip offset");

// The discovery client of the process, made by the first ZemCameraSdkInit.
UDP_ACam_Client* ACam_Client = nullptr;

namespace {

template <typename Fn>
int onHost(Fn fn) {
    SdkHost* host = SdkHost::get();
    if (!host) return ZEMCAMERA_E_NOT_INITIALISED;
    int result = ZEMCAMERA_OK;
    host->call([&] { result = fn(); });
    return result;
}

template <typename Fn>
int withCamera(int handle, Fn fn) {
    return onHost([&] {
        ZemCamera* camera = HandleManager::get()->getCamera(handle);
        return camera ? fn(camera) : int(ZEMCAMERA_E_HANDLE);
    });
}

// A setter: the camera's reply for the key, as int (0 when absent).
int setOne(int handle, const char* key, const QVariant& value) {
    return withCamera(handle, [&](ZemCamera* camera) {
        const QString name = QString::fromLatin1(key);
        return camera->requestSetParams({{name, value}}).value(name).toInt();
    });
}

void closeEverything() {
    HandleManager::release();
    delete ACam_Client;
    ACam_Client = nullptr;
}

}  // namespace

extern "C" {

int ZemCameraSdkInit(int) {
    SdkHost::start();
    SdkHost::setShutDownHook(&closeEverything);
    return onHost([] {
        qInfo() << "ZemCameraSdkInit sdkinit";
        // A second initialisation keeps the client it has: two would answer every discovery
        // twice and hold the reply port twice.
        if (!ACam_Client) ACam_Client = new UDP_ACam_Client(nullptr);
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraUnInit(int handle) {
    onHost([handle] {
        int copy = handle;
        HandleManager::get()->deleteHandle(copy);
        return int(ZEMCAMERA_OK);
    });
    return ZEMCAMERA_OK;
}

int ZemCameraPlay(int handle) {
    return withCamera(handle, [](ZemCamera* camera) { return camera->start(); });
}

int ZemCameraStop(int handle) {
    return withCamera(handle, [](ZemCamera* camera) { return camera->stop(); });
}

int ZemCameraImageProcess(int, unsigned char*, unsigned char*, tZemFrameHead*) {
    return ZEMCAMERA_OK;
}

int ZemCameraCommonCall(int handle, const char* key, char* out, unsigned int value) {
    if (!key) return SdkHost::get() ? ZEMCAMERA_E_ARGUMENT : ZEMCAMERA_E_NOT_INITIALISED;
    return withCamera(handle, [&](ZemCamera* camera) {
        camera->commonCall(key, out, value);
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraSetHDR(int handle, int on) {
    return withCamera(handle, [on](ZemCamera* camera) { return camera->setHDR(on != 0); });
}

int ZemCameraRegisterConnectionStatusCallback(int handle, ZemCameraStatusCallback callback,
                                              void* user) {
    return withCamera(handle, [&](ZemCamera* camera) {
        camera->setStatusCallback(callback, user);
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraRebootProcess(int handle) {
    return withCamera(handle, [](ZemCamera* camera) {
        ACam_Client->ActRebootDaemon(camera->identifierText());
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraSetExposureTime(int handle, double value) {
    return setOne(handle, "exposure", value);
}

int ZemCameraSetIspOutFormat(int handle, unsigned int value) {
    return withCamera(handle, [value](ZemCamera* camera) {
        camera->requestSetParams({{QStringLiteral("ispOutFormat"), value}});
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraSetContrast(int handle, int value) {
    return setOne(handle, "contrast", value);
}

int ZemCameraSetAnalogGain(int handle, double value) {
    return setOne(handle, "gain", value);
}

int ZemCameraSetGamma(int handle, int value) {
    return setOne(handle, "gamma", value);
}

int ZemCameraSetSharpness(int handle, int value) {
    return setOne(handle, "sharp", value);
}

}  // extern "C"

int ZemCameraEnumerateDevice(tZemCameraDevInfo* list, INT& count) {
    return onHost([&] {
        const int room = count;
        count = 0;
        if (room > 0 && !list) return int(ZEMCAMERA_E_ARGUMENT);
        ACam_Client->findCamera();
        ACam_Client->ActForceIP();
        const QMap<QString, gvcp_discover_ack_payload> found = ACam_Client->cameras();
        for (auto it = found.cbegin(); it != found.cend(); ++it) {
            qDebug() << "found camera:" << it.key() << nint2string(it->ip) << nint2string(it->mask);
            if (count >= room) continue;  // reported in the log, but there is no room for it
            tZemCameraDevInfo& record = list[count];
            std::memcpy(record.identifier, it->id, sizeof record.identifier);
            record.identifier[sizeof record.identifier - 1] = '\0';
            const QByteArray ip = nint2string(it->ip).toLatin1().left(sizeof record.ip - 1);
            std::memset(record.ip, 0, sizeof record.ip);
            std::memcpy(record.ip, ip.constData(), size_t(ip.size()));
            ++count;
        }
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraInit(tZemCameraDevInfo* info, int, int, int& handle) {
    if (!info) return SdkHost::get() ? ZEMCAMERA_E_ARGUMENT : ZEMCAMERA_E_NOT_INITIALISED;
    return onHost([&] {
        auto* camera = new ZemCamera(info);
        if (!camera->isParamConnected()) {
            delete camera;
            return int(ZEMCAMERA_E_CONNECT);
        }
        return HandleManager::get()->addHandle(camera, handle);
    });
}

int ZemCameraGetImageBuffer(int handle, cv::Mat& image, QJsonObject& head, unsigned int timeoutMs) {
    // Beyond INT_MAX the reactor refuses the wait like any other out-of-range time-out.
    const int timeout = timeoutMs > unsigned(INT_MAX) ? INT_MAX : int(timeoutMs);
    return withCamera(
        handle, [&](ZemCamera* camera) { return camera->requestImage(image, head, timeout); });
}

int ZemCameraRegisterImageCallBack(int handle, ZemCameraImageCallback callback, void* user) {
    return withCamera(handle, [&](ZemCamera* camera) {
        camera->setImageCallback(callback, user);
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraGetParams(int handle, QStringList keys, QVariantMap& out, bool full) {
    return withCamera(handle, [&](ZemCamera* camera) {
        camera->requestGetParams(keys, out, full);
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraSetParams(int handle, QVariantMap params) {
    return withCamera(handle, [&](ZemCamera* camera) {
        camera->requestSetParams(params);
        return int(ZEMCAMERA_OK);
    });
}

int ZemCameraGetParam(int handle, QString key, QVariant& value, bool full) {
    return withCamera(handle, [&](ZemCamera* camera) {
        QVariantMap map;
        camera->requestGetParams({key}, map, full);
        if (map.contains(key)) value = map.value(key);
        return int(ZEMCAMERA_OK);
    });
}
