#include "FATSearchedPartitionInfo.h"

CFATSearchedPartitionInfo* CFATSearchedPartitionInfo::Clone() const {
    auto* copy = new CFATSearchedPartitionInfo(sectorSize);
    copy->partitionIndex = partitionIndex;
    copy->fileSystemType = fileSystemType;
    copy->sectorsPerCluster = sectorsPerCluster;
    copy->firstDataSector = firstDataSector;
    copy->startSector = startSector;
    copy->totalSectors = totalSectors;
    copy->reservedSectors_ = reservedSectors_;
    copy->sectorsPerFat_ = sectorsPerFat_;
    copy->totalClusters_ = totalClusters_;
    copy->rootInfo_ = rootInfo_;
    copy->flags_ = flags_;
    return copy;
}
