#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ExFatEntrySetParser.h"

// The directory entries found in one run of consecutive directory sectors of
// a complete scan, with what they tell of the partition around them.
class CFileSet {
public:
    static constexpr uint32_t kLabel = 1;
    static constexpr uint32_t kBitmap = 2;
    static constexpr uint32_t kUpCase = 4;
    static constexpr uint32_t kAbridged = 8;   // begins with secondaries of a set cut elsewhere
    static constexpr uint32_t kNotEnded = 16;  // its last entry set runs on elsewhere
    static constexpr uint32_t kMatched = 32;

    bool IsRoot() const {
        return (flags & (kLabel | kBitmap | kUpCase)) == (kLabel | kBitmap | kUpCase);
    }
    bool HasFile() const { return !inUse.empty() || !deleted.empty(); }
    bool IsAbridged() const { return (flags & kAbridged) != 0; }
    bool IsNotEnded() const { return (flags & kNotEnded) != 0; }
    int64_t LastSector() const { return firstSector + sectorCount - 1; }

    // Files in use go in order of first cluster, deleted ones in order found.
    void UpdateFileList(_tagFileBaseInfo&& file);
    void SetBitmapInfo(uint32_t cluster, uint64_t length);
    void SetUpcaseTableInfo(uint32_t cluster, uint64_t length);
    void RecordSector(int64_t sector);
    // Narrows the cluster-size bounds from the contiguous files' lengths and
    // the distances to the files after them; both bounds become sectors.
    void CalculateClusterSize(uint32_t sectorShift);
    bool IsClusterSizeConflict(uint32_t sectorsPerCluster) const;
    // Links two parts of one folder and narrows both to their common bounds.
    void SetNext(CFileSet* following);
    // The clusters the files in use start with, and the whole runs of those
    // without a FAT chain, as [first, end) ranges.
    void CollectClusters(uint32_t bytesPerCluster,
                         std::vector<std::pair<uint64_t, uint64_t>>& ranges) const;

    std::vector<_tagFileBaseInfo> inUse;
    std::vector<_tagFileBaseInfo> deleted;
    std::vector<uint32_t> folders;  // first clusters of the folders in use
    uint32_t lowestCluster = 0xFFFFFFF6;
    uint32_t highestCluster = 0;
    uint32_t minClusterSize = 512;        // bytes until CalculateClusterSize, then sectors
    uint32_t maxClusterSize = 0x2000000;  // likewise
    int64_t firstSector = -1;
    uint32_t sectorCount = 0;
    uint32_t flags = 0;
    uint32_t clusterBound = 2;  // one past the bitmap and up-case clusters
    uint32_t bitmapBits = 0;
    uint32_t bitmapCluster = 0;
    uint64_t bitmapLength = 0;
    uint32_t upcaseCluster = 0;
    uint64_t upcaseLength = 0;
    CFileSet* next = nullptr;
    CFileSet* last = nullptr;
};

// Do any two of the ranges share a cluster? Sorts them.
bool HasSharedCluster(std::vector<std::pair<uint64_t, uint64_t>>& ranges);
