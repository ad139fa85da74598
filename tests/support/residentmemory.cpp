#include "residentmemory.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace testsupport {

long long residentBytesOfMapping(const void* address) {
    FILE* smaps = std::fopen("/proc/self/smaps", "r");
    if (!smaps) return -1;
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    char line[512];
    bool inside = false;
    long long resident = -1;
    while (std::fgets(line, sizeof line, smaps)) {
        std::uintptr_t from = 0, to = 0;
        if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " ", &from, &to) == 2 &&
            std::strchr(line, '-') < std::strchr(line, ' ')) {
            inside = at >= from && at < to;
            continue;
        }
        long long kb = 0;
        if (inside && std::sscanf(line, "Rss: %lld kB", &kb) == 1) {
            resident = kb * 1024;
            break;
        }
    }
    std::fclose(smaps);
    return resident;
}

}  // namespace testsupport
