#pragma once
// Client library for networked smart cameras (libzemcamera).
//
// A program finds the cameras on its local networks, opens one by the record enumeration gave
// it, receives an integer handle and drives the camera by that handle: picture stream to a
// callback, single pictures, parameters and commands. The calling program needs no Qt
// application object of its own: when it has none, the library runs one on a thread of its
// own. Every call is carried out on the library's own thread, one call at a time, so calls
// may come from any thread; a call waits for the one before it.
//
// Order of use: ZemCameraSdkInit once, ZemCameraEnumerateDevice, ZemCameraInit per camera,
// the Register functions, ZemCameraPlay, pictures and parameters, ZemCameraStop,
// ZemCameraUnInit per handle. The image callback runs on the camera's own pump thread and
// must not call these functions (UnInit waits for that thread).

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <opencv2/core.hpp>

#define ZEMCAMERA_API __attribute__((visibility("default")))

#ifndef ZEMCAMERA_NO_INT_TYPEDEF
typedef int INT;
#endif

// Results of the functions (returned as int).
enum ZemCameraSdkStatus {
    ZEMCAMERA_OK = 0,
    // The camera's picture link cannot be opened.
    ZEMCAMERA_E_PICTURE_LINK = -1,
    // The camera's link is down (ZemCameraStop: the picture link, ZemCameraSetHDR: the
    // parameter link).
    ZEMCAMERA_E_LINK_DOWN = -2,
    // ZemCameraSdkInit has not been called.
    ZEMCAMERA_E_NOT_INITIALISED = -3,
    // The camera answered the picture request without a picture.
    ZEMCAMERA_E_NO_PICTURE = -4,
    // The parameter link to the camera failed to open; no handle issued.
    ZEMCAMERA_E_CONNECT = -5,
    // The handle names no open camera.
    ZEMCAMERA_E_HANDLE = -6,
    // A required pointer argument is null.
    ZEMCAMERA_E_ARGUMENT = -7,
    // The picture exchange failed: no reply in time, no live connection, or a time-out outside
    // 1..60000 ms.
    ZEMCAMERA_E_EXCHANGE = -12,
};

// A camera as enumeration reports it (292 bytes).
typedef struct tZemCameraDevInfo {
    char reserved0[224];
    char identifier[32];  // the camera's discovery identifier, zero-terminated
    char ip[32];          // IPv4 address, dotted, zero-terminated
    char reserved1[4];
} tZemCameraDevInfo;

typedef struct tZemFrameHead tZemFrameHead;
typedef struct tZemCameraCapbility tZemCameraCapbility;

// Called on the camera's pump thread with every picture.
typedef void (*ZemCameraImageCallback)(cv::Mat image, void* user);
typedef void (*ZemCameraStatusCallback)(unsigned int, unsigned int, void* user);

extern "C" {
// 0. The argument is not used. A second call changes nothing and returns 0.
ZEMCAMERA_API int ZemCameraSdkInit(int);
// 0; closes the camera and frees the handle (an unknown handle is ignored).
ZEMCAMERA_API int ZemCameraUnInit(int handle);
// Starts the picture stream: 0, -6.
ZEMCAMERA_API int ZemCameraPlay(int handle);
// Stops the picture stream: 0, -2 when the pump's picture link is down, -6.
ZEMCAMERA_API int ZemCameraStop(int handle);
// Does nothing; 0.
ZEMCAMERA_API int ZemCameraImageProcess(int, unsigned char*, unsigned char*, tZemFrameHead*);
// Sends the command {key: value}: 0, -6, -7 (key null). out is not written.
ZEMCAMERA_API int ZemCameraCommonCall(int handle, const char* key, char* out, unsigned int value);
// 0, -2, -6.
ZEMCAMERA_API int ZemCameraSetHDR(int handle, int on);
// 0, -6.
ZEMCAMERA_API int ZemCameraRegisterConnectionStatusCallback(int handle,
                                                            ZemCameraStatusCallback callback,
                                                            void* user);
// Asks the cameras on this camera's network to restart their service: 0, -6.
ZEMCAMERA_API int ZemCameraRebootProcess(int handle);
// Setters: the value the camera reports for the key after the change (0 when it reports none
// or the link is down); -6 for an unknown handle.
ZEMCAMERA_API int ZemCameraSetExposureTime(int handle, double value);
ZEMCAMERA_API int ZemCameraSetIspOutFormat(int handle, unsigned int value);  // 0 or -6
ZEMCAMERA_API int ZemCameraSetContrast(int handle, int value);
ZEMCAMERA_API int ZemCameraSetAnalogGain(int handle, double value);
ZEMCAMERA_API int ZemCameraSetGamma(int handle, int value);
ZEMCAMERA_API int ZemCameraSetSharpness(int handle, int value);
}

// Discovers the cameras (about half a second). count is in and out: the room of list on the
// way in, the records written on the way out; no record is written past the room. 0, -3, -7.
ZEMCAMERA_API int ZemCameraEnumerateDevice(tZemCameraDevInfo* list, INT& count);
// Opens the camera of the record: 0 with the new handle, -3, -5, -7. The two ints are not used.
ZEMCAMERA_API int ZemCameraInit(tZemCameraDevInfo* info, int, int, int& handle);
// One picture and its header, waiting at most timeoutMs: 0, -1, -4, -6, -12. image and head are
// left as they were unless 0 is returned.
ZEMCAMERA_API int ZemCameraGetImageBuffer(int handle, cv::Mat& image, QJsonObject& head,
                                          unsigned int timeoutMs);
// 0, -6.
ZEMCAMERA_API int ZemCameraRegisterImageCallBack(int handle, ZemCameraImageCallback callback,
                                                 void* user);
// Reads the camera's parameters and writes the keys it has into out: their values, or with
// full their {"value", "min", "max"} maps. Keys it lacks leave out as it was. 0, -6.
ZEMCAMERA_API int ZemCameraGetParams(int handle, QStringList keys, QVariantMap& out, bool full);
// 0, -6.
ZEMCAMERA_API int ZemCameraSetParams(int handle, QVariantMap params);
// As ZemCameraGetParams for one key; value is left as it was when the camera lacks the key.
ZEMCAMERA_API int ZemCameraGetParam(int handle, QString key, QVariant& value, bool full);
