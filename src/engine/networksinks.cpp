#include "networksinks.h"

#include "httpapiserver.h"
#include "mon_netmn.h"

namespace engine {

void connectNetworkSinks(ResultSinks& sinks, HttpApiServer* api) {
    MON_NETMN* monitor = MON_NETMN::getInstance();
    sinks.monitorList = &monitor->roiResultList;
    sinks.monitorAllowed = [monitor] { return monitor->isAllowSnd() > 0; };
    sinks.apiList = api ? api->roiResults() : nullptr;
    sinks.apiLock = api ? api->roiResultsLock() : nullptr;
}

}  // namespace engine
