#include "statisticsmetatypes.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

#include "statisticsrecords.h"

void registerStatisticsMetaTypes() {
    qRegisterMetaType<CountGroup>("CountGroup");
    qRegisterMetaType<QPair<QString, QString>>("QPair<QString,QString>");
    qRegisterMetaType<QList<bool>>("QList<bool>");
    qRegisterMetaType<QJsonObject>("QJsonObject");
}
