#pragma once
// The application side of camera discovery: finds the cameras behind every local interface,
// moves a camera whose address is off its interface's network (or taken) to a free one, sets
// the cameras' clocks and restarts their service. Every operation sends, then serves the
// broadcast answers on the reply port for a fixed time in a local event loop; call them in
// the thread that owns the object.

#include <QMap>
#include <QString>
#include <QVector>

#include "gvcpprotocol.h"
#include "udpcore.h"

namespace gvcp {

// One FORCEIP_CMD to send: from the interface address local, to the camera id.
struct ForceIpOrder {
    QString local;
    QString id;
    QString ip;
    QString mask;
    QString gateway;
};

// Which cameras to move, and where: a camera keeps its address when it is a host address on
// the network of the interface it answered through and no interface or earlier camera (in
// identifier order) has it; otherwise it gets the first free host address on that network
// whose last part follows the proposed one (1..253, wrapping). Cameras answering through no
// known interface, and identifiers that a FORCEIP_CMD cannot carry (empty, or longer than
// 31 bytes), are left alone.
QVector<ForceIpOrder> planForceIp(const QMap<QString, gvcp_discover_ack_payload>& cameras,
                                  const QMap<QString, NetBase>& interfaces);

}  // namespace gvcp

class UDP_ACam_Client : public UDP_Core {
    Q_OBJECT
public:
    // Listens on the reply port and sends this host's clock to every camera (blocks for the
    // clock's serving time).
    explicit UDP_ACam_Client(QObject* parent = nullptr);
    ~UDP_ACam_Client() override;

    // A fresh discovery through every interface; the cameras by identifier.
    QMap<QString, gvcp_discover_ack_payload> findCamera();
    // Re-addresses the cameras of the last discovery that need it (see planForceIp).
    void ActForceIP();
    void ActUpdateTime();
    // Asks every camera on camera id's network to restart its service (the command names no
    // camera).
    void ActRebootDaemon(const QString& id);
    // The cameras of the last discovery, with the addresses their FORCEIP_ACKs reported since.
    const QMap<QString, gvcp_discover_ack_payload>& cameras() const { return foundCameras; }

public slots:
    QString AnalysisRecvMessage(sockaddr_in saclient, const QByteArray& recvbuf) override;

private:
    void sendFrom(const QString& localIp, const QByteArray& packet);
    void serveAnswers(int ms);

    // Latest DISCOVERY_ACK of each camera, updated by its FORCEIP_ACKs.
    QMap<QString, gvcp_discover_ack_payload> foundCameras;
};
