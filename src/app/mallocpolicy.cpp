#include "mallocpolicy.h"

#include <malloc.h>

namespace app {

bool applyMallocPolicy() {
    const bool threshold = mallopt(M_MMAP_THRESHOLD, kMmapThresholdBytes) == 1;
    const bool arenas = mallopt(M_ARENA_MAX, kMallocArenas) == 1;
    return threshold && arenas;
}

}  // namespace app
