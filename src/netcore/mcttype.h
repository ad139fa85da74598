#pragma once

// Role of a TCP service's reactor.
enum MCT_TYPE {
    MCT_SERVER = 0,  // listening
    MCT_CLIENT = 1,  // connecting
};
