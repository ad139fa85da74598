#include "udpcore.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkInterface>
#include <QThread>
#include <QTimer>
#include <QtConcurrent>
#include <algorithm>
#include <vector>

#include "netif.h"

using namespace udplimits;

namespace {

bool parseAddress(const std::string& text, in_addr* out) {
    return inet_aton(text.c_str(), out) != 0;
}

bool validPort(int port) {
    return port >= 0 && port <= 0xffff;
}

QString endpointText(const sockaddr_in& address) {
    return nint2string(address.sin_addr.s_addr) + '/' + QString::number(ntohs(address.sin_port));
}

// A UDP socket with broadcast allowed, non-blocking and bound to address:port; its
// descriptor, or minus the code of the step that failed.
int openBoundSocket(in_addr address, quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -kDtpBindFailed;
    const int on = 1;
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_addr = address;
    bound.sin_port = htons(port);
    int failure = 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        failure = kDtpBroadcastOptionFailed;
    else if (set_socket_nonblock(fd) < 0)
        failure = kDtpNonBlockFailed;
    else if (::bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0)
        failure = kDtpBindFailed;
    if (failure == 0) return fd;
    ::close(fd);
    return -failure;
}

}  // namespace

int udpTextLength(const QByteArray& datagram) {
    const int zero = datagram.indexOf('\0');
    return zero < 0 ? datagram.size() : zero;
}

QString udpLogText(const QByteArray& datagram) {
    const QString text = QString::fromUtf8(datagram.constData(), udpTextLength(datagram));
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

// --- DTP_BroadcastSocket ---

DTP_BroadcastSocket::DTP_BroadcastSocket(const Udpsend_Cond& sendCond) : cond(sendCond) {
    dest.sin_family = AF_INET;
    in_addr local{};
    // A destination or local address that is not dotted IPv4 would become the limited
    // broadcast address through inet_addr; such a socket stays closed and sends nothing.
    if (!parseAddress(cond.remote_ip, &dest.sin_addr) || !validPort(cond.remote_port) ||
        !parseAddress(cond.local_ip, &local))
        return;
    dest.sin_port = htons(static_cast<quint16>(cond.remote_port));
    for (int attempt = 0; attempt < kBindAttempts && fd < 0; ++attempt)
        fd = std::max(-1, openBoundSocket(local, static_cast<quint16>(RandPort() & 0xffff)));
}

DTP_BroadcastSocket::~DTP_BroadcastSocket() {
    if (fd >= 0) ::close(fd);
}

int DTP_BroadcastSocket::send(const std::string& data) {
    return send(data.data(), static_cast<int>(data.size()));
}

int DTP_BroadcastSocket::send(const void* data, int len) {
    if (fd < 0 || len < 0) return -1;
    return static_cast<int>(
        ::sendto(fd, data, len, 0, reinterpret_cast<const sockaddr*>(&dest), sizeof dest));
}

sockaddr_in DTP_BroadcastSocket::localAddress() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd >= 0) ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return local;
}

// --- UDP_Core ---

UDP_Core::UDP_Core(QObject* parent) : QObject(parent) {
    qRegisterMetaType<sockaddr_in>("sockaddr_in");
    qRegisterMetaType<std::string>("std::string");
    // A loop serves one endpoint for as long as it listens; it must not take a thread that
    // the process-wide pool owes to short tasks.
    listenPool_.setMaxThreadCount(1);
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (iface.name() == QLatin1String("lo")) continue;
        char ip[32] = {}, mask[32] = {}, gateway[32] = {}, mac[32] = {};
        if (GetIfAddr(iface.name().toLatin1().constData(), ip, mask, gateway, mac) < 0) continue;
        const NetBase net{iface.name(), QString::fromLatin1(ip), QString::fromLatin1(mask),
                          QString::fromLatin1(gateway), QString::fromLatin1(mac)};
        localNets.insert(net.mac, net);
    }
}

UDP_Core::~UDP_Core() {
    stopListen();
    QMutexLocker lock(&fdMutex);
    for (const int fd : listenFds)
        if (fd >= 0) ::close(fd);
    listenFds.clear();
}

DTP_INTER_ERROR UDP_Core::addListen(const std::string& ip, int port) {
    qDebug() << "listen:" << ip.c_str() << "/" << port;
    listening = true;
    in_addr address{};
    if (!parseAddress(ip, &address) || !validPort(port)) return kDtpBindFailed;
    const int fd = openBoundSocket(address, static_cast<quint16>(port));
    if (fd < 0) return -fd;
    QMutexLocker lock(&fdMutex);
    listenFds.append(fd);
    if (!loopRunning_) {
        loopRunning_ = true;
        listening = true;
        listenFuture = QtConcurrent::run(&listenPool_, this, &UDP_Core::listenLoop);
    }
    return kDtpOk;
}

void UDP_Core::stopListen() {
    listening = false;
    // Asked from inside the loop (a handler on the listening thread): it ends after this pass.
    if (QThread::currentThread() == loopThread_) return;
    listenFuture.waitForFinished();
}

bool UDP_Core::isListening() const {
    QMutexLocker lock(&fdMutex);
    return loopRunning_;
}

