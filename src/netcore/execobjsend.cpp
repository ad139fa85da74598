#include "execobjsend.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QtDebug>

#include "netclock.h"
#include "netlimits.h"
#include "pacedtransfer.h"
#include "wireformat.h"

namespace {

// Timing of multipart sends, shared by every sender of the process.
class ImageSendReport {
public:
    void add(qint64 elapsedMs) {
        QMutexLocker lock(&mutex_);
        const qint64 now = netcore::nowMs();
        if (lastReportMs_ < 0) lastReportMs_ = now;
        const double seconds = elapsedMs / 1000.0;
        sumSeconds_ += seconds;
        minSeconds_ = minSeconds_ == 0 ? seconds : qMin(minSeconds_, seconds);
        maxSeconds_ = maxSeconds_ == 0 ? seconds : qMax(maxSeconds_, seconds);
        ++count_;
        if (count_ % netlimits::kImageSendReportEvery != 0) return;
        const double every = netlimits::kImageSendReportEvery;
        const double spanMs = qMax<qint64>(now - lastReportMs_, 1);
        qInfo().noquote()
            << "ImgSend_Report --send:"
            << QStringLiteral("(%1)").arg(sumSeconds_ / every, 0, 'f', 3) << "--min/max:"
            << QStringLiteral("(%1 / %2)").arg(maxSeconds_, 0, 'f', 3).arg(minSeconds_, 0, 'f', 3)
            << "--fps:" << 1000.0 / (spanMs / every);
        lastReportMs_ = now;
        sumSeconds_ = minSeconds_ = maxSeconds_ = 0;
    }

private:
    QMutex mutex_;
    double sumSeconds_ = 0;
    double minSeconds_ = 0;
    double maxSeconds_ = 0;
    qint64 count_ = 0;
    qint64 lastReportMs_ = -1;
};

ImageSendReport& imageSendReport() {
    static ImageSendReport report;
    return report;
}

}  // namespace

SCI_ExecObj_Send::SCI_ExecObj_Send() : createdAt(netcore::nowMs()) {}

SCI_ExecObj_Send::SCI_ExecObj_Send(const CTask_FormData& record)
    : createdAt(netcore::nowMs()), task(record) {}

bool SCI_ExecObj_Send::canWrite() const {
    return socket && socket->state() == QAbstractSocket::ConnectedState;
}

PacedTransfer* SCI_ExecObj_Send::SerializeWrite(QTcpSocket* target) {
    socket = target;
    PacedTransfer* transfer = nullptr;
    int code = 0;
    QString message = QStringLiteral("OK");
    if (task.handled == 0) {
        code = 404;
        message = QString::fromUtf8(wire::kNotHandledMessage);
    }
    switch (task.getTaskPkgType()) {
        case kPkgJson:
            if (task.url.isEmpty())
                Integrality_ResponseJson(task, code, message);
            else
                Integrality_RequestJson(task);
            break;
        case kPkgMultipart: {
            QElapsedTimer timer;
            timer.start();
            Integrality_Mat(task);
            imageSendReport().add(timer.elapsed());
            break;
        }
        case kPkgRaw: {
            const QString key = task.byteArrays.firstKey();
            const QByteArray value = task.byteArrays.first();
            if (!key.isEmpty() && QFileInfo(key).isFile()) {
                transfer = Integrality_ResponseFile(task);
            } else if (key.isEmpty() && !value.isEmpty()) {
                Integrality_ResponseBinaryStream(task);
            } else if (task.url.isEmpty()) {
                Integrality_ResponseJson(task, 1, QString::fromUtf8(wire::kFileMissingMessage));
            }
            break;
        }
        default:
            break;
    }
    socket = nullptr;
    return transfer;
}

void SCI_ExecObj_Send::Integrality_RequestJson(const CTask_FormData& record) {
    if (!canWrite()) return;
    const QByteArray body = wire::requestJsonBody(record);
    socket->write(wire::head(wire::requestLine(record), record, wire::kJsonType, body.size()) +
                  body);
}

void SCI_ExecObj_Send::Integrality_ResponseJson(const CTask_FormData& record, int code,
                                                const QString& message) {
    if (!canWrite()) return;
    const QByteArray body = wire::replyJsonBody(record, code, message);
    socket->write(wire::head(wire::kStatusLine, record, wire::kJsonType, body.size()) + body);
}

void SCI_ExecObj_Send::Integrality_Mat(const CTask_FormData& record) {
    if (!canWrite()) return;
    const QList<QByteArray> pieces = wire::multipartBody(record);
    qint64 length = 0;
    for (const QByteArray& piece : pieces) length += piece.size();
    socket->write(
        wire::head(wire::firstLine(record), record, wire::multipartContentType(), length));
    for (const QByteArray& piece : pieces) socket->write(piece);
}

void SCI_ExecObj_Send::Integrality_ResponseBinaryStream(const CTask_FormData& record) {
    if (!canWrite() || record.byteArrays.isEmpty()) return;
    const QByteArray& body = record.byteArrays.first();
    socket->write(wire::head(wire::firstLine(record), record, wire::kOctetType, body.size()));
    socket->write(body);
}

PacedTransfer* SCI_ExecObj_Send::Integrality_ResponseFile(const CTask_FormData& record) {
    if (record.byteArrays.isEmpty()) return nullptr;
    auto file = std::make_unique<QFile>(record.byteArrays.firstKey());
    if (!file->open(QIODevice::ReadOnly)) return nullptr;
    const qint64 size = file->size();
    if (size > netlimits::kMaxFileBodyBytes) {
        qWarning() << "netdbg: file" << file->fileName() << "is too large to send";
        return nullptr;
    }
    if (!canWrite()) return nullptr;
    const QString name = file->fileName();
    socket->write(wire::head(wire::firstLine(record), record, wire::kOctetType, size));
    auto* transfer =
        new PacedTransfer(socket, std::move(file), size, netlimits::kFileTransferTimeoutMs, name);
    transfer->start();
    return transfer->isFinished() ? nullptr : transfer;
}

PacedTransfer* SCI_ExecObj_Send::SendFixLand(const QByteArray& data) {
    if (!canWrite()) return nullptr;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    auto* transfer = new PacedTransfer(socket, std::move(buffer), data.size(),
                                       netlimits::kFixLandTimeoutMs, QStringLiteral("data"));
    transfer->start();
    return transfer->isFinished() ? nullptr : transfer;
}
