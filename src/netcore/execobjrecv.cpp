#include "execobjrecv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

SCI_ExecObj_Recv_Base::~SCI_ExecObj_Recv_Base() = default;

void SCI_ExecObj_Recv_Base::addBody(const QByteArray& bytes) {
    body.append(bytes);
}

QByteArray SCI_ExecObj_Recv_Base::showBody() const {
    return body;
}

QString SCI_ExecObj_Recv_Base::showHead() const {
    return head;
}

namespace {

const QByteArray kCrLf("\r\n");
const QByteArray kPartHeadEnd("\r\n\r\n");

// Text up to the first zero byte, as UTF-8.
QString textUpToNul(const QByteArray& bytes) {
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

// "Name: value" -> value: the pieces after the first colon joined again, or empty.
QString headerValue(const QString& line, Qt::SplitBehavior behavior) {
    QStringList pieces = line.split(QLatin1Char(':'), behavior);
    if (pieces.size() < 2) return QString();
    pieces.removeFirst();
    return pieces.join(QLatin1Char(':'));
}

QString withoutBlanks(QString text) {
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('\t'));
    return text;
}

// Decimal length with blanks around it; anything that is not a number counts as 0, a negative
// number or one beyond 64 bits as -1 (unusable).
qint64 parseLength(const QString& value) {
    const QString text = value.trimmed();
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (!digits.match(text).hasMatch()) return 0;
    bool ok = false;
    const qint64 length = text.toLongLong(&ok);
    if (!ok || length < 0) return -1;
    return length;
}

struct Part {
    enum Kind { Json, Raw, Text } kind = Text;
    QJsonDocument json;
    QByteArray raw;
    QString text;
};

// The name of a part from its head: the last name="..." of the first line that has one.
QString partName(const QString& partHead) {
    static const QRegularExpression nameRe(QStringLiteral("name=\"(\\S+)\""));
    const QStringList lines = partHead.split(QStringLiteral("\r\n"));
    for (const QString& line : lines) {
        QString name;
        auto matches = nameRe.globalMatch(line);
        while (matches.hasNext()) name = matches.next().captured(1);
        if (!name.isEmpty()) return name;
    }
    return QString();
}

// Builds the image a descriptor announces, or an empty image when the descriptor does not fit
// its pixel part exactly. Only 1, 3 and 4 channels are taken, and the size is computed in 64
// bits, so no descriptor can make the copy read past the pixel part.
cv::Mat imageFromDescriptor(const QJsonObject& descriptor, const QMap<QString, Part>& raws) {
    const QString dataKey = descriptor.value(QStringLiteral("datakey")).toString();
    auto raw = raws.constFind(dataKey);
    if (raw == raws.cend()) return cv::Mat();
    const int channels = descriptor.value(QStringLiteral("channels")).toInt(0);
    const int width = descriptor.value(QStringLiteral("size_width")).toInt(0);
    const int height = descriptor.value(QStringLiteral("size_height")).toInt(0);
    if (channels != 1 && channels != 3 && channels != 4) return cv::Mat();
    if (width <= 0 || height <= 0) return cv::Mat();
    const qint64 bytes = qint64(width) * qint64(height) * qint64(channels);
    if (bytes != raw->raw.size()) return cv::Mat();
    cv::Mat image(height, width, CV_8UC(channels));
    memcpy(image.data, raw->raw.constData(), size_t(bytes));
    return image;
}

}  // namespace

SCI_ExecObj_Recv::SCI_ExecObj_Recv(const QByteArray& headBytes, int session) {
    sessionId = session;
    head = textUpToNul(headBytes);
    const QStringList lines = head.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.contains(QLatin1String("HTTP/1.1"))) {
            const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (line.startsWith(QLatin1String("HTTP/1.1"))) {
                method = QStringLiteral("Response");
                isResponse = true;
            } else if (words.size() >= 3) {
                method = words.at(0);
                url = words.at(1);
            }
        }
        if (line.contains(QLatin1String("User-Agent")))
            userAgent = withoutBlanks(headerValue(line, Qt::SkipEmptyParts));
        if (line.contains(QLatin1String("Content-Type")))
            contentType = headerValue(line, Qt::SkipEmptyParts);
        if (line.contains(QLatin1String("Content-Length")))
            contentLength = parseLength(headerValue(line, Qt::SkipEmptyParts));
        if (line.contains(QLatin1String("User-ID")))
            userId = withoutBlanks(headerValue(line, Qt::SkipEmptyParts));
    }
    formData.url = url;
    formData.uuid = userAgent;
    formData.userId = userId;
    formData.sessionId = sessionId;
}

