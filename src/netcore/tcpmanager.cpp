#include "tcpmanager.h"

#include <QtDebug>

TcpManager::TcpManager(MCT_TYPE type) : QObject(nullptr), type_(type) {
    MCore::registerMetaTypes();
}

TcpManager::~TcpManager() {
    QMutexLocker lock(&reactorMutex_);
    _netcore.reset();
}

std::shared_ptr<MCore::TcpReactor> TcpManager::reactor() const {
    QMutexLocker lock(&reactorMutex_);
    return _netcore;
}

bool TcpManager::startReactor(const QHostAddress& address, quint16 port) {
    qInfo() << "netdbg:"
            << "TcpManager::startReactor reset _netcore:" << int(type_);
    if (type_ == MCT_CLIENT || type_ == MCT_SERVER) {
        std::shared_ptr<MCore::TcpReactor> previous;
        {
            QMutexLocker lock(&reactorMutex_);
            previous.swap(_netcore);
        }
        previous.reset();  // the old connections close before the new ones open
        std::shared_ptr<MCore::TcpReactor> created;
        if (type_ == MCT_CLIENT)
            created = std::make_shared<MCore::TcpCliReactor>();
        else
            created = std::make_shared<MCore::TcpServReactor>();
        created->setLimits(limits_);
        QMutexLocker lock(&reactorMutex_);
        _netcore = created;
    }
    const std::shared_ptr<MCore::TcpReactor> current = reactor();
    if (!current) return false;
    reRecvMethod(Qt::AutoConnection, Qt::AutoConnection);
    const bool ok = current->reAction(address, port);
    qInfo() << "netdbg:"
            << "TcpManager::startReactor reAction:" << (ok ? "true" : "false");
    return ok;
}

void TcpManager::reRecvMethod(Qt::ConnectionType responseType, Qt::ConnectionType requestType) {
    const std::shared_ptr<MCore::TcpReactor> current = reactor();
    if (!current) return;
    current->blockAllRecvSIG();
    disconnect(current.get(), &MCore::TcpReactor::sigResponse_async, this, nullptr);
    connect(current.get(), &MCore::TcpReactor::sigResponse_async, this,
            &TcpManager::SlotRecvResponse_async, responseType);
    connect(current.get(), &MCore::TcpReactor::sigRequest, this, &TcpManager::SlotRecvRequest,
            requestType);
}
