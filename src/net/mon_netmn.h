#pragma once
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include "paramroi.h"

// The link to the local monitoring companion. Until the link itself is built, it reports the
// network function as off (-1), so every send is skipped exactly as on a panel whose network
// function is switched off.
class MON_NETMN : public QObject {
    Q_OBJECT
public:
    static MON_NETMN* getInstance();

    void InitStart();
    void setWorkTask(bool networkFunction, bool video);
    // 1 when results may be sent; -1 network function off, -2 companion not heard from
    // recently, -3 not connected to the server, -4 not registered.
    int isAllowSnd() const;

    void sndDetectOnceInfo(bool allOk);
    void sndAlarmPicture(QJsonObject info, QString path);
    void sndAlarmStartTiming(int detect);
    void addClearMethod(int camera, int method);
    void sndAlarmFinishTiming();
    void sndRecordOperate(QJsonObject record);
    void syncTempList(QJsonObject obj);

    QList<param_roi> roiResultList;
    int alarmState = 0;

private:
    MON_NETMN();
    static MON_NETMN* __instance;
    bool networkFunction_ = false;
};
