#pragma once

#include <cstddef>
#include <cstdint>

// A complete scan's searchers each walk a block that is larger than the
// processor's own cache, looking at a few bytes of every sector: without a
// hint each sector's first look waits for memory.

// How many sectors ahead of the one being analysed a walk asks for.
inline constexpr size_t kPrefetchSectorsAhead = 8;

// Asks for the first and the last bytes of the sector that lies
// `kPrefetchSectorsAhead` sectors after `sector`. Only a hint: nothing is
// read, so a sector past the end of the block costs nothing.
inline void PrefetchSectorAhead(const uint8_t* sector, size_t sectorSize) {
    const uintptr_t ahead =
        reinterpret_cast<uintptr_t>(sector) + kPrefetchSectorsAhead * sectorSize;
    __builtin_prefetch(reinterpret_cast<const void*>(ahead));
    __builtin_prefetch(reinterpret_cast<const void*>(ahead + sectorSize - 1));
}
