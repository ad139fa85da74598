#pragma once
// Base of the plainer TCP services: owns a reactor and hands its requests and replies to two
// slots of the subclass.

#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <memory>

#include "mcttype.h"
#include "netlimits.h"
#include "taskformdata.h"
#include "tcpreactor.h"

class TcpManager : public QObject {
    Q_OBJECT
public:
    explicit TcpManager(MCT_TYPE type);
    ~TcpManager() override;

    // Replaces the reactor by a new one of the manager's role and starts it; true when it runs.
    // For an unknown role the current reactor is kept and restarted.
    virtual bool startReactor(const QHostAddress& address, quint16 port);
    // Rewires the reactor's reply and request signals with the given connection types.
    virtual void reRecvMethod(Qt::ConnectionType responseType, Qt::ConnectionType requestType);

    void setNetLimits(const NetLimits& limits) { limits_ = limits; }
    // The current reactor (null before startReactor). Callable from any thread.
    std::shared_ptr<MCore::TcpReactor> reactor() const;

public slots:
    virtual void SlotRecvResponse_async(CTask_FormData response) = 0;
    virtual void SlotRecvRequest(CTask_FormData request) = 0;

protected:
    std::shared_ptr<MCore::TcpReactor> _netcore;
    const MCT_TYPE type_;

private:
    mutable QMutex reactorMutex_;
    NetLimits limits_;
};
