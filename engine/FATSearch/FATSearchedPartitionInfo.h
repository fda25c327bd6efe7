#pragma once

#include <cstdint>

#include "SearchedPartitionInfo.h"

// Evidence flags of a FAT partition record (merged with OR).
enum FATPartitionEvidence : uint32_t {
    kFATEvidenceFAT16BootSector = 0x1 | 0x2,
    kFATEvidenceFAT32BootSector = 0x4,
    kFATEvidenceFAT32BackupBootSector = 0x8,
    kFATEvidenceSubFolder = 0x10,
    kFATEvidenceFAT1FirstSector = 0x40,
    kFATEvidenceFAT1Usable = 0x80,
    kFATEvidenceFAT2FirstSector = 0x100,
    kFATEvidenceFAT2Usable = 0x200,
    // Any of these: the record was formed from a boot sector.
    kFATEvidenceBootSectors = 0xF,
};

// A FAT16 or FAT32 partition found by a FAT searcher.
class CFATSearchedPartitionInfo : public CSearchedPartitionInfo {
public:
    static constexpr uint32_t kFATRecordType = 1;

    explicit CFATSearchedPartitionInfo(uint32_t sectorSize) : CSearchedPartitionInfo(sectorSize) {}
    uint32_t GetType() const override { return kFATRecordType; }

    static CFATSearchedPartitionInfo* CreateFATSearchedPartitionInfo(uint32_t sectorSize) {
        return new CFATSearchedPartitionInfo(sectorSize);
    }
    static void DestroyFATSearchedPartitionInfo(CFATSearchedPartitionInfo* record) {
        delete record;
    }
    // The geometry and evidence; score and the other base fields keep their defaults.
    CFATSearchedPartitionInfo* Clone() const;

    void SetReservedSector(uint16_t sectors) { reservedSectors_ = sectors; }
    void SetSectorPerFAT(uint32_t sectors) { sectorsPerFat_ = sectors; }
    void SetTotalCluster(uint32_t clusters) { totalClusters_ = clusters; }
    void SetStartSector(int64_t sector) { startSector = static_cast<uint64_t>(sector); }
    // FAT32: first cluster of the root folder; FAT16: sectors of the fixed root folder.
    void SetRootInfo(uint32_t info) { rootInfo_ = info; }
    void MergeFlag(uint32_t flags) { flags_ |= flags; }

    uint16_t GetReservedSector() const { return reservedSectors_; }
    uint32_t GetSectorPerFAT() const { return sectorsPerFat_; }
    uint32_t GetTotalCluster() const { return totalClusters_; }
    int64_t GetStartSector() const { return static_cast<int64_t>(startSector); }
    uint32_t GetRootInfo() const { return rootInfo_; }
    uint32_t GetFlag() const { return flags_; }

private:
    uint16_t reservedSectors_ = 0;
    uint32_t sectorsPerFat_ = 0;
    uint32_t totalClusters_ = 0;
    uint32_t rootInfo_ = 0;
    uint32_t flags_ = 0;
};
