// The complete path of the tree build: it starts from the folder sectors the
// complete scan met rather than from the root.

#include "FATBuildWorker.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "DirectoryTreeBuilder.h"
#include "EmptyFileVirtualClusterNum.h"
#include "FATDirEntry.h"
#include "FATFileNode.h"
#include "FATSearchedPartitionInfo.h"
#include "StorageDevice.h"

namespace {

// Numbers of made-up folders go on across partitions and scans.
std::atomic<int> g_madeUpFolderNumber{0};

// FAT16 roots of lost boot sectors are looked for this far before the data area.
constexpr int64_t kLostRootSearchBytes = 0x20000;

constexpr uint32_t kLostClusterBufferSectors = 128;

}  // namespace

uint32_t CFATBuildWorker::ConvertSectorToClusterNum(int64_t sector) const {
    const auto offset = static_cast<uint32_t>(sector - layout_.firstDataSector);
    return offset / layout_.sectorsPerCluster + 2;
}

bool CFATBuildWorker::IsFirsectorInCluster(int64_t sector) const {
    return (sector - layout_.firstDataSector) % layout_.sectorsPerCluster == 0;
}

CFATFileNode* CFATBuildWorker::CreateTempFileNode(uint32_t cluster, uint32_t parentCluster) const {
    char name[32];
    std::snprintf(name, sizeof(name), "DIR%d", g_madeUpFolderNumber++);
    CFATFileProperties* properties = CFATFileProperties::Create();
    properties->SetFileName(name);
    properties->SetAttribute(kFATAttributeDirectory);
    properties->SetState(kFATStateDeleted | kFATStateMadeUpFolder);
    properties->SetFirstClusterNum(cluster);
    properties->SetParentFirstClusterNum(parentCluster);
    properties->SetMetaDataSector(layout_.ClusterToSector(parentCluster));
    auto* node = new CFATFileNode();
    node->SetFileProperties(properties);
    return node;
}

int CFATBuildWorker::CompleteBuildDirectoryTree(const CFATFolderSectorList& folders) {
    if (layout_.sectorsPerCluster == 0 || !layout_.device) {
        return 0;
    }
    GetEmptyFileVirtualClusterNumObject()->ResetVirtualClusterNum();
    CFATBuildChildren children(layout_, builder_, progress_, partition_, table_, readClusters_,
                               folderMap_);
    children.SetQuickScan(true);
    children.SetFileSectorMap(fileSectorMap_);
    children.BuildRoot(queue_, 1, static_cast<int>(validBootSector_));
    queue_.clear();

    int64_t first = layout_.firstDataSector;
    if (layout_.type == FILE_SYSTEM_FAT16 && !validBootSector_) {
        first = std::max<int64_t>(0, first - kLostRootSearchBytes / layout_.sectorSize);
    }
    const int64_t last = layout_.startSector + layout_.totalSectors;
    const auto begin = folders.LowerBound(first);
    const auto end = folders.UpperBound(last);
    if (begin >= end) {
        return 1;
    }
    for (auto it = begin; it != end; ++it) {
        if (it->sector < layout_.firstDataSector) {
            BuildFat16LostRoot(children, it->sector);
        } else if (it->cluster != kFATNoFolderCluster &&
                   ConvertSectorToClusterNum(it->sector) == it->cluster &&
                   IsFirsectorInCluster(it->sector)) {
            BuildFolder(children, *it);
        }
        queue_.clear();  // every folder has a record of its own
    }
    return BuildLostNode(children, folders);
}

void CFATBuildWorker::BuildFat16LostRoot(CFATBuildChildren& children, int64_t sector) {
    std::vector<uint8_t> buffer(layout_.sectorSize);
    if (!layout_.device->ReadSector(buffer.data(), sector, 1)) {
        return;  // nothing stale is listed
    }
    children.BuildChildrenFromBuffer(buffer.data(), layout_.sectorSize, nullptr, queue_, 1, 1);
}

void CFATBuildWorker::BuildFolder(CFATBuildChildren& children, const FIRSTFOLDERSECTOR& record) {
    auto known = folderMap_.find(record.cluster);
    if (known != folderMap_.end()) {
        children.BuildChildren(known->second, record.cluster, queue_, 0, 1);
        return;
    }
    CFATFileNode* folder = CreateTempFileNode(record.cluster, record.parentCluster);
    if (partition_) {
        folder->SetBelongedPartition(partition_->partitionIndex);
    }
    if (builder_ && builder_->AddNode(folder, SEARCHER_FAT)) {
        folderMap_.emplace(record.cluster, folder);
        children.BuildChildren(folder, record.cluster, queue_, 0, 1);
        return;
    }
    // Refused (a "." that names its own parent, say): its entries are still
    // listed, under an id no node has, and the folder itself goes.
    children.BuildChildren(folder, record.cluster, queue_, 0, 1);
    folder->Release();
}

int CFATBuildWorker::BuildLostNode(CFATBuildChildren& children,
                                   const CFATFolderSectorList& folders) {
    const auto begin = folders.LowerBound(layout_.firstDataSector);
    const auto end = folders.UpperBound(layout_.startSector + layout_.totalSectors);
    if (begin >= end || layout_.sectorsPerCluster > kLostClusterBufferSectors) {
        return 0;
    }
    std::vector<uint8_t> buffer(size_t{kLostClusterBufferSectors} * layout_.sectorSize);
    const uint32_t clusterBytes = layout_.ClusterBytes();
    for (auto it = begin; it != end; ++it) {
        if (it->cluster != kFATNoFolderCluster || !IsFirsectorInCluster(it->sector) ||
            readClusters_.count(ConvertSectorToClusterNum(it->sector))) {
            continue;
        }
        if (!layout_.device->ReadSector(buffer.data(), it->sector, layout_.sectorsPerCluster)) {
            continue;
        }
        CFATFileNode* folder = CreateTempFileNode(kFATNoFolderCluster, it->parentCluster);
        children.BuildChildrenFromBuffer(buffer.data(), clusterBytes, folder, queue_, 1, 1);
        folder->Release();
        queue_.clear();
    }
    return 1;
}
