#include "FATQuickSearcher.h"

#include <memory>
#include <vector>

#include "DirectoryTreeBuilder.h"
#include "FATBootSector.h"
#include "FATBuildWorker.h"
#include "FATSearchedPartitionInfo.h"
#include "FATTable.h"
#include "Progress.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace {

// Where a boot sector and FATs may be taken from (partition evidence flags).
constexpr uint32_t kFAT32SearchFlags = 0x3CC;
constexpr uint32_t kFAT16SearchFlags = 0x3C3;
constexpr uint32_t kBootSectorFlags = 0x7;
constexpr int64_t kFAT32BackupBootSector = 6;

}  // namespace

CFATQuickSearcher::~CFATQuickSearcher() {
    for (CFATSearchedPartitionInfo* record : partitions_) {
        CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(record);
    }
}

int CFATQuickSearcher::GetSearchedPartitionInfo(CSearchedPartitionInfo** records,
                                                int /*capacity*/) {
    if (partitions_.empty()) {
        return 0;
    }
    if (!records) {
        return 1;  // asked for the count
    }
    records[0] = partitions_.front()->Clone();
    return 1;
}

RESULT_CODE CFATQuickSearcher::QuickSearchFiles(IStorageDevice* device, IProgress* progress) {
    RESULT_CODE code = kResultSuccess;
    if (!device || !progress) {
        code = ENGINE_FAILURE(kModuleFAT, kResultBadArgument);
    } else if (!builder_) {
        code = ENGINE_FAILURE(kModuleFAT, kResultMissingObject);
    } else if (device->GetType() != kStorageDeviceVolume) {
        code = ENGINE_FAILURE(kModuleFAT, kResultNotSupported);
    } else {
        device_ = device;
        progress_ = progress;
        auto* data = dynamic_cast<IVolumeDeviceData*>(device->GetPrivateData());
        CCollectedVolumeDeviceInfoStruct* info = data ? data->GetVolumeInfo() : nullptr;
        if (!data || !info) {
            code = ENGINE_FAILURE(kModuleFAT, kResultMissingObject);
        } else if (info->fileSystemType != FILE_SYSTEM_FAT16 &&
                   info->fileSystemType != FILE_SYSTEM_FAT32) {
            code = ENGINE_FAILURE(kModuleFAT, kResultNoFATFileSystem);
        } else {
            code = FatQuickSearchFiles(static_cast<enumFILE_SYSTEM_TYPE>(info->fileSystemType));
        }
    }
    if (progress) {
        _PROGRESS_INFO info{};
        info.state = PROGRESS_STATE_FINISHED;
        info.total = 100;
        info.done = 100;
        info.result = code;
        progress->UpdateProgress(&info);
    }
    return code;
}

RESULT_CODE CFATQuickSearcher::FatQuickSearchFiles(enumFILE_SYSTEM_TYPE type) {
    const uint32_t flags = type == FILE_SYSTEM_FAT32 ? kFAT32SearchFlags : kFAT16SearchFlags;
    const uint32_t sectorSize = device_->GetSectorSize();
    if (sectorSize < 512) {
        return ENGINE_FAILURE(kModuleFAT, kResultSectorTooSmall);
    }
    std::vector<uint8_t> bootSector(sectorSize);
    IFATTable* table = nullptr;
    CFATSearchedPartitionInfo* record = nullptr;
    const RESULT_CODE code = SearchWithBootSector(type, flags, bootSector.data(), table, record);
    builder_->SetPartitonDevice(record, device_);
    builder_->FlashBuild(SEARCHER_FAT);
    IFATTableFactory::DestroyFATTable(table);
    return code;
}

