#include "gvcpclient.h"

#include <QDebug>
#include <QEventLoop>
#include <QSet>
#include <QTimer>

#include "netif.h"

using namespace udplimits;

namespace gvcp {

namespace {

struct Proposal {
    ForceIpOrder order;
    QString network;
};

}  // namespace

QVector<ForceIpOrder> planForceIp(const QMap<QString, gvcp_discover_ack_payload>& cameras,
                                  const QMap<QString, NetBase>& interfaces) {
    QVector<Proposal> proposals;
    for (auto camera = cameras.cbegin(); camera != cameras.cend(); ++camera) {
        const QString& id = camera.key();
        if (id.isEmpty() || id.toUtf8().size() > kGvcpMaxIdBytes) continue;
        const gvcp_discover_ack_payload& record = camera.value();
        const QString hostIp = nint2string(record.host_ip);
        const NetBase* via = nullptr;
        for (const NetBase& net : interfaces)
            if (net.ip == hostIp) {
                via = &net;
                break;
            }
        if (!via) continue;
        const QString camIp = nint2string(record.ip), camMask = nint2string(record.mask);
        const QString camNet = getSubNet(camIp, camMask);
        const QString hostNet = getSubNet(hostIp, via->mask);
        if (camNet.isEmpty() || hostNet.isEmpty()) continue;
        // An address that is no host on the interface's network (its network or broadcast
        // address, 0.0.0.0) cannot be reached there either: such a camera is moved too.
        const bool stays = camNet == hostNet && isHostAddress(record.ip, string2nint(via->mask));
        Proposal proposal;
        proposal.order = {hostIp, id, stays ? camIp : hostIp, stays ? camMask : via->mask, {}};
        proposal.network = hostNet;
        proposals.append(proposal);
    }

    QSet<QString> taken;
    for (const NetBase& net : interfaces) taken.insert(net.ip);
    QVector<ForceIpOrder> orders;
    for (Proposal& proposal : proposals) {
        ForceIpOrder& order = proposal.order;
        if (!taken.contains(order.ip)) {
            taken.insert(order.ip);
            continue;
        }
        const QStringList parts = order.ip.split('.');
        if (parts.size() != 4) continue;
        const int last = parts[3].toInt();
        const quint32 mask = string2nint(order.mask);
        for (int k = 0; k < kGvcpCandidates; ++k) {
            QString candidate = order.ip;
            if (!setIPLast(candidate, (last + k) % kGvcpLastParts + 1)) break;
            // A last part outside a narrow network would put the camera on another one.
            if (taken.contains(candidate) || !isHostAddress(string2nint(candidate), mask) ||
                getSubNet(candidate, order.mask) != proposal.network)
                continue;
            order.ip = order.gateway = candidate;
            taken.insert(candidate);
            orders.append(order);
            break;
        }
    }
    return orders;
}

}  // namespace gvcp

UDP_ACam_Client::UDP_ACam_Client(QObject* parent) : UDP_Core(parent) {
    addListen("255.255.255.255", kGvcpReplyPort);
    ActUpdateTime();
}

UDP_ACam_Client::~UDP_ACam_Client() {
    stopListen();
}

void UDP_ACam_Client::sendFrom(const QString& localIp, const QByteArray& packet) {
    Udpsend_Cond cond;
    cond.remote_ip = "255.255.255.255";
    cond.remote_port = kGvcpPort;
    cond.local_ip = localIp.toStdString();
    cond.wait_ms = 0;
    cond.resend_ms = 0;
    std::string unused;
    send_core(cond, packet.toStdString(), unused);
}

void UDP_ACam_Client::serveAnswers(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QMap<QString, gvcp_discover_ack_payload> UDP_ACam_Client::findCamera() {
    foundCameras.clear();
    for (const NetBase& net : qAsConst(localNets)) {
        qDebug() << "AppCli-Send(gvcp_cmd_discover) by:" << net.ip;
        sendFrom(net.ip, gvcp_cmd_discover());
    }
    serveAnswers(kGvcpDiscoverServeMs);
    return foundCameras;
}

QString UDP_ACam_Client::AnalysisRecvMessage(sockaddr_in saclient, const QByteArray& recvbuf) {
    const gvcp::Ack ack = gvcp::readAck(recvbuf.constData(), recvbuf.size());
    if (ack.kind == gvcp::Ack::Short) return QStringLiteral("success");
    if (ack.kind == gvcp::Ack::Cut)
        qWarning().noquote() << "AppCli-Recv: acknowledgement from"
                             << nint2string(saclient.sin_addr.s_addr)
                             << "ends inside its identifier; ignored";
    if (ack.kind == gvcp::Ack::Discovery) {
        const gvcp_discover_ack_payload& record = ack.discovery;
        foundCameras.insert(gvcp::fieldText(record.id), record);
        qInfo().noquote() << "AppCli-Recv(GVCP_DISCOVERY_ACK):" << gvcp::fieldLogText(record.model)
                          << gvcp::fieldLogText(record.id) << nint2string(record.ip)
                          << nint2string(record.mask) << "->" << nint2string(record.host_ip);
    } else if (ack.kind == gvcp::Ack::ForceIp) {
        const gvcp_forceip_payload& moved = ack.forceIp;
        const auto found = foundCameras.find(gvcp::fieldText(moved.id));
        if (found != foundCameras.end()) {
            found->host_ip = moved.host_ip;
            found->ip = moved.ip;
            found->mask = moved.mask;
            found->gateway = moved.gateway;
            qInfo().noquote() << "AppCli-Recv(GVCP_FORCEIP_ACK) found:"
                              << gvcp::fieldLogText(moved.id) << nint2string(found->ip)
                              << nint2string(found->mask) << "->" << nint2string(found->host_ip);
        }
    }
    qInfo().noquote() << QString(53, '-');
    return QStringLiteral("success");
}

void UDP_ACam_Client::ActForceIP() {
    const QVector<gvcp::ForceIpOrder> orders = gvcp::planForceIp(foundCameras, localNets);
    if (orders.isEmpty()) return;
    for (const gvcp::ForceIpOrder& order : orders) {
        qDebug() << "AppCli-Send(gvcp_cmd_forceip) by:" << order.local;
        sendFrom(
            order.local,
            gvcp_cmd_forceip(order.ip.toLatin1().constData(), order.mask.toLatin1().constData(),
                             order.gateway.toLatin1().constData(), order.id.toUtf8().constData()));
    }
    serveAnswers(kGvcpForceIpServeMs);
}

void UDP_ACam_Client::ActUpdateTime() {
    for (const NetBase& net : qAsConst(localNets)) {
        qDebug() << "AppCli-Send(gvcp_cmd_uptime) by:" << net.ip;
        sendFrom(net.ip, gvcp_cmd_uptime());
    }
    serveAnswers(kGvcpClockServeMs);
}

void UDP_ACam_Client::ActRebootDaemon(const QString& id) {
    const auto found = foundCameras.constFind(id);
    if (found == foundCameras.cend()) {
        qInfo() << "Reboot ZemCamera error!";
        return;
    }
    const QString local = getSameUseNet(nint2string(found->ip));
    if (local.isEmpty()) return;
    qDebug() << "AppCli-Send(gvcp_cmd_rebootdaemon) by:" << local;
    sendFrom(local, gvcp_cmd_rebootdaemon());
    serveAnswers(kGvcpRebootServeMs);
}
