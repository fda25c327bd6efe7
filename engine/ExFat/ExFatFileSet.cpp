#include "ExFatFileSet.h"

#include <algorithm>
#include <bit>

#include "ExFatEntries.h"

void CFileSet::UpdateFileList(_tagFileBaseInfo&& file) {
    const bool usable = file.firstCluster >= 2 && file.firstCluster <= kExFatLastCluster;
    if (!file.inUse) {
        deleted.push_back(std::move(file));
        return;
    }
    if (usable) {
        lowestCluster = std::min(lowestCluster, file.firstCluster);
        highestCluster = std::max(highestCluster, file.firstCluster);
        if (file.attributes & kExFatDirectoryAttribute)
            folders.push_back(file.firstCluster);
    }
    const auto place = std::upper_bound(
        inUse.begin(), inUse.end(), file.firstCluster,
        [](uint32_t cluster, const _tagFileBaseInfo& f) { return cluster < f.firstCluster; });
    inUse.insert(place, std::move(file));
}

void CFileSet::SetBitmapInfo(uint32_t cluster, uint64_t length) {
    flags |= kBitmap;
    bitmapCluster = cluster;
    bitmapLength = length;
    bitmapBits = static_cast<uint32_t>(std::min<uint64_t>(length * 8, 0xFFFFFFFF));
    clusterBound = std::max(clusterBound, cluster + 1);
}

void CFileSet::SetUpcaseTableInfo(uint32_t cluster, uint64_t length) {
    flags |= kUpCase;
    upcaseCluster = cluster;
    upcaseLength = length;
    clusterBound = std::max(clusterBound, cluster + 1);
}

void CFileSet::RecordSector(int64_t sector) {
    if (firstSector < 0) {
        firstSector = sector;
        sectorCount = 1;
    } else {
        sectorCount = static_cast<uint32_t>(sector - firstSector + 1);
    }
}

void CFileSet::CalculateClusterSize(uint32_t sectorShift) {
    const _tagFileBaseInfo* previous = nullptr;
    for (const _tagFileBaseInfo& file : inUse) {
        if (file.firstCluster < 2 || file.firstCluster > kExFatLastCluster)
            continue;
        if (previous && previous->noFatChain && previous->dataLength > 0) {
            const uint64_t distance = file.firstCluster == previous->firstCluster
                                          ? 0xFFFFFFFF
                                          : file.firstCluster - previous->firstCluster;
            const uint64_t length = static_cast<uint64_t>(previous->dataLength);
            const uint64_t estimate = (length + distance - 1) / distance;
            if (estimate > minClusterSize)
                minClusterSize =
                    static_cast<uint32_t>(std::min<uint64_t>(std::bit_ceil(estimate), 1ull << 31));
        }
        previous = &file;
    }
    minClusterSize = std::max<uint32_t>(minClusterSize >> sectorShift, 1);
    maxClusterSize >>= sectorShift;
}

bool CFileSet::IsClusterSizeConflict(uint32_t sectorsPerCluster) const {
    return sectorsPerCluster > maxClusterSize || sectorsPerCluster < minClusterSize ||
           sectorsPerCluster < sectorCount;
}

void CFileSet::SetNext(CFileSet* following) {
    next = following;
    following->last = this;
    const uint32_t low = std::max(minClusterSize, following->minClusterSize);
    const uint32_t high = std::min(maxClusterSize, following->maxClusterSize);
    minClusterSize = following->minClusterSize = low;
    maxClusterSize = following->maxClusterSize = high;
}

void CFileSet::CollectClusters(uint32_t bytesPerCluster,
                               std::vector<std::pair<uint64_t, uint64_t>>& ranges) const {
    for (const _tagFileBaseInfo& file : inUse) {
        if (file.firstCluster < 2 || file.firstCluster > kExFatLastCluster)
            continue;
        uint64_t count = 1;
        if (file.noFatChain && file.dataLength > 0 && bytesPerCluster > 0) {
            count =
                (static_cast<uint64_t>(file.dataLength) + bytesPerCluster - 1) / bytesPerCluster;
        }
        ranges.emplace_back(file.firstCluster, file.firstCluster + count);
    }
}

bool HasSharedCluster(std::vector<std::pair<uint64_t, uint64_t>>& ranges) {
    std::sort(ranges.begin(), ranges.end());
    uint64_t end = 0;
    for (const auto& [first, last] : ranges) {
        if (first < end)
            return true;
        end = std::max(end, last);
    }
    return false;
}
