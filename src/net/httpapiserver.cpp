#include "httpapiserver.h"

HttpApiServer::HttpApiServer() = default;

bool HttpApiServer::startReactor(const QHostAddress&, quint16, Qt::ConnectionType) {
    return false;
}

void HttpApiServer::update_DetectOnceInfo(int, bool) { roiResultList.clear(); }

void HttpApiServer::pushnode_lastdetect() {}

void HttpApiServer::updateLocalBaseInfo() {}
