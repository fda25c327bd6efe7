#pragma once

#include <cstdint>
#include <map>
#include <set>

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

    // Walks the tree down from the root folder.
    RESULT_CODE QuickBuildDirectoryTree(int n);

    // The full check of a boot sector before its volume is searched: it must
    // classify and one of its two FATs must begin like a FAT.
    static bool IsFullValidDBR(const uint8_t* sector, int64_t volumeStart, IStorageDevice* device);

private:
    void SendProgress(uint64_t done);

    IDirecotryTreeBuilder* builder_;
    IProgress* progress_;
    CFATSearchedPartitionInfo* partition_;
    FATVolumeLayout layout_;
    uint32_t validBootSector_;
    IFATTable* table_;  // not owned
    std::map<uint32_t, CFATFileNode*> folderMap_;
    std::set<uint32_t> readClusters_;
};
