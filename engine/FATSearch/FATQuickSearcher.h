#pragma once

#include <vector>

#include "FileSystemSearcher.h"

class CFATSearchedPartitionInfo;
class CTempFATDBR;
class IFATTable;

// The deleted-file search of one FAT16 or FAT32 volume: reads the boot sector
// and FAT and walks the directory tree from the root, existing and deleted
// entries alike, into the tree builder under searcher type 32.
class CFATQuickSearcher : public IQuickFileSystemSearchController {
public:
    CFATQuickSearcher() = default;
    ~CFATQuickSearcher() override;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // A copy of the first partition record (the capacity is not consulted);
    // with a null array, the count.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    RESULT_CODE QuickSearchFiles(IStorageDevice* device, IProgress* progress) override;

private:
    RESULT_CODE FatQuickSearchFiles(enumFILE_SYSTEM_TYPE type);
    RESULT_CODE SearchWithBootSector(enumFILE_SYSTEM_TYPE type, uint32_t flags, uint8_t* bootSector,
                                     IFATTable*& table, CFATSearchedPartitionInfo*& record);
    // The FAT as the copies allowed by `flags` give it: a copy that passes the
    // table tests, else the less damaged one read leniently; null when none loads.
    IFATTable* ReadFAT(CTempFATDBR& dbr, enumFILE_SYSTEM_TYPE type, uint32_t flags);

    IDirecotryTreeBuilder* builder_ = nullptr;
    std::vector<CFATSearchedPartitionInfo*> partitions_;
    IStorageDevice* device_ = nullptr;
    IProgress* progress_ = nullptr;
};

// A new quick searcher, never null; the caller deletes it.
IQuickFileSystemSearchController* CreateFATQuickSearcher();
