#include "session.h"

#include <sys/socket.h>

#include <QJsonObject>
#include <QThread>
#include <QtDebug>
#include <cerrno>
#include <chrono>
#include <optional>

#include "headcut.h"
#include "pacedtransfer.h"
#include "tcpreactor.h"

namespace {
qint64 monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

Session::Session(MCore::TcpReactor* reactor, QTcpSocket* socket, int id, const NetLimits& limits)
    : QObject(nullptr),
      id_(id),
      reactor_(reactor),
      limits_(limits),
      serverSide_(reactor && reactor->isServer()),
      lastActivity_(monotonicNs()) {
    qRegisterMetaType<SCI_ExecObj_Send>("SCI_ExecObj_Send");
    messageTimer_.setSingleShot(true);
    connect(&messageTimer_, &QTimer::timeout, this, &Session::onMessageTimeout);
    if (!socket) return;
    socket_.reset(socket);
    socket_->setParent(nullptr);
    socket_->setReadBufferSize(netlimits::kSocketReadBufferBytes);
    peer_ = socket_->peerAddress();
    peerPort_ = socket_->peerPort();
    connected_ = socket_->state() == QAbstractSocket::ConnectedState;
    connect(socket_.get(), &QTcpSocket::readyRead, this, &Session::onReadyRead);
    connect(socket_.get(), &QTcpSocket::bytesWritten, this, &Session::onBytesWritten);
    connect(socket_.get(), &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                connected_ = state == QAbstractSocket::ConnectedState;
                if (!connected_) {
                    closing_ = true;
                    messageTimer_.stop();
                }
            });
    armTimer(Waiting::Nothing);
    // Bytes that arrived before the session existed.
    if (socket_->bytesAvailable() > 0)
        QMetaObject::invokeMethod(
            this, [this] { onReadyRead(); }, Qt::QueuedConnection);
}

Session::~Session() {
    {
        QMutexLocker lock(&queueMutex);
        queue.clear();
        working = false;
    }
    if (queueThread_.joinable()) queueThread_.join();
    if (reactor_) reactor_->forgetSession(id_, this);
    if (socket_) {
        disconnect(socket_.get(), nullptr, this, nullptr);
        // Messages handed to the socket just before its reactor stopped (a restart) are still in
        // its buffer: they go to the kernel first, without waiting for a peer that may not read.
        // A half-sent file is not completed; its peer will see the connection end.
        if (!transfer_ && socket_->state() == QAbstractSocket::ConnectedState) socket_->flush();
        socket_->abort();
        socket_.reset();
    }
}

void Session::onReadyRead() {
    // A nested event loop (a handler waiting in post_sync on this thread) may deliver another
    // readyRead while this one is still working through the buffer; the outer call reads on.
    if (reading_) return;
    reading_ = true;
    while (socket_ && !closing_ && !paused_) {
        const QByteArray more = socket_->readAll();
        if (more.isEmpty() && buffer_.isEmpty()) break;
        if (!more.isEmpty()) lastActivity_ = monotonicNs();
        buffer_.append(more);
        analyseBuffer_Setup1(peer_, peerPort_);
        if (socket_->bytesAvailable() == 0) break;
    }
    reading_ = false;
}

bool Session::writeBacklogged() const {
    return socket_ && socket_->bytesToWrite() > limits_.maxPendingWriteBytes;
}

