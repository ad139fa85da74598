#include "tcpreactor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSemaphore>
#include <QThread>
#include <QtDebug>

#include "execobjsend.h"
#include "netclock.h"
#include "session.h"

namespace MCore {

void registerMetaTypes() {
    qRegisterMetaType<CTask_FormData>("CTask_FormData");
    qRegisterMetaType<SCI_ExecObj_Send>("SCI_ExecObj_Send");
    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
}

std::atomic<int> TcpReactor::_increase_index_task{0};
std::atomic<int> TcpReactor::_increase_index_session{0};

TcpReactor::TcpReactor() : socketThreadPool_(std::make_shared<QThreadPool>()) {
    registerMetaTypes();
    socketThreadPool_->setMaxThreadCount(1);
    connect(&taskSweepTimer_, &QTimer::timeout, this, &TcpReactor::sweepTasks);
    connect(&sessionSweepTimer_, &QTimer::timeout, this, &TcpReactor::sweepSessions);
    taskSweepTimer_.start(netlimits::kTaskSweepPeriodMs);
    sessionSweepTimer_.start(netlimits::kSessionSweepPeriodMs);
}

TcpReactor::~TcpReactor() {
    taskSweepTimer_.stop();
    sessionSweepTimer_.stop();
    socketThreadPool_->waitForDone();
    socketThreadPool_.reset();
}

bool TcpReactor::reAction(const QHostAddress& address, quint16 port) {
    deinitialize();
    hostAddress_ = address;
    port_ = port;
    return initialize();
}

bool TcpReactor::initialize() {
    if (isRunning()) return false;
    if (onReactorThread()) {
        qWarning() << "netdbg: a reactor cannot be started from its own thread";
        return false;
    }
    auto started = std::make_shared<QSemaphore>(0);
    auto result = std::make_shared<std::atomic<bool>>(false);
    socketThreadPool_->start([this, started, result] {
        QEventLoop loop;
        reactorThread_ = QThread::currentThread();
        const auto quit = connect(this, &TcpReactor::readyToClose, &loop, &QEventLoop::quit,
                                  Qt::QueuedConnection);
        const bool ok = onStart();
        running_ = ok;
        result->store(ok);
        started->release();
        if (ok) {
            loop.exec();
            disconnect(quit);
            onFinish();
        } else {
            disconnect(quit);
        }
        // Sessions and sockets end with the thread's work, not whenever it next runs a task.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        localPort_ = 0;
        running_ = false;
        reactorThread_ = nullptr;
    });
    started->acquire();
    return result->load();
}

void TcpReactor::deinitialize() {
    if (onReactorThread()) {
        qWarning() << "netdbg: a reactor cannot be stopped from its own thread";
        return;
    }
    if (isRunning()) emit readyToClose();
    if (!socketThreadPool_->waitForDone()) qInfo() << "socketThreadPool_->waitForDone error!";
}

void TcpReactor::blockAllRecvSIG() {
    disconnect(this, &TcpReactor::sigResponse_sync, nullptr, nullptr);
    disconnect(this, &TcpReactor::sigRequest, nullptr, nullptr);
}

Session* TcpReactor::adoptConnection(QTcpSocket* socket) {
    const int id = ++_increase_index_session;
    auto* session = new Session(this, socket, id, limits());
    InitSession(session);
    append_ClientSession(session);
    return session;
}

void TcpReactor::InitSession(Session* session) {
    connect(
        session, &Session::sigRequest, this,
        [this](const CTask_FormData& request) {
            updateSoftCnted();
            emit sigRequest(request);
        },
        Qt::DirectConnection);
    connect(
        session, &Session::sigResponse_sync, this,
        [this](const CTask_FormData& response) { routeResponse(response); }, Qt::DirectConnection);
    if (QTcpSocket* socket = session->getSocket()) {
        connect(socket, &QAbstractSocket::stateChanged, session,
                [session](QAbstractSocket::SocketState state) {
                    if (state == QAbstractSocket::ClosingState ||
                        state == QAbstractSocket::UnconnectedState)
                        session->deleteLater();
                });
    }
}

void TcpReactor::append_ClientSession(Session* session) {
    if (!session) return;
    QMutexLocker lock(&sessionMutex_);
    sessions_.insert(session->getId(), QPointer<Session>(session));
}

void TcpReactor::remove_ClientSession(int id) {
    QMutexLocker lock(&sessionMutex_);
    const QList<int> ids = sessions_.keys();
    for (int key : ids) {
        QPointer<Session> session = sessions_.value(key);
        if (session.isNull()) {
            sessions_.remove(key);
        } else if (id == -1 || key == id) {
            session->deleteLater();
            sessions_.remove(key);
        }
    }
}

void TcpReactor::forgetSession(int id, Session* session) {
    QMutexLocker lock(&sessionMutex_);
    auto it = sessions_.find(id);
    if (it != sessions_.end() && (it->isNull() || it->data() == session)) sessions_.erase(it);
}

int TcpReactor::sessionCount() {
    QMutexLocker lock(&sessionMutex_);
    int count = 0;
    for (const QPointer<Session>& session : qAsConst(sessions_))
        if (session && session->isWorking()) ++count;
    return count;
}

QList<int> TcpReactor::getAliveSession() {
    QMutexLocker lock(&sessionMutex_);
    QList<int> ids;
    for (auto it = sessions_.cbegin(); it != sessions_.cend(); ++it)
        if (it.value() && it.value()->isWorking()) ids << it.key();
    return ids;
}

qint64 TcpReactor::getActFinallyTime() {
    return lastActTime_.load();
}

void TcpReactor::updateSoftCnted() {
    lastActTime_ = netcore::nowMs();
}

void TcpReactor::assignTaskId(CTask_FormData& task) {
    if (!task.uuid.isEmpty()) return;
    task.uuid = QStringLiteral("dezivodo#") +
                netcore::nowLocal().toString(QStringLiteral("yyyyMMdd_hhmmss_zzz_")) +
                QString::number(++_increase_index_task);
}

void TcpReactor::addSendQueue(CTask_FormData& task) {
    assignTaskId(task);
    if (task.sessionId == -2) return;
    const SCI_ExecObj_Send message(task);
    QMutexLocker lock(&sessionMutex_);
    if (task.sessionId == -1) {
        for (const QPointer<Session>& session : qAsConst(sessions_))
            if (session) session->SlotSendAction(message);
        return;
    }
    const QPointer<Session> session = sessions_.value(task.sessionId);
    if (session) session->SlotSendAction(message);
}

void TcpReactor::answerInOrder(const CTask_FormData& reply) {
    QMetaObject::invokeMethod(
        this,
        [this, reply] {
            CTask_FormData copy = reply;
            addSendQueue(copy);
        },
        Qt::QueuedConnection);
}

bool TcpReactor::post_sync(CTask_FormData& request, CTask_FormData& response, int timeoutMs) {
    if (getAliveSession().isEmpty()) return false;
    if (timeoutMs < 1 || timeoutMs > netlimits::kMaxSyncTimeoutMs) return false;
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    assignTaskId(request);
    const QString wanted = request.uuid;
    const QString url = request.url;
    connect(&timer, &QTimer::timeout, &loop, [&loop, &elapsed, url, wanted] {
        qDebug() << "*timer timeout" << url << wanted << elapsed.elapsed() / 1000.0;
        loop.exit(0);
    });
    // The reply must carry exactly the request's id: the reply to "_15" is not the reply to "_1".
    connect(
        this, &TcpReactor::sigResponse_sync, &loop,
        [&loop, &response, wanted](const CTask_FormData& arrived) {
            if (!loop.isRunning() || arrived.uuid != wanted) return;
            response = arrived;
            loop.exit(1);
        },
        Qt::QueuedConnection);
    // Registered before sending, so that a reply arriving at once finds its entry.
    append_TcpTask(request);
    addSendQueue(request);
    timer.start(timeoutMs);
    return loop.exec() == 1;
}

bool TcpReactor::post_async(CTask_FormData& task) {
    addSendQueue(task);
    // Only requests are remembered; replies expect no answer, so they would only fill the table.
    if (!task.url.isEmpty()) append_TcpTask_Async(task);
    return true;
}

void TcpReactor::routeResponse(CTask_FormData response) {
    updateSoftCnted();
    bool waited = false;
    {
        QMutexLocker lock(&taskMutex_);
        auto it = syncTasks_.find(response.uuid);
        if (it != syncTasks_.end()) {
            it->tskup_finishact_timing();
            response.taskInfo = it.value();
            syncTasks_.erase(it);
            waited = true;
        }
    }
    if (waited)
        emit sigResponse_sync(response);
    else
        emit sigResponse_async(response);
}

void TcpReactor::insertTask(QMap<QString, TcpTsk_Info>& table, const QString& uuid,
                            const QString& url) {
    if (uuid.isEmpty()) return;
    QMutexLocker lock(&taskMutex_);
    if (table.size() >= netlimits::kMaxTaskEntries && !table.contains(uuid)) {
        sweepExpired(netcore::nowMs());
        if (table.size() >= netlimits::kMaxTaskEntries) {
            if (!taskTableFullLogged_)
                qWarning() << "netdbg: task table full (" << table.size()
                           << "entries); new tasks are not timed until entries expire";
            taskTableFullLogged_ = true;
            return;
        }
    }
    taskTableFullLogged_ = false;
    TcpTsk_Info info(uuid);
    info.url = url;
    table.insert(uuid, info);
}

void TcpReactor::append_TcpTask(const CTask_FormData& task) {
    insertTask(syncTasks_, task.uuid, task.url);
}

void TcpReactor::append_TcpTask(const QString& uuid) {
    insertTask(syncTasks_, uuid, uuid);
}

void TcpReactor::append_TcpTask_Async(const CTask_FormData& task) {
    insertTask(asyncTasks_, task.uuid, task.url);
}

bool TcpReactor::isAliveTcpTask(const QString& uuid) {
    QMutexLocker lock(&taskMutex_);
    return syncTasks_.contains(uuid);
}

bool TcpReactor::isAliveTcpTask_Async(const QString& uuid, TcpTsk_Info& out) {
    QMutexLocker lock(&taskMutex_);
    auto it = asyncTasks_.constFind(uuid);
    if (it == asyncTasks_.cend()) return false;
    out = it.value();
    return true;
}

TcpTsk_Info TcpReactor::getTcpTask(const QString& uuid) {
    QMutexLocker lock(&taskMutex_);
    return syncTasks_.value(uuid);
}

TcpTsk_Info TcpReactor::remove_TaskFromList(const QString& uuid) {
    QMutexLocker lock(&taskMutex_);
    auto it = syncTasks_.find(uuid);
    if (it == syncTasks_.end()) return TcpTsk_Info();
    TcpTsk_Info info = it.value();
    syncTasks_.erase(it);
    info.tskup_finishact_timing();
    return info;
}

TcpTsk_Info TcpReactor::remove_TaskAsync_FromList(const QString& uuid) {
    QMutexLocker lock(&taskMutex_);
    auto it = asyncTasks_.find(uuid);
    if (it == asyncTasks_.end()) return TcpTsk_Info();
    TcpTsk_Info info = it.value();
    asyncTasks_.erase(it);
    info.tskup_finishact_timing();
    return info;
}

void TcpReactor::getTcpTask_dofunc(const QString& uuid, const char* func,
                                   const QList<QVariant>& args) {
    if (uuid.isEmpty()) return;
    QMutexLocker lock(&taskMutex_);
    auto it = syncTasks_.find(uuid);
    if (it == syncTasks_.end()) return;
    if (args.isEmpty())
        QMetaObject::invokeMethod(&it.value(), func, Qt::DirectConnection);
    else
        QMetaObject::invokeMethod(&it.value(), func, Qt::DirectConnection,
                                  Q_ARG(QList<QVariant>, args));
}

int TcpReactor::syncTaskCount() {
    QMutexLocker lock(&taskMutex_);
    return syncTasks_.size();
}

int TcpReactor::asyncTaskCount() {
    QMutexLocker lock(&taskMutex_);
    return asyncTasks_.size();
}

void TcpReactor::sweepExpired(qint64 now) {
    for (QMap<QString, TcpTsk_Info>* table : {&syncTasks_, &asyncTasks_}) {
        for (auto it = table->begin(); it != table->end();) {
            if (now - it->create_timing > netlimits::kTaskLifetimeMs)
                it = table->erase(it);
            else
                ++it;
        }
    }
}

void TcpReactor::sweepTasks() {
    const qint64 now = netcore::nowMs();
    QMutexLocker lock(&taskMutex_);
    sweepExpired(now);
}

void TcpReactor::sweepSessions() {
    remove_ClientSession(-2);
}

void TcpReactor::setLimits(const NetLimits& limits) {
    QMutexLocker lock(&limitsMutex_);
    limits_ = limits;
}

NetLimits TcpReactor::limits() const {
    QMutexLocker lock(&limitsMutex_);
    return limits_;
}

// --- client ---

TcpCliReactor::TcpCliReactor() = default;

TcpCliReactor::~TcpCliReactor() {
    deinitialize();
    remove_ClientSession(-1);
}

bool TcpCliReactor::onStart() {
    QPointer<CQTcpSocket> socket;
    {
        QMutexLocker lock(&sessionMutex_);
        socket = new CQTcpSocket();
    }
    socket->connectToHost(hostAddress_, port_, QIODevice::ReadWrite);
    if (!socket->waitForConnected(netlimits::kConnectTimeoutMs)) {
        socket->deleteLater();
        return false;
    }
    updateSoftCnted();
    localPort_ = socket->localPort();
    adoptConnection(socket);
    return true;
}

void TcpCliReactor::onFinish() {
    remove_ClientSession(-1);
}

QList<int> TcpCliReactor::getAliveSession() {
    bool dropped = false;
    QList<int> ids;
    {
        QMutexLocker lock(&sessionMutex_);
        for (auto it = sessions_.cbegin(); it != sessions_.cend(); ++it) {
            if (!it.value()) continue;
            if (it.value()->isWorking())
                ids << it.key();
            else
                dropped = true;
        }
    }
    // The lock is released first: the reactor thread takes it while it stops and starts.
    if (dropped && !onReactorThread() && reAction(hostAddress_, port_))
        ids = TcpReactor::getAliveSession();
    return ids;
}

bool TcpCliReactor::hasSession() {
    QMutexLocker lock(&sessionMutex_);
    for (const QPointer<Session>& session : qAsConst(sessions_))
        if (session) return true;
    return false;
}

// --- server ---

TcpServReactor::TcpServReactor() = default;

TcpServReactor::~TcpServReactor() {
    deinitialize();
}

bool TcpServReactor::onStart() {
    {
        QMutexLocker lock(&sessionMutex_);
        tcpServer_ = std::make_shared<CQTcpServer>();
    }
    CQTcpServer* server = tcpServer_.get();
    connect(server, &QTcpServer::newConnection, server, [this] { acceptPending(); });

    if (!server->listen(hostAddress_, port_)) {
        qWarning().noquote() << "netdbg: cannot listen on" << hostAddress_.toString() << port_
                             << ":" << server->errorString();
        QMutexLocker lock(&sessionMutex_);
        tcpServer_.reset();
        return false;
    }
    localPort_ = server->serverPort();
    return true;
}

void TcpServReactor::onFinish() {
    remove_ClientSession(-1);
    QMutexLocker lock(&sessionMutex_);
    tcpServer_.reset();
}

bool TcpServReactor::makeRoom(int maxSessions) {
    QList<QPointer<Session>> live;
    {
        QMutexLocker lock(&sessionMutex_);
        for (const QPointer<Session>& session : qAsConst(sessions_))
            if (session && session->isWorking()) live << session;
    }
    // Closed outside the lock: closing reaches the session map again. Newest first: in a
    // burst of connect and close the session of the previous connection is gone already.
    Session* idlest = nullptr;
    for (auto it = live.crbegin(); it != live.crend(); ++it) {
        Session* session = *it;
        if (!session->peerOpen()) {
            // Its client is gone; this thread has not seen it yet.
            session->getSocket()->abort();
            if (sessionCount() < maxSessions) return true;
        } else if (session->betweenMessages() &&
                   (!idlest || session->lastActivity() <= idlest->lastActivity())) {
            idlest = session;
        }
    }
    if (!idlest) return false;
    idlest->evict();
    return true;
}

void TcpServReactor::acceptPending() {
    while (tcpServer_ && tcpServer_->hasPendingConnections()) {
        QTcpSocket* socket = tcpServer_->nextPendingConnection();
        const int maxSessions = limits().maxSessions;
        if (sessionCount() >= maxSessions && !makeRoom(maxSessions)) {
            if (refusedInBurst_++ == 0)
                qWarning().noquote()
                    << QStringLiteral(
                           "netdbg: connection from %1:%2 closed: each of %3 connections is in "
                           "the middle of a message")
                           .arg(socket->peerAddress().toString().remove(QStringLiteral("::ffff:")))
                           .arg(socket->peerPort())
                           .arg(maxSessions);
            socket->abort();
            delete socket;
            continue;
        }
        if (refusedInBurst_ > 1)
            qWarning() << "netdbg:" << refusedInBurst_ << "connections were refused in all";
        refusedInBurst_ = 0;
        updateSoftCnted();
        adoptConnection(socket);
    }
}

}  // namespace MCore
