#pragma once
// The pieces a camera object is made of: the local copy of the camera's parameter set,
// the picture media type with the user's callbacks, and the picture-to-QImage wrapper.

#include <QImage>
#include <QJsonObject>
#include <QMutex>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <opencv2/core.hpp>

#include "zemcamera.h"

class CameraParam {
public:
    CameraParam() = default;

    int initParams(QJsonObject);
    // Sets "expose" to {"value": 100, "min": 50, "max": 200}, leaving the other entries.
    void genDefaultConfig();
    // 1 with the whole entry as a map when the set holds key, else 0.
    int getParam(QString key, QVariant& value);
    int getParams(QStringList keys, QVariantMap& out);
    // Keys of `keys` the set holds, in order: their "value" (full: the whole entry) into out.
    void checkParams(QStringList keys, QVariantMap& out, bool full);
    // Replaces the entries the set holds by the plain values.
    int setParams(QVariantMap params);
    // Every value an Int, Double or String.
    bool checkParamsType(QVariantMap params);
    int getCapability(tZemCameraCapbility*);

    QJsonObject config;
};

class CameraImage {
public:
    CameraImage() = default;

    void setMediaType(QJsonObject head);
    // YUV 4:2:0 to one-channel grey.
    void tranImageType(cv::Mat in, cv::Mat& out);

    // The callbacks are set by the caller's thread and used by the pump thread: a callback is
    // only ever called with its own user pointer.
    void setImageCallback(ZemCameraImageCallback callback, void* user);
    void setStatusCallback(ZemCameraStatusCallback callback, void* user);
    // Calls the image callback, when one is registered; false when none is.
    bool deliverImage(const cv::Mat& image);

    int mediaType = 0;

private:
    QMutex callbackMutex_;
    ZemCameraImageCallback imageCallback = nullptr;
    void* imageUserData = nullptr;
    ZemCameraStatusCallback statusCallback = nullptr;
    void* statusUserData = nullptr;
};

// Wraps an 8-bit picture of 1, 3 or 4 channels; null (with a debug message) otherwise. Only the
// 3-channel result owns its pixels; the others are valid while `mat` lives.
QImage Mat2QImage(const cv::Mat& mat);