bool Session::peerOpen() const {
    if (!socket_ || !connected_ || closing_) return false;
    // Requests still to take keep it open even when the peer has shut its sending side.
    if (socket_->bytesAvailable() > 0 || !buffer_.isEmpty()) return true;
    char byte;
    const ssize_t peeked =
        ::recv(int(socket_->socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked > 0 || (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

bool Session::betweenMessages() const {
    return !headParsed_ && buffer_.isEmpty() && !paused_ && !transfer_ && queuedSends_.isEmpty() &&
           (!socket_ || socket_->bytesToWrite() == 0);
}

void Session::evict() {
    closeForLimit(QStringLiteral("idle the longest, to make room for a new client"), false);
}

void Session::onBytesWritten() {
    lastActivity_ = monotonicNs();
    if (timerPhase_ == Waiting::Idle) armTimer(Waiting::Nothing);
    if (!paused_ || writeBacklogged()) return;
    if (socket_->bytesToWrite() > limits_.maxPendingWriteBytes / 2) return;
    paused_ = false;
    onReadyRead();
}

void Session::analyseBuffer_Setup1(const QHostAddress& peer, quint16 port) {
    peer_ = peer;
    peerPort_ = port;
    bool bodyCarriedOver = headParsed_;
    while (!closing_) {
        if (!headParsed_) {
            if (buffer_.isEmpty()) {
                armTimer(Waiting::Nothing);
                return;
            }
            if (writeBacklogged()) {
                // The peer does not read its replies: stop reading until it does.
                paused_ = true;
                armTimer(Waiting::Nothing);
                return;
            }
            if (!takeHead()) return;
        } else {
            if (!current_) {
                headParsed_ = false;
                continue;
            }
            if (current_->getNeedLength() >= 1 && !buffer_.isEmpty()) {
                if (bodyCarriedOver)
                    reactor_->getTcpTask_dofunc(current_->userAgent, "tskup_recv_times", {});
                moveBodyBytes();
            }
        }
        bodyCarriedOver = false;
        if (!current_) continue;
        if (current_->getNeedLength() > 0) {
            armTimer(Waiting::Body);
            return;
        }
        reactor_->getTcpTask_dofunc(current_->userAgent, "tskup_finishrecv_timing", {});
        headParsed_ = false;
        analyseBuffer_Setup2_5();
        current_.reset();
        armTimer(Waiting::Nothing);
    }
}

bool Session::takeHead() {
    QByteArray head;
    switch (wire::cutHead(&buffer_, limits_.maxHeadBytes, &head)) {
        case wire::HeadCut::NeedMore:
            armTimer(Waiting::Head);
            return false;
        case wire::HeadCut::TooLong:
            closeForLimit(QStringLiteral("head longer than %1 bytes").arg(limits_.maxHeadBytes));
            return false;
        case wire::HeadCut::Blank:
            // Blank lines between messages are not a message.
            return true;
        case wire::HeadCut::Head:
            break;
    }
    current_ = std::make_shared<SCI_ExecObj_Recv>(head, id_);
    if (!current_->hasUsableLength() || current_->contentLength > limits_.maxBodyBytes) {
        closeForLimit(QStringLiteral("announced body of %1 bytes (limit %2)")
                          .arg(current_->contentLength < 0
                                   ? QStringLiteral("an unusable number of")
                                   : QString::number(current_->contentLength))
                          .arg(limits_.maxBodyBytes));
        current_.reset();
        return false;
    }
    current_->setDuplex_Info(peer_, peerPort_);
    headParsed_ = true;
    const QString& taskId = current_->userAgent;
    if (!current_->url.isEmpty()) reactor_->append_TcpTask(taskId);
    reactor_->getTcpTask_dofunc(taskId, "tskup_firstrecv_timing", {});
    reactor_->getTcpTask_dofunc(taskId, "tskup_chg_recvpacklength",
                                {QVariant(int(qMin<qint64>(current_->contentLength, INT_MAX)))});
    if (current_->getNeedLength() > 0) moveBodyBytes();
    return true;
}

void Session::moveBodyBytes() {
    const qint64 need = current_->getNeedLength();
    const int count = int(qMin<qint64>(need, buffer_.size()));
    if (count <= 0) return;
    if (count == buffer_.size()) {
        current_->addBody(buffer_);
        buffer_.clear();
    } else {
        current_->addBody(buffer_.left(count));
        buffer_.remove(0, count);
    }
}

void Session::analyseBuffer_Setup2_5() {
    if (!current_) return;
    if (!current_->analysisIntegrality()) {
        if (!current_->url.isEmpty()) reactor_->remove_TaskFromList(current_->userAgent);
        handleUndecodable(*current_);
        return;
    }
    CTask_FormData record = current_->getFormData();
    record.taskInfo = reactor_->getTcpTask(record.uuid);
    if (!record.url.isEmpty()) {
        reactor_->remove_TaskFromList(record.uuid);
        emit sigRequest(record);
    } else {
        emit sigResponse_sync(record);
    }
}

void Session::handleUndecodable(const SCI_ExecObj_Recv& message) {
    // A server answers, so that its client does not wait for an answer that never comes; a
    // reply is never answered, and a client sends nothing its server did not ask for.
    const bool answer =
        serverSide_ && !message.isResponse && !message.head.startsWith(QLatin1String("HTTP/"));
    if (!undecodableLogged_) {
        undecodableLogged_ = true;
        qWarning().noquote() << "netdbg: message from" << message.formData.peerAddress << "("
                             << message.head.section(QStringLiteral("\r\n"), 0, 0).left(120)
                             << ") cannot be decoded;"
                             << (answer ? "answered with 404" : "dropped");
    }
    if (!answer) return;
    CTask_FormData reply;
    reply.uuid = message.userAgent;
    reply.sessionId = id_;
    reply.handled = 0;
    reply.values.insert(QStringLiteral("result"), QVariant::fromValue(QJsonObject()));
    reactor_->answerInOrder(reply);
}

void Session::armTimer(Waiting phase) {
    if (phase == Waiting::Nothing || paused_) {
        // Between messages only the idle limit of a server's connection runs; while the peer
        // does not read its replies, nothing does.
        if (!paused_ && serverSide_ && limits_.idleTimeoutMs > 0) {
            timerPhase_ = Waiting::Idle;
            messageTimer_.start(limits_.idleTimeoutMs);
        } else {
            messageTimer_.stop();
            timerPhase_ = Waiting::Nothing;
        }
        return;
    }
    // The time runs from the first byte of the head, and from the head for the body; more
    // bytes do not restart it.
    if (messageTimer_.isActive() && timerPhase_ == phase) return;
    timerPhase_ = phase;
    messageTimer_.start(phase == Waiting::Head ? limits_.headTimeoutMs : limits_.bodyTimeoutMs);
}

void Session::onMessageTimeout() {
    if (timerPhase_ == Waiting::Idle) {
        if (betweenMessages())
            closeForLimit(QStringLiteral("idle for %1 ms").arg(limits_.idleTimeoutMs), false);
        else
            armTimer(Waiting::Nothing);
        return;
    }
    if (timerPhase_ == Waiting::Head)
        closeForLimit(QStringLiteral("head not complete within %1 ms").arg(limits_.headTimeoutMs));
    else if (timerPhase_ == Waiting::Body)
        closeForLimit(QStringLiteral("body not complete within %1 ms").arg(limits_.bodyTimeoutMs));
}

void Session::closeForLimit(const QString& reason, bool warn) {
    if (closing_) return;
    closing_ = true;
    messageTimer_.stop();
    const QString line = QStringLiteral("netdbg: connection %1 from %2:%3 closed: %4")
                             .arg(id_)
                             .arg(peer_.toString().remove(QStringLiteral("::ffff:")))
                             .arg(peerPort_)
                             .arg(reason);
    if (warn)
        qWarning().noquote() << line;
    else
        qInfo().noquote() << line;
    buffer_.clear();
    current_.reset();
    headParsed_ = false;
    if (socket_) socket_->abort();
}

int Session::SlotSendAction(SCI_ExecObj_Send message) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, "SlotSendAction", Qt::QueuedConnection,
                                  Q_ARG(SCI_ExecObj_Send, message));
        return 0;
    }
    if (!socket_ || closing_) return 1;
    if (transfer_) {
        // Writes never interleave with a running transfer: they wait for its end.
        if (queuedSends_.size() >= netlimits::kMaxQueuedSends) {
            qWarning() << "netdbg: connection" << id_ << "has" << queuedSends_.size()
                       << "messages waiting behind a transfer; message dropped";
            return 1;
        }
        queuedSends_.append(message);
        return 1;
    }
    writeNow(message);
    return 1;
}

void Session::writeNow(SCI_ExecObj_Send& message) {
    PacedTransfer* transfer = message.SerializeWrite(socket_.get());
    if (!transfer) return;
    transfer_ = transfer;
    connect(transfer, &PacedTransfer::finished, this, &Session::writeQueued);
}

void Session::writeQueued() {
    transfer_ = nullptr;
    while (!queuedSends_.isEmpty() && !transfer_ && socket_ && !closing_) {
        SCI_ExecObj_Send next = queuedSends_.takeFirst();
        writeNow(next);
    }
}

void Session::queueMessage(const SCI_ExecObj_Recv& message) {
    QMutexLocker lock(&queueMutex);
    queue.append(message);
}

void Session::analyseBuffer_Setup2() {
    QMutexLocker lock(&queueMutex);
    if (working) return;
    // A thread that found the queue empty has cleared `working` and only returns.
    if (queueThread_.joinable()) queueThread_.join();
    working = true;
    queueThread_ = std::thread([this] { run(); });
}

void Session::run() {
    while (working) {
        std::this_thread::sleep_for(std::chrono::milliseconds(netlimits::kQueuedModePauseMs));
        std::optional<SCI_ExecObj_Recv> message;
        {
            QMutexLocker lock(&queueMutex);
            if (queue.isEmpty()) {
                working = false;
                return;
            }
            message.emplace(queue.takeFirst());
        }
        if (!message->analysisIntegrality()) continue;
        const CTask_FormData record = message->getFormData();
        // The reactor's handlers are connected directly and keep their tables on the session's
        // thread: the record is handed over there, where queued calls keep their order.
        QMetaObject::invokeMethod(
            this,
            [this, record] {
                if (!record.url.isEmpty())
                    emit sigRequest(record);
                else
                    emit sigResponse_sync(record);
            },
            Qt::QueuedConnection);
    }
}
