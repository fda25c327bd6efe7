#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "ExFatEntrySetParser.h"
#include "ExFatFatTable.h"

class CExFatFileNode;
class IDataRunList;
class IStorageDevice;

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

    // Reads the allocation bitmap (one bit per cluster from cluster 2) from
    // `firstCluster` on; false, and no bitmap, when it is too large or cannot
    // be read.
    bool LoadAllocationBitmap(IStorageDevice* device, uint32_t firstCluster, uint64_t length);
    // What the clusters of deleted files are guessed against: where every
    // file found begins (`starts`), and the deleted files whose clusters are
    // guessed. A file's first cluster that another deleted file's guess runs
    // into is contested: that file gets its first cluster only.
    void PrepareGuesses(std::vector<uint32_t> starts,
                        const std::vector<const _tagFileBaseInfo*>& deleted);
    // Frees the bitmap and what the guesses were prepared with.
    void ClearGuessData();

    uint32_t bytesPerSector = 512;
    uint32_t sectorsPerCluster = 1;
    uint32_t clusterBound = 0;  // cluster numbers at or above it end a chain
    uint32_t rootCluster = 0xFFFFFFFF;
    uint32_t bytesPerCluster = 512;
    int64_t dataStartSector = 0;  // cluster 2, on the device being read
    int64_t startSector = 0;
    int64_t totalSectors = 0;

private:
    enum class GuessEnd { Covered, AtAnotherFile, Unknown };

    void FollowChain(IDataRunList* list, const _tagFileBaseInfo& file);
    void GuessRun(IDataRunList* list, const _tagFileBaseInfo& file);
    // The clusters of a deleted file; `list` may be null. `stop` receives the
    // first cluster of the file the guess ran into.
    GuessEnd GuessDeleted(IDataRunList* list, const _tagFileBaseInfo& file, uint32_t& stop);
    bool IsInUse(uint32_t cluster) const;
    bool IsStartOfAFile(uint32_t cluster) const;

    std::vector<uint8_t> bitmap_;
    std::vector<uint32_t> starts_;  // sorted
    std::unordered_set<uint32_t> contested_;
};