RESULT_CODE CFATQuickSearcher::SearchWithBootSector(enumFILE_SYSTEM_TYPE type, uint32_t flags,
                                                    uint8_t* boot, IFATTable*& table,
                                                    CFATSearchedPartitionInfo*& record) {
    const uint32_t sectorSize = device_->GetSectorSize();
    // A failed read never leaves earlier bytes to be taken for a boot sector.
    auto readAndCheck = [&](int64_t sector) {
        std::fill(boot, boot + sectorSize, 0);
        return device_->ReadSector(boot, sector, 1) &&
               CFATBuildWorker::IsFullValidDBR(boot, 0, device_);
    };
    bool valid = (flags & kBootSectorFlags) && readAndCheck(0);
    if (!valid && (flags & kFATEvidenceFAT32BackupBootSector)) {
        valid = readAndCheck(kFAT32BackupBootSector);
    }
    if (!valid) {
        return ENGINE_FAILURE(kModuleFAT, kResultNoFATFileSystem);
    }
    CTempFATDBR dbr(boot, sectorSize);
    table = ReadFAT(dbr, type, flags);
    if (!table) {
        return ENGINE_FAILURE(kModuleFAT, kResultMissingObject);
    }

    FATVolumeLayout layout;
    layout.device = device_;
    layout.type = type;
    layout.startSector = 0;
    layout.sectorSize = sectorSize;
    layout.sectorsPerCluster = dbr.GetSectorsperCluster();
    const uint32_t fatArea =
        dbr.GetReservedSector() + dbr.GetNumberOfFat() * dbr.GetSectorsPerFat();
    const uint32_t rootEntrySectors = dbr.GetRootEntries() * 32u / sectorSize;
    if (type == FILE_SYSTEM_FAT32) {
        layout.firstDataSector = fatArea;
        layout.rootCluster = dbr.GetRootDirStartCluster();
        layout.rootStartSector =
            static_cast<uint32_t>(fatArea + (layout.rootCluster - 2) * layout.sectorsPerCluster);
    } else {
        layout.rootStartSector = fatArea;
        layout.firstDataSector = fatArea + rootEntrySectors;
    }
    layout.rootSectorCount = rootEntrySectors;
    // The record describes what the device holds; the tree build keeps the
    // boot sector's size, so that files past the end of a cut-short image are
    // listed (their copies come out partial).
    layout.totalSectors = dbr.GetTotalSectors();
    int64_t totalSectors = layout.totalSectors;
    if (totalSectors > device_->GetTotalSectors()) {
        totalSectors = device_->GetTotalSectors();
    }
    const uint32_t clusterCount =
        static_cast<uint32_t>(totalSectors - layout.firstDataSector) / layout.sectorsPerCluster;

    record = CFATSearchedPartitionInfo::CreateFATSearchedPartitionInfo(sectorSize);
    record->partitionIndex = 0;
    record->firstDataSector = static_cast<uint64_t>(layout.firstDataSector);
    record->sectorsPerCluster = layout.sectorsPerCluster;
    record->fileSystemType = type;
    record->SetTotalSectors(static_cast<uint64_t>(totalSectors));
    record->SetSectorPerFAT(dbr.GetSectorsPerFat());
    record->SetTotalCluster(clusterCount);
    record->SetStartSector(0);
    record->SetReservedSector(dbr.GetReservedSector());
    record->SetRootInfo(type == FILE_SYSTEM_FAT32 ? layout.rootCluster : rootEntrySectors);
    record->MergeFlag(flags);
    partitions_.push_back(record);

    builder_->AddSearcherInfo(SEARCHER_FAT, 0);
    CFATBuildWorker worker(builder_, progress_, record, layout, 1, table);
    return worker.QuickBuildDirectoryTree(1);
}

IFATTable* CFATQuickSearcher::ReadFAT(CTempFATDBR& dbr, enumFILE_SYSTEM_TYPE type,
                                      uint32_t flags) {
    const int useFirst = flags & kFATEvidenceFAT1Usable;
    const int useSecond = flags & kFATEvidenceFAT2Usable;
    std::unique_ptr<CDoubleFATTable> sound(IFATTableFactory::CreateFATTable(
        device_, dbr.GetReservedSector(), type, dbr.GetSectorsPerFat(), useFirst, useSecond));
    if (sound->HasTable()) {
        return sound.release();
    }
    // Both copies fail the table tests; one cross-link is enough for that.
    // The less damaged copy is still a far better map of the files than none.
    return IFATTableFactory::CreateDamagedFATTable(device_, dbr.GetReservedSector(), type,
                                                   dbr.GetSectorsPerFat(), useFirst, useSecond);
}

IQuickFileSystemSearchController* CreateFATQuickSearcher() {
    return new CFATQuickSearcher();
}
