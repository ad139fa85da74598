#pragma once
// Base of the request/response services: owns a reactor, dispatches every incoming request by
// its url to a handler, and answers a url without handler at once with the 404 reply.

#include <QHostAddress>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

#include "mcttype.h"
#include "netlimits.h"
#include "taskformdata.h"
#include "tcpreactor.h"

class HttpManager : public QObject {
    Q_OBJECT
public:
    explicit HttpManager(MCT_TYPE type);
    ~HttpManager() override;

    // (Re)creates the reactor of the manager's role and starts it; true when it runs. The
    // request and response slots are connected with `connectionType`.
    virtual bool startReactor(const QHostAddress& address, quint16 port,
                              Qt::ConnectionType connectionType = Qt::AutoConnection);
    // Answers `request` at once with an empty JSON reply; code 404 when `ok` is false.
    // Callable from any thread.
    virtual void callback_immediately(const CTask_FormData& request, bool ok);

    // Limits given to the reactors created from now on.
    void setNetLimits(const NetLimits& limits) { limits_ = limits; }
    // The current reactor (null before startReactor). Callable from any thread.
    std::shared_ptr<MCore::TcpReactor> reactor() const;

public slots:
    virtual void SlotRecvResponse_Async(CTask_FormData response) = 0;
    virtual void SlotRecvRequest(CTask_FormData request);

protected:
    // Stops the reactor and closes its connections; a subclass whose handlers run on the
    // reactor's threads calls it first in its destructor, before its members go.
    void stopReactor();

    std::shared_ptr<MCore::TcpReactor> _netcore;
    const MCT_TYPE type_;
    QMap<QString, std::function<void(CTask_FormData)>> routes_;
    // Routes answered on the connection's own thread, so that a busy manager thread never holds
    // them up; their handlers must be safe on any thread. Filled before startReactor and not
    // changed afterwards. While requests wait for the manager's thread, these wait behind them,
    // so that one connection's replies keep the order of its requests.
    QMap<QString, std::function<void(CTask_FormData)>> anyThreadRoutes_;

private:
    void logRequest(const CTask_FormData& request) const;
    void dispatch(const CTask_FormData& request, Qt::ConnectionType connectionType);

    mutable QMutex reactorMutex_;
    NetLimits limits_;
    // Requests handed to the manager's thread and not yet handled there.
    std::atomic<int> waitingForOwnThread_{0};
};
