#include "mon_netmn.h"

MON_NETMN* MON_NETMN::__instance = nullptr;

MON_NETMN* MON_NETMN::getInstance() {
    if (!__instance) __instance = new MON_NETMN;
    return __instance;
}

MON_NETMN::MON_NETMN() = default;

void MON_NETMN::InitStart() {}

void MON_NETMN::setWorkTask(bool networkFunction, bool) { networkFunction_ = networkFunction; }

int MON_NETMN::isAllowSnd() const { return -1; }

void MON_NETMN::sndDetectOnceInfo(bool) { roiResultList.clear(); }

void MON_NETMN::sndAlarmPicture(QJsonObject, QString) {}

void MON_NETMN::sndAlarmStartTiming(int) {}

void MON_NETMN::addClearMethod(int, int) {}

void MON_NETMN::sndAlarmFinishTiming() {
    if (alarmState == 2) alarmState = 0;
}

void MON_NETMN::sndRecordOperate(QJsonObject) {}

void MON_NETMN::syncTempList(QJsonObject) {}