void SCI_ExecObj_Recv::setDuplex_Info(const QHostAddress& address, quint16 port) {
    formData.peerAddress = address.toString().remove(QStringLiteral("::ffff:"));
    formData.peerPort = port;
}

qint64 SCI_ExecObj_Recv::getNeedLength() const {
    return contentLength - body.size();
}

bool SCI_ExecObj_Recv::analysisIntegrality() {
    if (getNeedLength() > 0) return false;
    const bool hasUrl = !url.isEmpty();
    if ((method == QLatin1String("GET") || method == QLatin1String("PUT")) && hasUrl) return true;
    if (!((method == QLatin1String("POST") && hasUrl) || method == QLatin1String("Response")))
        return false;
    if (contentType.contains(QLatin1String("application/json")))
        return analysisIntegrality_json(body, formData);
    if (contentType.contains(QLatin1String("multipart/form-data"))) {
        const int equals = contentType.indexOf(QLatin1Char('='));
        if (equals < 0) return false;
        const QByteArray boundary = contentType.mid(equals + 1).toUtf8();
        if (boundary.isEmpty()) return false;
        return analysisIntegrality_multipart(boundary, body, formData);
    }
    if (contentType.contains(QLatin1String("application/octet-stream")))
        return analysisIntegrality_file(body, formData);
    return false;
}

CTask_FormData SCI_ExecObj_Recv::getFormData() const {
    return formData;
}

bool SCI_ExecObj_Recv::analysisIntegrality_json(const QByteArray& bytes, CTask_FormData& task) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) return false;
    task.values.insert(QStringLiteral("body"), QVariant::fromValue(document.object()));
    return true;
}

bool SCI_ExecObj_Recv::analysisIntegrality_file(const QByteArray& bytes, CTask_FormData& task) {
    task.byteArrays.clear();
    task.byteArrays.insert(QString(), bytes);
    return true;
}

bool SCI_ExecObj_Recv::analysisIntegrality_multipart(const QByteArray& boundary,
                                                     const QByteArray& bytes,
                                                     CTask_FormData& task) {
    QMap<QString, Part> named;  // JSON and text parts
    QMap<QString, Part> raws;
    int pos = 0;
    while (pos < bytes.size()) {
        const int found = bytes.indexOf(boundary, pos);
        if (found < 0) break;
        const QByteArray part = bytes.mid(pos, found - pos);
        pos = found + boundary.size() + 2;  // the CR LF after the delimiter
        const int headEnd = part.indexOf(kPartHeadEnd);
        if (part.isEmpty() || headEnd < 0) continue;
        const QString partHead = QString::fromUtf8(part.left(headEnd));
        QByteArray content = part.mid(headEnd + kPartHeadEnd.size());
        content.chop(2);

        QString name;
        QString type;
        for (const QString& line : partHead.split(QStringLiteral("\r\n"))) {
            if (line.contains(QLatin1String("Content-Disposition"))) {
                name = partName(partHead);
            } else if (line.contains(QLatin1String("Content-Type"))) {
                const QStringList pieces = line.split(QLatin1Char(':'));
                if (pieces.size() == 2) type = pieces.at(1);
            }
        }
        if (name.isEmpty()) continue;
        Part decoded;
        if (type.contains(QLatin1String("application/json"))) {
            QJsonParseError error;
            decoded.json = QJsonDocument::fromJson(content, &error);
            if (error.error != QJsonParseError::NoError) continue;
            decoded.kind = Part::Json;
            named.insert(name, decoded);
        } else if (type.contains(QLatin1String("application/octet-stream"))) {
            decoded.kind = Part::Raw;
            decoded.raw = content;
            raws.insert(name, decoded);
        } else {
            decoded.kind = Part::Text;
            decoded.text = textUpToNul(content);
            named.insert(name, decoded);
        }
    }

    for (auto it = named.cbegin(); it != named.cend(); ++it) {
        const Part& part = it.value();
        if (part.kind == Part::Text) {
            task.values.insert(it.key(), part.text);
            continue;
        }
        const bool descriptor = part.json.isObject() &&
                                part.json.object().contains(QStringLiteral("data_type")) &&
                                it.key().contains(QLatin1String("-info"));
        if (!descriptor) {
            if (part.json.isArray())
                task.values.insert(it.key(), QVariant::fromValue(part.json.array()));
            else
                task.values.insert(it.key(), QVariant::fromValue(part.json.object()));
            continue;
        }
        const cv::Mat image = imageFromDescriptor(part.json.object(), raws);
        if (!image.empty()) task.mats.insert(it.key(), image);
    }
    return true;
}
