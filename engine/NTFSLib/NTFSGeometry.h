#pragma once

#include <cstdint>

class CNTFSDBR;
class IStorageDevice;

// Where the clusters and records of one NTFS volume lie in device sectors. The
// boot sector's sector size and the device's may differ (an image file read in
// 512-byte sectors that holds a volume made for 4096-byte ones).
struct NTFSGeometry {
    uint64_t volumeStart = 0;  // device sector of the boot sector
    uint32_t deviceSectorSize = 512;
    uint32_t clusterBytes = 0;
    uint32_t recordBytes = 0;
    uint32_t sectorsPerCluster = 0;  // device sectors
    uint32_t sectorsPerRecord = 0;   // device sectors, at least 1
    int64_t mftCluster = 0;
    int64_t mftMirrCluster = 0;

    // False for a geometry no device sector size can serve (clusters or
    // records not whole device sectors, records above 64 KiB).
    bool Init(const CNTFSDBR& dbr, uint32_t deviceSectorSize, uint64_t volumeStart);
    // The device sector where `cluster` starts; -1 for a cluster no volume has.
    int64_t ClusterSector(int64_t cluster) const {
        int64_t sector = 0;
        if (cluster < 0 || __builtin_mul_overflow(cluster, int64_t{sectorsPerCluster}, &sector) ||
            __builtin_add_overflow(sector, static_cast<int64_t>(volumeStart), &sector)) {
            return -1;
        }
        return sector;
    }
    // Bytes of `records` whole records rounded up to device sectors.
    uint32_t RecordReadBytes() const { return sectorsPerRecord * deviceSectorSize; }
};

// Reads `count` sectors from `first`; sectors that cannot be read, tried one
// by one after a failed read, are left zero.
void ReadSectorsOrZeros(IStorageDevice& device, uint8_t* buffer, int64_t first, int64_t count);

// Reads the boot sector at `volumeStart` into `dbr` (through a buffer the size
// of the device's sector); false when it cannot be read or is not NTFS.
bool ReadNTFSBootSector(IStorageDevice& device, uint64_t volumeStart, CNTFSDBR& dbr);
