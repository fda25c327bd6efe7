#pragma once

#include <cstdint>

#include "ExFatEntrySetParser.h"
#include "ExFatFatTable.h"

class CExFatFileNode;
class IDataRunList;

// The geometry of one exFAT volume with its FAT reader: cluster arithmetic,
// chain following and the extents and nodes of found files.
class CExFatPartition : public CFatTable {
public:
    static constexpr uint32_t kChainEnd = 0xFFFFFFFF;

    // 0 for clusters below 2.
    int64_t ConvertClusterNumToSector(uint32_t cluster) const;
    // A sector inside a cluster maps to the next cluster.
    uint32_t ConvertSectorToClusterNum(int64_t sector) const;
    // The FAT entry of `cluster`; with `noTable` and no FAT held, the cluster
    // itself. Answers at or above the cluster bound become kChainEnd.
    uint32_t GetNextCluster(uint32_t cluster, int noTable);
    IDataRunList* BuildFileDataRun(const _tagFileBaseInfo& file);
    CExFatFileNode* BuildFile(const _tagFileBaseInfo& file);

    uint32_t bytesPerSector = 512;
    uint32_t sectorsPerCluster = 1;
    uint32_t clusterBound = 0;  // cluster numbers at or above it end a chain
    uint32_t rootCluster = 0xFFFFFFFF;
    uint32_t bytesPerCluster = 512;
    int64_t dataStartSector = 0;  // cluster 2, on the device being read
    int64_t startSector = 0;
    int64_t totalSectors = 0;

private:
    void FollowChain(IDataRunList* list, const _tagFileBaseInfo& file);
    void GuessRun(IDataRunList* list, const _tagFileBaseInfo& file);
};
