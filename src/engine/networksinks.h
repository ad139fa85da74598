#pragma once
// Points an engine's result sinks at the network services: the monitoring link (which keeps
// records only while it may send) and the HTTP API's result list.

#include "enginecontext.h"

class HttpApiServer;

namespace engine {

// The monitoring link is created on first use. api may be null (no API server: its list is
// not fed).
void connectNetworkSinks(ResultSinks& sinks, HttpApiServer* api);

}  // namespace engine
