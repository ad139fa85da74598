#include "wireformat.h"

#include <QJsonDocument>
#include <QtDebug>

namespace wire {

const char* const kBoundary = "------------------------tcpservreactor";
const char* const kStatusLine = "HTTP/1.1 200 OK";
const char* const kJsonType = "application/json";
const char* const kOctetType = "application/octet-stream";
const char* const kNotHandledMessage = "错误，未处理这条请求！";
const char* const kFileMissingMessage = "未查询到需要获取的图片文件";

namespace {

const QByteArray kCrLf("\r\n");

QByteArray compactJson(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray partHead(const QString& name, const char* contentType) {
    QByteArray bytes(kBoundary);
    bytes += kCrLf;
    bytes += "Content-Disposition: form-data; name=\"" + headerSafe(name).toUtf8() + "\"" + kCrLf;
    bytes += QByteArray("Content-Type: ") + contentType + kCrLf;
    bytes += kCrLf;
    return bytes;
}

}  // namespace

QString headerSafe(const QString& value) {
    QString safe = value;
    safe.remove(QLatin1Char('\r'));
    safe.remove(QLatin1Char('\n'));
    safe.remove(QChar(0));
    return safe;
}

QByteArray firstLine(const CTask_FormData& task) {
    return task.url.isEmpty() ? QByteArray(kStatusLine) : requestLine(task);
}

QByteArray requestLine(const CTask_FormData& task) {
    return QStringLiteral("%1 %2 HTTP/1.1")
        .arg(headerSafe(task.method), headerSafe(task.url))
        .toUtf8();
}

QByteArray head(const QByteArray& first, const CTask_FormData& task, const QByteArray& contentType,
                qint64 contentLength) {
    QByteArray bytes = first + kCrLf;
    bytes += "User-Agent: " + headerSafe(task.uuid).toUtf8() + kCrLf;
    bytes += "Content-Type: " + contentType + kCrLf;
    bytes += "Content-Length: " + QByteArray::number(contentLength) + kCrLf;
    if (!task.deviceId.isEmpty())
        bytes += "Device-ID: " + headerSafe(task.deviceId).toUtf8() + kCrLf;
    bytes += kCrLf;
    return bytes;
}

QByteArray requestJsonBody(const CTask_FormData& task) {
    if (task.values.isEmpty()) return compactJson(QJsonObject());
    return compactJson(task.values.first().toJsonObject());
}

QByteArray replyJsonBody(const CTask_FormData& task, int code, const QString& message) {
    QJsonObject reply;
    reply.insert(QStringLiteral("code"), code);
    reply.insert(QStringLiteral("msg"), message);
    if (!task.values.isEmpty())
        reply.insert(QStringLiteral("result"), task.values.first().toJsonObject());
    return compactJson(reply);
}

QByteArray multipartContentType() {
    return QByteArray("multipart/form-data;boundary=") + kBoundary;
}

QList<QByteArray> multipartBody(const CTask_FormData& task) {
    QList<QByteArray> pieces;
    for (auto it = task.values.cbegin(); it != task.values.cend(); ++it) {
        if (it.value().userType() != QMetaType::QJsonObject) continue;
        pieces << partHead(it.key(), kJsonType) + compactJson(it.value().toJsonObject()) + kCrLf;
    }
    for (auto it = task.mats.cbegin(); it != task.mats.cend(); ++it) {
        cv::Mat image = it.value();
        if (image.empty() || image.elemSize1() != 1) {
            qWarning() << "netdbg: image" << it.key() << "is not an 8-bit image; not sent";
            continue;
        }
        // Pixel bytes are read from the start of the buffer, so rows must lie back to back.
        if (!image.isContinuous()) image = image.clone();
        QJsonObject descriptor;
        descriptor.insert(QStringLiteral("channels"), image.channels());
        descriptor.insert(QStringLiteral("data_type"), QStringLiteral("data_type"));
        descriptor.insert(QStringLiteral("datakey"), it.key());
        descriptor.insert(QStringLiteral("size_height"), image.rows);
        descriptor.insert(QStringLiteral("size_width"), image.cols);
        pieces << partHead(it.key() + QStringLiteral("-info"), kJsonType) +
                      compactJson(descriptor) + kCrLf;
        const qint64 pixelBytes = qint64(image.channels()) * image.cols * image.rows;
        QByteArray data = partHead(it.key(), kOctetType);
        data.reserve(data.size() + int(pixelBytes) + 2);
        data.append(reinterpret_cast<const char*>(image.data), int(pixelBytes));
        data += kCrLf;
        pieces << data;
    }
    pieces << QByteArray(kBoundary) + kCrLf;
    return pieces;
}

}  // namespace wire
