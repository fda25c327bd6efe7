#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "FATBuildChildren.h"
#include "FATCompleteFolderSectors.h"
#include "FATVolumeLayout.h"
#include "ResultCode.h"

class CFATFileNode;
class CFATSearchedPartitionInfo;
class IDirecotryTreeBuilder;
class IFATTable;
class IProgress;
class IStorageDevice;

// Lists the files of one FAT16/FAT32 partition into the tree builder under
// searcher type 32. One worker serves one partition and one call.
class CFATBuildWorker {
public:
    CFATBuildWorker(IDirecotryTreeBuilder* builder, IProgress* progress,
                    CFATSearchedPartitionInfo* partition, const FATVolumeLayout& layout,
                    uint32_t validBootSector, IFATTable* table);

    // First sector of each file the raw search recognised -> its RAW_FILE_TYPE;
    // the complete path tests revised first clusters against it.
    void SetFileSectorMap(const std::map<long long, unsigned int>* map) { fileSectorMap_ = map; }

    // Walks the tree down from the root folder.
    RESULT_CODE QuickBuildDirectoryTree(int n);

    // Lists a partition rebuilt by the complete scan. It starts from the
    // folder sectors met anywhere in the partition, so folders whose parents
    // are lost are listed too: under made-up folders named "DIR%d" when no
    // listing reached them, and the entries of stray folder sectors as lost
    // files. 1 on success.
    int CompleteBuildDirectoryTree(const CFATFolderSectorList& folders);

    // A made-up folder (state deleted and made up) named "DIR%d" from a
    // counter that belongs to the process and is never reset.
    CFATFileNode* CreateTempFileNode(uint32_t cluster, uint32_t parentCluster) const;

    uint32_t ConvertSectorToClusterNum(int64_t sector) const;
    bool IsFirsectorInCluster(int64_t sector) const;

    // The full check of a boot sector before its volume is searched: it must
    // classify and one of its two FATs must begin like a FAT.
    static bool IsFullValidDBR(const uint8_t* sector, int64_t volumeStart, IStorageDevice* device);

private:
    void SendProgress(uint64_t done);

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
    const std::map<long long, unsigned int>* fileSectorMap_ = nullptr;
    std::map<uint32_t, CFATFileNode*> folderMap_;
    std::set<uint32_t> readClusters_;
    FATFolderQueue queue_;
};
