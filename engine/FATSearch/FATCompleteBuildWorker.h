#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "FATBuildChildren.h"
#include "FATCompleteFolderSectors.h"
#include "FATVolumeLayout.h"

class CFATFileNode;
class CFATSearchedPartitionInfo;
class IDirecotryTreeBuilder;
class IFATTable;
class IProgress;

// Lists one partition rebuilt by the complete scan. Unlike the walk down from
// the root, it starts from the folder sectors met anywhere in the partition,
// so folders whose parents are lost are listed too: under made-up folders
// named "DIR%d" when no listing reached them, and the entries of stray folder
// sectors as lost files.
class CFATCompleteBuildWorker {
public:
    CFATCompleteBuildWorker(IDirecotryTreeBuilder* builder, IProgress* progress,
                            CFATSearchedPartitionInfo* partition, const FATVolumeLayout& layout,
                            uint32_t validBootSector, IFATTable* table);

    // 1 on success.
    int CompleteBuildDirectoryTree(const CFATFolderSectorList& folders);

    // A made-up folder (state deleted and made up) named "DIR%d" from a
    // counter that belongs to the process and is never reset.
    CFATFileNode* CreateTempFileNode(uint32_t cluster, uint32_t parentCluster) const;

    uint32_t ConvertSectorToClusterNum(int64_t sector) const;
    bool IsFirsectorInCluster(int64_t sector) const;

private:
    // Entries of one sector of a FAT16 root area whose boot sector is lost.
    void BuildFat16LostRoot(CFATBuildChildren& children, int64_t sector);
    void BuildFolder(CFATBuildChildren& children, const FIRSTFOLDERSECTOR& record);
    // Stray folder clusters nothing listed: their entries become lost files.
    int BuildLostNode(CFATBuildChildren& children, const CFATFolderSectorList& folders);

    IDirecotryTreeBuilder* builder_;
    IProgress* progress_;
    CFATSearchedPartitionInfo* partition_;
    FATVolumeLayout layout_;
    uint32_t validBootSector_;
    IFATTable* table_;  // not owned
    std::map<uint32_t, CFATFileNode*> folderMap_;
    std::set<uint32_t> readClusters_;
    FATFolderQueue queue_;
};
