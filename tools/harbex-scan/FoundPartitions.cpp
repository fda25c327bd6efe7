#include "FoundPartitions.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "DataRecovery.h"
#include "RecoveryController.h"
#include "SearchedPartitionInfo.h"

std::string FileSystemName(uint32_t type) {
    switch (type) {
        case FILE_SYSTEM_FAT12:
            return "FAT12";
        case FILE_SYSTEM_FAT16:
            return "FAT16";
        case FILE_SYSTEM_FAT32:
            return "FAT32";
        case FILE_SYSTEM_NTFS:
            return "NTFS";
        case FILE_SYSTEM_EXFAT:
            return "exFAT";
        case FILE_SYSTEM_HFSPLUS:
            return "HFS+";
        case FILE_SYSTEM_APFS:
            return "APFS";
        case FILE_SYSTEM_UNKNOWN:
            return "unknown";
        default:
            return "unknown(" + std::to_string(type) + ")";
    }
}

namespace {

struct RecoveryDeleter {
    void operator()(IDataRecovery* recovery) const { recovery->Release(); }
};

}  // namespace

std::string FormatPartition(_tagSearcherType type, const CSearchedPartitionInfo& partition) {
    char score[32];
    std::snprintf(score, sizeof(score), "%g", partition.score);
    return "partition\t" + std::to_string(type) + "\t" + std::to_string(partition.partitionIndex) +
           "\t" + FileSystemName(partition.fileSystemType) + "\t" +
           std::to_string(partition.startSector) + "\t" +
           std::to_string(partition.GetTotalSectors()) + "\t" +
           std::to_string(partition.sectorSize) + "\t" +
           std::to_string(partition.sectorsPerCluster) + "\t" +
           std::to_string(partition.firstDataSector) + "\t" +
           std::to_string(partition.integerScore) + "\t" + score;
}

std::vector<std::string> ListPartitions(const IRecoveryController& controller,
                                        const std::set<_tagSearcherType>& types) {
    std::vector<std::string> lines;
    for (_tagSearcherType type : types) {
        std::unique_ptr<IDataRecovery, RecoveryDeleter> recovery(controller.GetDataRecovery(type));
        if (!recovery)
            continue;
        // The copy-out object keeps them by score; the index order stays put between runs.
        std::vector<const CSearchedPartitionInfo*> partitions;
        for (const CSearchedPartitionInfo* partition : recovery->GetSearchedPartition()) {
            if (partition != nullptr)
                partitions.push_back(partition);
        }
        std::stable_sort(partitions.begin(), partitions.end(),
                         [](const CSearchedPartitionInfo* a, const CSearchedPartitionInfo* b) {
                             return a->partitionIndex < b->partitionIndex;
                         });
        for (const CSearchedPartitionInfo* partition : partitions)
            lines.push_back(FormatPartition(type, *partition));
    }
    return lines;
}
