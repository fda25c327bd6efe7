#include "NodePartition.h"

#include <algorithm>

#include "DataRunList.h"
#include "FileNode.h"
#include "SearchedPartitionInfo.h"

namespace {

using int128 = __int128;

bool ExtentsLieInside(IDataRunList* runs, const CSearchedPartitionInfo& partition) {
    if (runs == nullptr)
        return true;
    const int128 spc = partition.sectorsPerCluster;
    const int128 start = partition.startSector;
    const int128 end = start + partition.totalSectors;
    for (DataRun* run = runs->GetFirst(); run != nullptr; run = runs->GetNext()) {
        const int128 first = int128{run->firstCluster} * spc;
        const int128 last = (int128{run->firstCluster} + run->clusterCount) * spc - 1;
        if (first < start || last > end)
            return false;
    }
    return true;
}

// Does the partition's cluster size match the one the file's size suggests?
bool ClusterSizeFits(CFileNode& node, const CSearchedPartitionInfo& partition) {
    IDataRunList* runs = node.GetDataRunList();
    uint64_t clusters = 0;
    if (runs != nullptr) {
        for (DataRun* run = runs->GetFirst(); run != nullptr; run = runs->GetNext()) {
            clusters += run->clusterCount;
        }
    }
    if (clusters < 2)
        return true;
    const int64_t size = node.GetFileSize();
    if (size <= 0)
        return false;
    // Sectors per cluster the size asks for: size / clusters / 512, the whole
    // quotient rounded up (rounding size / clusters up first gives the same).
    const uint64_t bytes = static_cast<uint64_t>(size);
    const uint64_t perCluster = bytes / clusters + (bytes % clusters != 0 ? 1 : 0);
    const uint64_t estimate = perCluster / 512 + (perCluster % 512 != 0 ? 1 : 0);
    for (uint64_t power = 2; power <= (uint64_t{1} << 25); power <<= 1) {
        if (power / 2 < estimate && estimate <= power)
            return power == partition.sectorsPerCluster;
    }
    return false;
}

bool Fits(CFileNode& node, const CSearchedPartitionInfo& partition) {
    const int64_t metadata = node.GetMetadataStartPosition();
    const int128 start = partition.startSector;
    if (!(start < metadata && metadata < start + int128{partition.totalSectors}))
        return false;
    if (!ExtentsLieInside(node.GetDataRunList(), partition))
        return false;
    if (partition.sectorsPerCluster % 2 != 0)
        return false;
    return ClusterSizeFits(node, partition);
}

}  // namespace

CSearchedPartitionInfo* ChooseNodePartition(const std::vector<CSearchedPartitionInfo*>& partitions,
                                            IFileNode* node) {
    if (partitions.empty())
        return nullptr;
    auto* fileNode = dynamic_cast<CFileNode*>(node);
    if (partitions.size() == 1 || fileNode == nullptr)
        return partitions.front();

    const uint16_t index = fileNode->GetBelongedPartition();
    for (CSearchedPartitionInfo* partition : partitions) {
        if (partition != nullptr && partition->partitionIndex == index)
            return partition;
    }
    for (CSearchedPartitionInfo* partition : partitions) {
        if (partition != nullptr && Fits(*fileNode, *partition))
            return partition;
    }
    return partitions.front();
}

void SortPartitionsByScore(std::vector<CSearchedPartitionInfo*>& partitions) {
    std::stable_sort(partitions.begin(), partitions.end(),
                     [](const CSearchedPartitionInfo* a, const CSearchedPartitionInfo* b) {
                         if (a == nullptr || b == nullptr)
                             return a != nullptr && b == nullptr;
                         return a->score > b->score;
                     });
}
