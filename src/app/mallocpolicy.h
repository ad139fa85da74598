#pragma once
// How the C library's allocator serves this program. Set once, first thing in main, before any
// other thread exists.
//
// Left to its defaults, glibc gives every thread that allocates its own arena (up to eight per
// core) and raises the size from which blocks get pages of their own each time such a block is
// freed, up to 32 MB. Whole frames (2 MB and more) made and dropped by the inspection threads
// then stay in those arenas after use, and the program grows with every thread that ever
// inspected. With a fixed threshold every block of a frame's size is a mapping of its own, given
// back the moment it is freed; a few arenas serve the small blocks.

#include <cstddef>

namespace app {

// Blocks of at least this size are mapped on their own and unmapped when freed. Region crops and
// masks of a usual size stay below it; frames, templates and frame-sized masks are above.
constexpr int kMmapThresholdBytes = 256 * 1024;
// Arenas for the small blocks: the GUI thread, the IO thread and the inspection pool share them.
constexpr int kMallocArenas = 4;

// Applies the two settings above; false when the C library refused one of them.
bool applyMallocPolicy();

}  // namespace app
