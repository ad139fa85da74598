#pragma once
// The camera side of discovery: answers every discovery from each of its interfaces, takes a
// forced address meant for its own identifier, sets its clock and reports restart requests.
// Host changes are commands through the system seam, run in the object's own thread.

#include "gvcpprotocol.h"
#include "udpcore.h"

class UDP_ACam_Server : public UDP_Core {
    Q_OBJECT
public:
    // id is the identifier the responder reports and answers to; without one it takes its
    // first interface's MAC text, so that no two responders share an identifier and none
    // answers to the empty one.
    explicit UDP_ACam_Server(QObject* parent = nullptr, const QString& id = QString());
    ~UDP_ACam_Server() override;

signals:
    void sig_updatetime();
    void sig_rebootdaemon();

public slots:
    // "no success" for fewer than 8 bytes, else "success".
    QString AnalysisRecvMessage(sockaddr_in saclient, const QByteArray& recvbuf) override;

private:
    void answerDiscovery(const QString& peer);
    void takeForcedAddress(const gvcp_forceip_req& request, const QString& peer);
    void setClock(quint64 msSinceEpoch);
    void answerFrom(const NetBase& net, const QByteArray& packet);
};
