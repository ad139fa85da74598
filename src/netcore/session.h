#pragma once
// One TCP connection of the message core: cuts the incoming bytes into messages, hands the
// decoded records to its reactor and writes the messages the reactor hands it. Every part of
// its work runs on the reactor thread that created it.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "execobjrecv.h"
#include "execobjsend.h"
#include "netlimits.h"
#include "taskformdata.h"

namespace MCore {
class TcpReactor;
}
class PacedTransfer;

class Session : public QObject {
    Q_OBJECT
public:
    // Takes ownership of `socket` (created or accepted on the calling thread).
    Session(MCore::TcpReactor* reactor, QTcpSocket* socket, int id,
            const NetLimits& limits = NetLimits());
    ~Session() override;

    int getId() const { return id_; }
    QTcpSocket* getSocket() const { return socket_.get(); }
    // The socket is present and connected. Safe to call from any thread.
    bool isWorking() const { return connected_.load(); }

    // The peer has not closed its side (looked at without reading). Session's thread only.
    bool peerOpen() const;
    // No message is half received, and nothing is still being written.
    bool betweenMessages() const;
    // Monotonic time (ns) of the last bytes received or written.
    qint64 lastActivity() const { return lastActivity_; }
    // Closes the connection to make room for a new client.
    void evict();

    // Takes what has arrived and completes every whole message in it.
    void analyseBuffer_Setup1(const QHostAddress& peer, quint16 port);
    // Decodes the complete current message and hands it on. One that cannot be decoded is
    // answered with 404 by a server's session and dropped by a client's.
    void analyseBuffer_Setup2_5();

    // --- queued mode: off unless switched on; the read step above completes messages itself ---
    // Puts a complete message behind those waiting for the queued mode. Any thread.
    void queueMessage(const SCI_ExecObj_Recv& message);
    // Starts the queued mode's thread unless it runs: it hands the waiting messages on in their
    // order and ends when none is left.
    void analyseBuffer_Setup2();

signals:
    void sigResponse_sync(CTask_FormData response);
    void sigRequest(CTask_FormData request);

public slots:
    // Writes a message. On the session's thread it writes at once and returns 1; from any other
    // thread the write is queued to the session's thread and 0 is returned.
    int SlotSendAction(SCI_ExecObj_Send message);

private:
    enum class Waiting { Nothing, Head, Body, Idle };

    void onReadyRead();
    void onBytesWritten();
    bool takeHead();
    void moveBodyBytes();
    void armTimer(Waiting phase);
    void onMessageTimeout();
    void closeForLimit(const QString& reason, bool warn = true);
    void handleUndecodable(const SCI_ExecObj_Recv& message);
    void writeNow(SCI_ExecObj_Send& message);
    void writeQueued();
    bool writeBacklogged() const;

    const int id_;
    MCore::TcpReactor* const reactor_;
    const NetLimits limits_;
    // Accepted by a server (not opened by a client): answers what it cannot decode, and is
    // closed when idle.
    const bool serverSide_;
    std::unique_ptr<QTcpSocket> socket_;
    std::atomic<bool> connected_{false};
    QHostAddress peer_;
    quint16 peerPort_ = 0;

    QByteArray buffer_;
    std::shared_ptr<SCI_ExecObj_Recv> current_;
    bool headParsed_ = false;
    bool reading_ = false;
    bool paused_ = false;
    bool closing_ = false;
    bool undecodableLogged_ = false;
    qint64 lastActivity_ = 0;
    QTimer messageTimer_;
    Waiting timerPhase_ = Waiting::Nothing;

    QPointer<PacedTransfer> transfer_;
    QList<SCI_ExecObj_Send> queuedSends_;

    // The queued mode's thread loop.
    void run();
    std::atomic<bool> working{false};
    QMutex queueMutex;  // guards queue and the start of the thread
    QList<SCI_ExecObj_Recv> queue;
    std::thread queueThread_;
};
