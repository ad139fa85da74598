#pragma once
// The TCP endpoint of the message protocol. A reactor listens (server) or connects (client) on
// a thread of its own, keeps one Session per connection, gives outgoing records their task id,
// hands them to the sessions, and routes what arrives: requests as sigRequest, replies to a
// caller waiting in post_sync or else as sigResponse_async.

#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <memory>

#include "netlimits.h"
#include "taskformdata.h"

class Session;

// The socket classes of the reactors, without behaviour of their own.
class CQTcpSocket : public QTcpSocket {
    Q_OBJECT
public:
    using QTcpSocket::QTcpSocket;
};

class CQTcpServer : public QTcpServer {
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;
};

namespace MCore {

// Registers the record types that cross threads: "CTask_FormData", "SCI_ExecObj_Send",
// "QAbstractSocket::SocketState".
void registerMetaTypes();

class TcpReactor : public QObject {
    Q_OBJECT
public:
    TcpReactor();
    ~TcpReactor() override;

    // (Re)starts the reactor on the address and port; true when it runs.
    virtual bool reAction(const QHostAddress& address, quint16 port);
    // Disconnects every receiver of sigResponse_sync and sigRequest.
    virtual void blockAllRecvSIG();
    // Sends a request and waits, in a nested event loop, for the reply carrying its task id
    // (1..60000 ms). False without sending when no connection is up or the time-out is out of
    // range; false when no reply came in time.
    virtual bool post_sync(CTask_FormData& request, CTask_FormData& response, int timeoutMs);
    // Sends a record without waiting; a request is remembered in the async task table.
    virtual bool post_async(CTask_FormData& task);
    // Ids of the connected sessions, ascending.
    virtual QList<int> getAliveSession();
    // Time (ms since the epoch) of the last connection, request or reply; 0 before any.
    virtual qint64 getActFinallyTime();
    virtual bool isRunning() = 0;
    // Listens for clients (its sessions answer what they cannot decode and close when idle).
    virtual bool isServer() const { return false; }

    virtual bool initialize();
    virtual void deinitialize();
    virtual void InitSession(Session* session);
    // Gives the record a task id when it has none, then hands it to the target sessions.
    virtual void addSendQueue(CTask_FormData& task);
    virtual void updateSoftCnted();

    void append_ClientSession(Session* session);
    // Removes sessions: one id, -1 all, and always the entries of sessions already gone.
    void remove_ClientSession(int id);
    void append_TcpTask(const CTask_FormData& task);
    void append_TcpTask(const QString& uuid);
    void append_TcpTask_Async(const CTask_FormData& task);
    bool isAliveTcpTask(const QString& uuid);
    bool isAliveTcpTask_Async(const QString& uuid, TcpTsk_Info& out);
    TcpTsk_Info getTcpTask(const QString& uuid);
    TcpTsk_Info remove_TaskFromList(const QString& uuid);
    TcpTsk_Info remove_TaskAsync_FromList(const QString& uuid);
    // Runs the named timing slot of the sync-table entry of `uuid`, if there is one.
    void getTcpTask_dofunc(const QString& uuid, const char* func, const QList<QVariant>& args);

    // The periodic sweeps, also callable directly.
    void sweepTasks();
    void sweepSessions();

    // Limits for the connections made from now on.
    void setLimits(const NetLimits& limits);
    NetLimits limits() const;
    // Listening port (server) or local port of the connection (client); 0 when none.
    quint16 localPort() const { return localPort_.load(); }
    // Live registered sessions.
    int sessionCount();
    int syncTaskCount();
    int asyncTaskCount();

    // Gives a record without task id the next one of the process.
    static void assignTaskId(CTask_FormData& task);

    // Sends the answer to a request that could not be decoded. It is sent from the thread of
    // the reactor object, where the services' handlers run, so it leaves after the replies to
    // the requests that came before it on the same connection.
    void answerInOrder(const CTask_FormData& reply);

    // Called by a session as it is destroyed.
    void forgetSession(int id, Session* session);

signals:
    void sigResponse_sync(CTask_FormData response);
    void sigResponse_async(CTask_FormData response);
    void sigRequest(CTask_FormData request);
    void readyToClose();

protected:
    virtual bool onStart() = 0;
    virtual void onFinish() = 0;
    // Creates, wires and registers the session of a new connection (on the reactor thread).
    Session* adoptConnection(QTcpSocket* socket);
    bool onReactorThread() const { return reactorThread_.load() == QThread::currentThread(); }
    void routeResponse(CTask_FormData response);

    std::shared_ptr<QThreadPool> socketThreadPool_;
    QMutex sessionMutex_;
    QMap<int, QPointer<Session>> sessions_;
    QMutex taskMutex_;
    QMap<QString, TcpTsk_Info> syncTasks_;
    QMap<QString, TcpTsk_Info> asyncTasks_;
    QTimer taskSweepTimer_;
    QTimer sessionSweepTimer_;
    QHostAddress hostAddress_;
    quint16 port_ = 0;
    std::atomic<qint64> lastActTime_{0};
    std::atomic<bool> running_{false};
    std::atomic<QThread*> reactorThread_{nullptr};
    std::atomic<quint16> localPort_{0};
    mutable QMutex limitsMutex_;
    NetLimits limits_;

    static std::atomic<int> _increase_index_task;
    static std::atomic<int> _increase_index_session;

private:
    void insertTask(QMap<QString, TcpTsk_Info>& table, const QString& uuid, const QString& url);
    void sweepExpired(qint64 now);
    bool taskTableFullLogged_ = false;
};

// One outgoing connection to a stored address and port.
class TcpCliReactor : public TcpReactor {
    Q_OBJECT
public:
    TcpCliReactor();
    ~TcpCliReactor() override;

    bool isRunning() override { return running_.load(); }
    // Reconnects when the registered connection has dropped.
    QList<int> getAliveSession() override;
    // At least one registered session still exists.
    bool hasSession();

protected:
    bool onStart() override;
    void onFinish() override;
};

// A listening server with any number of accepted connections (up to the session limit).
class TcpServReactor : public TcpReactor {
    Q_OBJECT
public:
    TcpServReactor();
    ~TcpServReactor() override;

    bool isRunning() override { return running_.load(); }
    bool isServer() const override { return true; }

protected:
    bool onStart() override;
    void onFinish() override;

private:
    void acceptPending();
    // Frees a place at the session limit: sessions whose client has gone give theirs back, else
    // the one idle the longest between messages is closed. False when every session is in the
    // middle of a message.
    bool makeRoom(int maxSessions);

    std::shared_ptr<CQTcpServer> tcpServer_;
    int refusedInBurst_ = 0;
};

}  // namespace MCore
