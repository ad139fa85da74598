#include "pacedtransfer.h"

#include <QtDebug>

#include "netlimits.h"

PacedTransfer::PacedTransfer(QTcpSocket* socket, std::unique_ptr<QIODevice> source, qint64 length,
                             int deadlineMs, const QString& what)
    : QObject(socket),
      socket_(socket),
      source_(std::move(source)),
      remaining_(length),
      what_(what) {
    deadline_.setSingleShot(true);
    deadline_.setInterval(deadlineMs);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        qWarning() << "netdbg: transfer of" << what_ << "not done in time," << remaining_
                   << "bytes left; connection closed";
        if (socket_) socket_->abort();
        finish(false);
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] { feed(); });
    connect(socket, &QTcpSocket::disconnected, this, [this] { finish(remaining_ == 0); });
}

PacedTransfer::~PacedTransfer() = default;

void PacedTransfer::start() {
    deadline_.start();
    feed();
}

void PacedTransfer::feed() {
    if (finished_) return;
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
        finish(false);
        return;
    }
    while (remaining_ > 0 && socket_->bytesToWrite() < netlimits::kPacedChunkBytes) {
        const QByteArray chunk = source_->read(qMin(remaining_, netlimits::kPacedChunkBytes));
        if (chunk.isEmpty()) {
            // The source ended early (a file that shrank): the announced length cannot be met.
            qWarning() << "netdbg: source of" << what_ << "ended" << remaining_
                       << "bytes early; connection closed";
            socket_->abort();
            finish(false);
            return;
        }
        const qint64 taken = socket_->write(chunk);
        if (taken != chunk.size()) {
            socket_->abort();
            finish(false);
            return;
        }
        remaining_ -= taken;
    }
    if (remaining_ == 0) finish(true);
}

void PacedTransfer::finish(bool complete) {
    if (finished_) return;
    finished_ = true;
    deadline_.stop();
    if (source_) source_->close();
    if (socket_) disconnect(socket_, nullptr, this, nullptr);
    emit finished(complete);
    deleteLater();
}
