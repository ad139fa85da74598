#include "gvcpserver.h"

#include <QDebug>

#include "netif.h"
#include "systemactions.h"

using namespace udplimits;

namespace {

void runCommand(const QString& program, const QStringList& args, bool* ok = nullptr) {
    const sys::CommandResult result = sys::actions().run(program, args, kGvcpCommandMs);
    if (!result.ok())
        qWarning().noquote() << "ArmServ:" << program << args.join(' ')
                             << "failed:" << result.exitCode;
    if (ok) *ok = result.ok();
}

using AckBuilder = QByteArray (*)(const char*, const char*, const char*, const char*, const char*,
                                  const char*);

// An acknowledgement that describes one interface to the peer.
QByteArray describe(AckBuilder build, const QString& id, const QString& peer, const NetBase& net) {
    return build(id.toUtf8().constData(), peer.toLatin1().constData(),
                 net.ip.toLatin1().constData(), net.mask.toLatin1().constData(),
                 net.gateway.toLatin1().constData(), net.mac.toLatin1().constData());
}

}  // namespace

UDP_ACam_Server::UDP_ACam_Server(QObject* parent, const QString& id) : UDP_Core(parent) {
    deviceId = id.isEmpty() && !localNets.isEmpty() ? localNets.firstKey() : id;
    addListen("255.255.255.255", kGvcpPort);
}

UDP_ACam_Server::~UDP_ACam_Server() {
    stopListen();
}

QString UDP_ACam_Server::AnalysisRecvMessage(sockaddr_in saclient, const QByteArray& recvbuf) {
    const gvcp::Command command = gvcp::readCommand(recvbuf.constData(), recvbuf.size());
    const QString peer = nint2string(saclient.sin_addr.s_addr);
    switch (command.kind) {
        case gvcp::Command::Short:
            return QStringLiteral("no success");
        case gvcp::Command::Discovery:
            answerDiscovery(peer);
            break;
        case gvcp::Command::ForceIp:
            takeForcedAddress(command.forceIp, peer);
            break;
        case gvcp::Command::WriteReg:
            if (command.subcommand == gvcp::kSetClock)
                setClock(command.value);
            else if (command.subcommand == gvcp::kRestartService)
                emit sig_rebootdaemon();
            break;
        case gvcp::Command::Incomplete:
            qWarning().noquote() << QStringLiteral(
                                        "ArmServ-Recv: command 0x%1 from %2 is cut "
                                        "short; ignored")
                                        .arg(command.code, 4, 16, QLatin1Char('0'))
                                        .arg(peer);
            break;
        default:
            break;
    }
    return QStringLiteral("success");
}

void UDP_ACam_Server::answerFrom(const NetBase& net, const QByteArray& packet) {
    Udpsend_Cond cond;
    cond.remote_ip = "255.255.255.255";
    cond.remote_port = kGvcpReplyPort;
    cond.local_ip = net.ip.toStdString();
    cond.wait_ms = 0;
    cond.resend_ms = 0;
    std::string unused;
    send_core(cond, packet.toStdString(), unused);
}

void UDP_ACam_Server::answerDiscovery(const QString& peer) {
    // A copy: each send serves queued datagrams, and a force-IP among them rewrites the table.
    const QMap<QString, NetBase> nets = localNets;
    for (const NetBase& net : nets) {
        answerFrom(net, describe(gvcp_ack_discover, deviceId, peer, net));
        qInfo().noquote() << "ArmServ-Send(gvcp_ack_discover) callback from:" << deviceId << net.ip
                          << "to" << peer;
    }
}

void UDP_ACam_Server::takeForcedAddress(const gvcp_forceip_req& request, const QString& peer) {
    const QString id = gvcp::fieldText(request.id);
    qInfo().noquote() << "ArmServ-Recv(gvcp_forceip_req):" << gvcp::fieldLogText(request.id)
                      << nint2string(request.ip) << nint2string(request.mask)
                      << nint2string(request.gateway);
    // Only a request naming this responder moves it; an empty identifier names nobody.
    if (id.isEmpty() || id != deviceId || localNets.isEmpty()) {
        qInfo().noquote() << QString(33, '-');
        return;
    }
    const QString refusal = gvcp::forceIpRefusal(request.ip, request.mask, request.gateway);
    if (!refusal.isEmpty()) {
        qWarning().noquote() << "ArmServ-Recv(gvcp_forceip_req) refused:" << refusal;
        return;
    }

    const NetBase old = localNets.first();
    runCommand("ip", {"addr", "flush", "dev", old.name});
    runCommand("ip", {"route", "flush", "table", "main"});
    runCommand("ifconfig",
               {old.name, nint2string(request.ip), "netmask", nint2string(request.mask)});
    runCommand("route", {"add", "default", "gw", nint2string(request.gateway)});

    char ip[32] = {}, mask[32] = {}, gateway[32] = {}, mac[32] = {};
    if (GetIfAddr(old.name.toLatin1().constData(), ip, mask, gateway, mac) == 0) {
        localNets.remove(old.mac);
        const NetBase fresh{old.name, QString::fromLatin1(ip), QString::fromLatin1(mask),
                            QString::fromLatin1(gateway), QString::fromLatin1(mac)};
        localNets.insert(fresh.mac, fresh);
    }
    const NetBase now = localNets.first();
    answerFrom(now, describe(gvcp_ack_forceip, deviceId, peer, now));
    qInfo().noquote() << "ArmServ-Send(gvcp_forceip_req) response new info:" << deviceId << now.ip;
}

void UDP_ACam_Server::setClock(quint64 msSinceEpoch) {
    if (!gvcp::isSettableClock(msSinceEpoch)) {
        qWarning() << "ArmServ-Recv(set clock) refused: no time" << msSinceEpoch;
        return;
    }
    runCommand("cp", {"/usr/share/zoneinfo/Asia/Shanghai", "/etc/localtime"});
    bool dateSet = false;
    runCommand("date", {"-s", gvcp::clockText(msSinceEpoch)}, &dateSet);
    if (dateSet) runCommand("hwclock", {"--systohc"});
    emit sig_updatetime();
}
