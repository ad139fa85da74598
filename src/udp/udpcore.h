#pragma once
// The common base of every UDP endpoint: the host's interface table, listening sockets served
// by one loop on a thread of the endpoint's own, and a send that waits (boundedly) for the
// first answer a subclass reports.

#include <netinet/in.h>

#include <QByteArray>
#include <QFuture>
#include <QMap>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QVector>
#include <atomic>
#include <string>

#include "udplimits.h"

Q_DECLARE_METATYPE(sockaddr_in)
Q_DECLARE_METATYPE(std::string)

// One local network interface.
struct NetBase {
    QString name;
    QString ip;
    QString mask;
    QString gateway;
    QString mac;
};

// What one send_core call sends, where from and how long it waits.
struct Udpsend_Cond {
    std::string remote_ip = "255.255.255.255";
    int remote_port = udplimits::kIoBoxPort;
    // Binding the send socket to a local address picks the interface the datagram leaves by.
    std::string local_ip = "0.0.0.0";
    int wait_ms = 100;
    // 0: one send; above 0: a send every resend_ms while the wait lasts.
    int resend_ms = 0;
};

// Results of addListen and send_core; single bits.
using DTP_INTER_ERROR = int;
constexpr DTP_INTER_ERROR kDtpOk = 0;
constexpr DTP_INTER_ERROR kDtpBroadcastOptionFailed = 2;
constexpr DTP_INTER_ERROR kDtpBindFailed = 4;
constexpr DTP_INTER_ERROR kDtpNonBlockFailed = 8;
constexpr DTP_INTER_ERROR kDtpNoAnswer = 16;
constexpr DTP_INTER_ERROR kDtpBadSendCond = 32;

// A UDP socket with broadcast allowed, bound to the condition's local address and a random
// port, aimed at the condition's destination. Without a socket (no free port, an address that
// is not ours) every send returns -1.
class DTP_BroadcastSocket {
public:
    explicit DTP_BroadcastSocket(const Udpsend_Cond& cond);
    ~DTP_BroadcastSocket();
    DTP_BroadcastSocket(const DTP_BroadcastSocket&) = delete;
    DTP_BroadcastSocket& operator=(const DTP_BroadcastSocket&) = delete;

    int send(const std::string& data);
    int send(const void* data, int len);
    bool isOpen() const { return fd >= 0; }
    // The bound local address, for the send log.
    sockaddr_in localAddress() const;

    Udpsend_Cond cond;
    int fd = -1;
    sockaddr_in dest{};
};

class UDP_Core : public QObject {
    Q_OBJECT
public:
    explicit UDP_Core(QObject* parent = nullptr);
    // Stops the listening loop before its sockets are closed, so the loop never reads a
    // descriptor number that has been closed (and perhaps reused). A subclass whose
    // AnalysisRecvMessage touches its own members calls stopListen in its own destructor.
    ~UDP_Core() override;

    // Opens a socket bound to ip:port (broadcast allowed, non-blocking) and makes sure the
    // listening loop serves it. Binding to "255.255.255.255" receives broadcasts only.
    DTP_INTER_ERROR addListen(const std::string& ip, int port);
    // Ends the listening loop and waits for it (unless called on the loop's own thread); the
    // sockets stay open, so a later addListen serves them again.
    void stopListen();
    bool isListening() const;

    // Sends data as cond says and waits (at most kMaxSendWaitMs) in a local event loop for
    // the first answer a subclass reports with sig_sync_send_core; out receives it.
    DTP_INTER_ERROR send_core(Udpsend_Cond cond, const std::string& data, std::string& out);

    // The first interface (in MAC order) whose address is ip; empty when none.
    NetBase foundNetBaseByIP(const QString& ip) const;
    // The address of the local interface whose network holds peerIp (the last in MAC order
    // when several do); empty when none.
    QString getSameUseNet(const QString& peerIp) const;
    QMap<QString, NetBase> interfaces() const { return localNets; }

    QString deviceId;

public slots:
    // One received datagram, exactly as long as it was; the result is logged with it.
    virtual QString AnalysisRecvMessage(sockaddr_in saclient, const QByteArray& recvbuf);

signals:
    void sig_sync_send_core(QString recv);

protected:
    virtual void PrintRecvMsg(QString result, QString line);

    // Keyed by MAC text; written by the constructor (and by a subclass that re-reads an
    // interface it has just changed).
    QMap<QString, NetBase> localNets;
    // True: the listening thread analyses datagrams itself; false: queued to our thread.
    bool directAnalysis = false;

private:
    void listenLoop();
    void receiveOne(int fd);

    QThreadPool listenPool_;
    QFuture<void> listenFuture;
    std::atomic<bool> listening{false};
    QVector<int> listenFds;
    mutable QMutex fdMutex;
    // Guarded by fdMutex (see listenLoop).
    bool loopRunning_ = false;
    std::atomic<QThread*> loopThread_{nullptr};
};

// Text of a datagram for the log: the bytes before its first zero, as UTF-8, with control
// characters shown as \xNN so that a datagram cannot forge log lines.
QString udpLogText(const QByteArray& datagram);
// Bytes before the first zero byte.
int udpTextLength(const QByteArray& datagram);
