#include "networksinks.h"

#include "httpapiserver.h"
#include "mon_netmn.h"

namespace engine {

void connectNetworkSinks(ResultSinks& sinks, HttpApiServer* api) {
    MON_NETMN* monitor = MON_NETMN::getInstance();
    sinks.monitor = [monitor](const param_roi& record) { monitor->appendRoiResult(record); };
    sinks.apiList = api ? api->roiResults() : nullptr;
    sinks.apiLock = api ? api->roiResultsLock() : nullptr;
}

}  // namespace engine
