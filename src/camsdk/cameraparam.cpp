#include "cameraparam.h"

#include <QJsonValue>
#include <QtDebug>
#include <opencv2/imgproc.hpp>

namespace {
const QString kValue = QStringLiteral("value");
}

int CameraParam::initParams(QJsonObject) {
    return 1;
}

void CameraParam::genDefaultConfig() {
    config.insert(
        QStringLiteral("expose"),
        QJsonObject{{kValue, 100}, {QStringLiteral("max"), 200}, {QStringLiteral("min"), 50}});
}

int CameraParam::getParam(QString key, QVariant& value) {
    if (!config.contains(key)) return 0;
    value = config.value(key).toVariant();
    return 1;
}

int CameraParam::getParams(QStringList keys, QVariantMap& out) {
    for (const QString& key : qAsConst(keys))
        if (config.contains(key)) out.insert(key, config.value(key).toVariant());
    return 1;
}

void CameraParam::checkParams(QStringList keys, QVariantMap& out, bool full) {
    for (const QString& key : qAsConst(keys)) {
        if (!config.contains(key)) continue;
        const QJsonObject entry = config.value(key).toObject();
        out.insert(key, full ? QVariant(entry.toVariantMap()) : entry.value(kValue).toVariant());
    }
}

int CameraParam::setParams(QVariantMap params) {
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (config.contains(it.key())) config.insert(it.key(), QJsonValue::fromVariant(it.value()));
    return 1;
}

bool CameraParam::checkParamsType(QVariantMap params) {
    for (const QVariant& value : qAsConst(params)) {
        const int type = value.userType();
        if (type != QMetaType::Int && type != QMetaType::Double && type != QMetaType::QString)
            return false;
    }
    return true;
}

int CameraParam::getCapability(tZemCameraCapbility*) {
    return 1;
}

void CameraImage::setMediaType(QJsonObject head) {
    const QString key = QStringLiteral("mediaType");
    if (head.contains(key)) mediaType = head.value(key).toInt();
}

void CameraImage::tranImageType(cv::Mat in, cv::Mat& out) {
    cv::cvtColor(in, out, cv::COLOR_YUV2GRAY_420);
}

void CameraImage::setImageCallback(ZemCameraImageCallback callback, void* user) {
    QMutexLocker lock(&callbackMutex_);
    imageCallback = callback;
    imageUserData = user;
}

void CameraImage::setStatusCallback(ZemCameraStatusCallback callback, void* user) {
    QMutexLocker lock(&callbackMutex_);
    statusCallback = callback;
    statusUserData = user;
}

bool CameraImage::deliverImage(const cv::Mat& image) {
    ZemCameraImageCallback callback;
    void* user;
    {
        QMutexLocker lock(&callbackMutex_);
        callback = imageCallback;
        user = imageUserData;
    }
    if (!callback) return false;
    callback(image.clone(), user);
    return true;
}

QImage Mat2QImage(const cv::Mat& mat) {
    switch (mat.type() & 0xfff) {
        case CV_8UC3:
            return QImage(mat.data, mat.cols, mat.rows, int(mat.step), QImage::Format_RGB888)
                .rgbSwapped();
        case CV_8UC4:
            return QImage(mat.data, mat.cols, mat.rows, int(mat.step), QImage::Format_ARGB32);
        case CV_8UC1:
            return QImage(mat.data, mat.cols, mat.rows, int(mat.step), QImage::Format_Grayscale8);
        default:
            qDebug() << "ERROR: Mat could not be converted to QImage.";
            return QImage();
    }
}
