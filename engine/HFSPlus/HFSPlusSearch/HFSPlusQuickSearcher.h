#pragma once

#include <memory>

#include "FileSystemSearcher.h"
#include "HFSPlusPrivateData.h"

// The deleted-file search of one HFS+ volume: the files whose records the
// journal still holds, then every file of the live catalog, under searcher type 31.
class CHFSPlusQuickFileSystemSearchController : public IQuickFileSystemSearchController {
public:
    CHFSPlusQuickFileSystemSearchController() = default;
    ~CHFSPlusQuickFileSystemSearchController() override = default;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // One new record per call (capacity below 1: only the count, 1); each holds
    // its own share of the opened volume.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    RESULT_CODE QuickSearchFiles(IStorageDevice* device, IProgress* progress) override;

private:
    IDirecotryTreeBuilder* builder_ = nullptr;
    CHFSPlusPrivateData holder_;
    IStorageDevice* device_ = nullptr;
    IProgress* progress_ = nullptr;
    uint32_t blockSize_ = 0;
};

// A new quick searcher (null when memory fails); the caller deletes it.
IQuickFileSystemSearchController* CreateHFSPlusQuickSearcher();
