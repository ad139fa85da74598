#pragma once
#include <QHostAddress>
#include <QList>
#include <QObject>

#include "paramroi.h"

// The HTTP JSON API. Until the API itself is built, it keeps the results of the last step and
// does not listen.
class HttpApiServer : public QObject {
    Q_OBJECT
public:
    HttpApiServer();

    bool startReactor(const QHostAddress& address, quint16 port, Qt::ConnectionType type);
    void update_DetectOnceInfo(int detect, bool allOk);
    void pushnode_lastdetect();
    void updateLocalBaseInfo();

    QList<param_roi> roiResultList;
};
