#pragma once
// Base of the request/response services: owns a reactor, dispatches every incoming request by
// its url to a handler, and answers a url without handler at once with the 404 reply.

#include <QHostAddress>
#include <QMap>
#include <QMutex>
#include <QObject>
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
    std::shared_ptr<MCore::TcpReactor> _netcore;
    const MCT_TYPE type_;
    QMap<QString, std::function<void(CTask_FormData)>> routes_;

private:
    mutable QMutex reactorMutex_;
    NetLimits limits_;
};
