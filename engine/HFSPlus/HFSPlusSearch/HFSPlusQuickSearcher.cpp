#include "HFSPlusQuickSearcher.h"

#include <new>

#include "DirectoryTreeBuilder.h"
#include "HFSPlusFormat.h"
#include "HFSPlusProgress.h"
#include "HFSPlusResult.h"
#include "HFSPlusVolume.h"
#include "StorageDevice.h"

RESULT_CODE CHFSPlusQuickFileSystemSearchController::QuickSearchFiles(IStorageDevice* device,
                                                                      IProgress* progress) {
    device_ = device;
    progress_ = progress;
    // Its destruction reports the end, whatever the outcome.
    CHFSPlusQuickFileSystemSearchProgress adapter(progress, false);
    if (device == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    if (builder_ == nullptr)
        return HFS_FAILURE(kResultNotInitialised);

    std::shared_ptr<CHFSPlusVolume> volume(new (std::nothrow) CHFSPlusVolume(device, false));
    if (!volume)
        return HFS_FAILURE(kResultOutOfMemory);
    if (IsFailure(volume->GetLastError()))
        return volume->GetLastError();
    holder_ = CHFSPlusPrivateData(volume);
    blockSize_ = volume->GetBlockSize();

    builder_->AddSearcherInfo(SEARCHER_HFSPLUS, kHFSRootFolderID);
    const RESULT_CODE listed = volume->QuickSearchFiles(builder_, &adapter);
    builder_->FlashBuild(SEARCHER_HFSPLUS);
    // A listing that failed or was stopped is not a finished search.
    if (IsFailure(listed) && adapter.GetRecord() != nullptr)
        adapter.GetRecord()->result = listed;
    return listed;
}

int CHFSPlusQuickFileSystemSearchController::GetSearchedPartitionInfo(
    CSearchedPartitionInfo** records, int capacity) {
    if (capacity < 1 || records == nullptr)
        return 1;
    if (device_ == nullptr || holder_.GetVolume() == nullptr)
        return 0;
    const uint32_t sectorSize = device_->GetSectorSize();
    auto* record = new (std::nothrow) CHFSPlusSearchedPartitionInfo(sectorSize, holder_);
    if (record == nullptr)
        return 0;
    record->fileSystemType = FILE_SYSTEM_HFSPLUS;
    record->sectorsPerCluster = record->sectorSize != 0 ? blockSize_ / record->sectorSize : 0;
    record->firstDataSector = 0;
    record->startSector = 0;
    record->SetTotalSectors(static_cast<uint64_t>(device_->GetTotalSectors()));
    record->partitionIndex = 0;
    records[0] = record;
    return 1;
}

IQuickFileSystemSearchController* CreateHFSPlusQuickSearcher() {
    return new (std::nothrow) CHFSPlusQuickFileSystemSearchController();
}