void UDP_Core::listenLoop() {
    loopThread_ = QThread::currentThread();
    for (;;) {
        std::vector<pollfd> polls;
        {
            // Leaving is decided under the same lock addListen appends under, so a socket added
            // meanwhile is either seen here or makes addListen start a new loop.
            QMutexLocker lock(&fdMutex);
            if (listenFds.isEmpty()) listening = false;
            if (!listening) {
                loopRunning_ = false;
                loopThread_ = nullptr;
                break;
            }
            for (const int fd : qAsConst(listenFds))
                if (fd >= 0) polls.push_back(pollfd{fd, POLLIN, 0});
        }
        if (::poll(polls.data(), polls.size(), kListenPollMs) <= 0) continue;
        for (const pollfd& entry : polls)
            if (entry.revents & POLLIN) receiveOne(entry.fd);
    }
    qDebug() << "finish listening" << QThread::currentThreadId();
}

void UDP_Core::receiveOne(int fd) {
    sockaddr_in local{}, sender{};
    socklen_t localLength = sizeof local, senderLength = sizeof sender;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength);
    char buffer[kRecvBufferBytes];
    const ssize_t received = ::recvfrom(fd, buffer, sizeof buffer, 0,
                                        reinterpret_cast<sockaddr*>(&sender), &senderLength);
    // A failed receive carries no datagram; handing on an empty buffer would invent one.
    if (received < 0) return;
    const QByteArray datagram(buffer, static_cast<int>(received));
    QString result = QStringLiteral("success");
    if (directAnalysis || thread() == QThread::currentThread()) {
        result = AnalysisRecvMessage(sender, datagram);
    } else {
        QMetaObject::invokeMethod(this, "AnalysisRecvMessage", Qt::QueuedConnection,
                                  Q_ARG(sockaddr_in, sender), Q_ARG(QByteArray, datagram));
    }
    const QString line = QStringLiteral("[UDP_RCV] %1 <- %2 (%3): ")
                             .arg(endpointText(local), endpointText(sender))
                             .arg(udpTextLength(datagram)) +
                         udpLogText(datagram);
    PrintRecvMsg(result, line);
}

QString UDP_Core::AnalysisRecvMessage(sockaddr_in, const QByteArray& recvbuf) {
    emit sig_sync_send_core(QString::fromUtf8(recvbuf.constData(), udpTextLength(recvbuf)));
    return QStringLiteral("success");
}

void UDP_Core::PrintRecvMsg(QString, QString line) {
    qInfo().noquote() << QString::fromLatin1(line.toLatin1());
}

DTP_INTER_ERROR UDP_Core::send_core(Udpsend_Cond cond, const std::string& data, std::string& out) {
    if (cond.wait_ms < 0 || cond.resend_ms < 0) return kDtpBadSendCond;
    QEventLoop loop;
    DTP_BroadcastSocket socket(cond);
    const int waitMs = std::min(cond.wait_ms, kMaxSendWaitMs);
    bool answered = false;

    QTimer waitTimer;
    waitTimer.setSingleShot(true);
    waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&waitTimer, &QTimer::timeout, &loop, [&] {
        if (!answered) loop.quit();
    });
    const QMetaObject::Connection answer = connect(
        this, &UDP_Core::sig_sync_send_core, &loop,
        [&](const QString& text) {
            if (answered) return;
            answered = true;
            out = text.toStdString();
            waitTimer.stop();
            loop.quit();
        },
        Qt::QueuedConnection);

    const QByteArray bytes = QByteArray::fromStdString(data);
    const QString sendLine =
        QStringLiteral("[UDP_SND] %1 -> %2/%3 (%4): ")
            .arg(endpointText(socket.localAddress()), QString::fromStdString(cond.remote_ip))
            .arg(cond.remote_port)
            .arg(bytes.size()) +
        udpLogText(bytes);
    auto sendOne = [&] {
        socket.send(data);
        PrintRecvMsg(sendLine, sendLine);
    };

    // Repeated sends follow a fixed schedule (one at every multiple of resend_ms strictly
    // inside the wait), so a late timer delays a send but never drops or adds one.
    QElapsedTimer clock;
    QTimer resendTimer;
    int sent = 0;
    const int plannedSends = cond.resend_ms > 0 && waitMs > 0 ? (waitMs - 1) / cond.resend_ms : 0;
    resendTimer.setTimerType(Qt::PreciseTimer);
    connect(&resendTimer, &QTimer::timeout, &loop, [&] {
        const qint64 due = std::min<qint64>(
            plannedSends, clock.nsecsElapsed() / (qint64(cond.resend_ms) * 1000000));
        while (sent < due && !answered) {
            sendOne();
            ++sent;
        }
        if (sent >= plannedSends) resendTimer.stop();
    });

    clock.start();
    waitTimer.start(waitMs);
    if (cond.resend_ms == 0)
        sendOne();
    else if (plannedSends > 0)
        resendTimer.start(cond.resend_ms);
    loop.exec();
    disconnect(answer);
    return answered ? kDtpOk : kDtpNoAnswer;
}

NetBase UDP_Core::foundNetBaseByIP(const QString& ip) const {
    for (const NetBase& net : localNets)
        if (net.ip == ip) return net;
    return NetBase();
}

QString UDP_Core::getSameUseNet(const QString& peerIp) const {
    QString found;
    for (const NetBase& net : localNets) {
        const QString network = getSubNet(net.ip, net.mask);
        if (!network.isEmpty() && network == getSubNet(peerIp, net.mask)) found = net.ip;
    }
    return found;
}
