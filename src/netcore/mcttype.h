#pragma once

// Role of a TCP service's reactor. Stored as an int: a service may be given any other number,
// which then means no role (and no reactor).
enum MCT_TYPE : int {
    MCT_SERVER = 0,  // listening
    MCT_CLIENT = 1,  // connecting
};
