#pragma once

#include <cstdint>

#include "EngineTypes.h"

class IStorageDevice;

// Where the parts of one FAT16/FAT32 partition lie on its device.
struct FATVolumeLayout {
    IStorageDevice* device = nullptr;
    enumFILE_SYSTEM_TYPE type = FILE_SYSTEM_UNKNOWN;
    int64_t startSector = 0;
    uint32_t sectorsPerCluster = 0;
    int64_t rootStartSector = 0;
    uint32_t rootSectorCount = 0;  // FAT16: the fixed root folder
    uint32_t rootCluster = 0;      // FAT32
    int64_t firstDataSector = 0;   // the sector of cluster 2
    int64_t totalSectors = 0;
    uint32_t sectorSize = 512;

    // Cluster c (>= 2) starts here; below 2 the answer is sector 0.
    int64_t ClusterToSector(uint64_t cluster) const {
        return cluster < 2
                   ? 0
                   : firstDataSector + static_cast<int64_t>((cluster - 2) * sectorsPerCluster);
    }
    uint32_t ClusterBytes() const { return sectorsPerCluster * sectorSize; }
};
