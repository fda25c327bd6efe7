#pragma once

#include <cstdint>

#include "EngineTypes.h"

// One partition found by a searcher. Copied by value between modules; FAT and
// NTFS derive records of their own. The fileSystemValue fields belong to those
// records; the core only copies them.
class CSearchedPartitionInfo {
public:
    static constexpr uint32_t kBaseRecordType = 4;

    // A sector size of 0 or one that is not a multiple of 512 becomes 512.
    explicit CSearchedPartitionInfo(uint32_t sectorSize = 512);
    CSearchedPartitionInfo(const CSearchedPartitionInfo&) = default;
    CSearchedPartitionInfo& operator=(const CSearchedPartitionInfo&) = default;
    virtual ~CSearchedPartitionInfo() = default;

    // 4 for the base record, 1 for FAT, 0 for NTFS.
    virtual uint32_t GetType() const;

    void SetTotalSectors(uint64_t sectors) { totalSectors = sectors; }
    uint64_t GetTotalSectors() const { return totalSectors; }

    uint64_t reservedValue = 0;  // cleared when restored from a scan-result file
    uint16_t partitionIndex = 0xFFFF;
    uint32_t fileSystemType = FILE_SYSTEM_UNKNOWN;  // enumFILE_SYSTEM_TYPE
    uint32_t sectorsPerCluster = 0;
    // Device sector where extent cluster numbering starts: an extent's first
    // sector is firstDataSector + firstCluster * sectorsPerCluster.
    uint64_t firstDataSector = 0;
    uint64_t startSector = 0;  // device sector where the partition begins
    uint64_t fileSystemValue1 = 0;
    uint64_t fileSystemValue2 = 0;
    uint32_t sectorSize = 512;
    uint32_t fileSystemValue3 = 0;
    uint64_t totalSectors = 0;
    uint64_t integerScore = 1;
    double score = 0.0;  // candidates are sorted by descending score
    uint32_t fileSystemValue4 = 0;
};
