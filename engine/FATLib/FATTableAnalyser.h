#pragma once

#include <cstdint>

#include "EngineTypes.h"

// Recognises FAT sectors by their content.
class CFATTableAnalyser {
public:
    // A cluster number that can lead somewhere: 2 to 0x0FFFFFEF.
    static bool IsUsedCluster(uint64_t cluster) { return cluster >= 2 && cluster <= 0x0FFFFFEF; }
    // The FAT32 header is tested first, then the FAT16 one.
    static bool IsValidFATTableFirstSector(const uint8_t* sector, int sectorSize,
                                           enumFILE_SYSTEM_TYPE& type);
};
