#pragma once
// What this process holds in memory, as the system reports it (/proc/self/smaps).

#include <cstddef>

namespace testsupport {

// Resident bytes of the mapping that contains `address` (pages mapped to the shared zero page
// are not counted); -1 when no mapping contains it.
long long residentBytesOfMapping(const void* address);

}  // namespace testsupport
