#include "FATCompleteSearcher.h"

#include <algorithm>
#include <cassert>

#include "DirectoryTreeBuilder.h"
#include "FATBootSector.h"
#include "FATBuildWorker.h"
#include "FATCompleteFolderAnalyser.h"
#include "FATSearchedPartitionInfo.h"
#include "FATTable.h"
#include "FATTableAnalyser.h"
#include "SectorPrefetch.h"
#include "StorageDevice.h"

ICompleteFileSystemSearchController* CreateFATSearcher() {
    return new CFATCompleteFSearcher();
}

CFATCompleteFSearcher::~CFATCompleteFSearcher() {
    DestroyPublished();
}

void CFATCompleteFSearcher::DestroyPublished() {
    for (CFATSearchedPartitionInfo* record : published_) {
        CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(record);
    }
    published_.clear();
}

void CFATCompleteFSearcher::SetDevice(IStorageDevice* device) {
    device_ = device;
    if (device_) {
        sectorSize_ = device_->GetSectorSize();
        candidates_.SetDevice(sectorSize_, device_->GetTotalSectors());
    }
}

void CFATCompleteFSearcher::PreparetoSearch() {
    DestroyPublished();
}

void CFATCompleteFSearcher::AnalyzeBlock(long long firstSector, long long sectorCount) {
    assert(device_ != nullptr && "m_pDevice != NULL");
    assert(sectorsPerBlock_ > 0 && "m_iSectorsperBlock > 0");
    if (!device_ || sectorsPerBlock_ <= 0) {
        return;
    }
    // Boot sectors and folder entries need at least 512 bytes a sector.
    if (!IsValidSectorSize(sectorSize_) || sectorCount <= 0 || firstSector < 0) {
        return;
    }
    const int64_t chunk = std::min<int64_t>(sectorCount, sectorsPerBlock_);
    if (buffer_.size() < static_cast<size_t>(chunk) * sectorSize_) {
        buffer_.resize(static_cast<size_t>(chunk) * sectorSize_);
    }
    for (int64_t done = 0; done < sectorCount; done += chunk) {
        const int64_t first = firstSector + done;
        const int64_t count = std::min<int64_t>(chunk, sectorCount - done);
        // A block the device holds in memory is analysed where it lies.
        if (const uint8_t* held = device_->HeldSectors(first, count)) {
            for (int64_t i = 0; i < count; ++i) {
                PrefetchSectorAhead(held + static_cast<size_t>(i) * sectorSize_, sectorSize_);
                AnalyzeSector(first + i, held + static_cast<size_t>(i) * sectorSize_);
            }
            continue;
        }
        if (device_->ReadSector(buffer_.data(), first, count)) {
            for (int64_t i = 0; i < count; ++i) {
                AnalyzeSector(first + i, buffer_.data() + static_cast<size_t>(i) * sectorSize_);
            }
            continue;
        }
        // One bad sector must not hide the rest of the run: read one at a
        // time, and a sector that cannot be read is skipped, never analysed
        // with what the buffer held before.
        for (int64_t i = 0; i < count; ++i) {
            if (device_->ReadSector(buffer_.data(), first + i, 1)) {
                AnalyzeSector(first + i, buffer_.data());
            }
        }
    }
}

void CFATCompleteFSearcher::AnalyzeSector(int64_t sector, const uint8_t* buffer) {
    if (buffer[0] == 0) {
        return;
    }
    if (CTempFATDBR::SimpleCheck(buffer) && candidates_.AnalyzeFATDBRSector(sector, buffer)) {
        return;
    }
    enumFILE_SYSTEM_TYPE type = FILE_SYSTEM_UNKNOWN;
    if (CFATTableAnalyser::IsValidFATTableFirstSector(buffer, static_cast<int>(sectorSize_),
                                                      type)) {
        candidates_.UpdateFATTableInfo(sector);
        return;
    }
    CFATFolderAnalyser folder(sectorSize_);
    if (!folder.AnalyseSector(buffer)) {
        return;
    }
    if (folder.GetKind() == CFATFolderAnalyser::kSubFolderFirstSector) {
        candidates_.AnalyzeFATSubFolderFirstSector(sector, folder.GetDotCluster());
        folderSectors_.Add({sector, folder.GetDotCluster(), folder.GetDotDotCluster()});
    } else {
        folderSectors_.Add({sector, kFATNoFolderCluster, kFATNoFolderCluster});
    }
}

void CFATCompleteFSearcher::AddSearchedPartitionInfoList2(
    std::vector<CFATSearchedPartitionInfo*>& published) {
    candidates_.Publish(published);
}

void CFATCompleteFSearcher::EndSearch(int build) {
    if (!build) {
        return;
    }
    AddSearchedPartitionInfoList2(published_);
    if (published_.empty()) {
        return;
    }
    if (builder_) {
        builder_->AddSearcherInfo(SEARCHER_FAT, 0);
    }
    for (CFATSearchedPartitionInfo* partition : published_) {
        CompleteBulidDirectoryTree(partition);
    }
    if (builder_) {
        // Each partition's cluster origin serves the reading of its recycle bin.
        for (CFATSearchedPartitionInfo* partition : published_) {
            builder_->SetPartitonDevice(partition, device_);
        }
        builder_->SetPartitonDevice(nullptr, device_);
        builder_->FlashBuild(SEARCHER_FAT);
    }
}

RESULT_CODE CFATCompleteFSearcher::CompleteBulidDirectoryTree(
    CFATSearchedPartitionInfo* partition) {
    const uint32_t flags = partition->GetFlag();
    const auto type = static_cast<enumFILE_SYSTEM_TYPE>(partition->fileSystemType);
    const int64_t start = partition->GetStartSector();
    const int64_t fat1 = start + partition->GetReservedSector();
    IFATTable* table = IFATTableFactory::CreateFATTable(
        device_, fat1, type, partition->GetSectorPerFAT(), flags & kFATEvidenceFAT1Usable,
        flags & kFATEvidenceFAT2Usable);
    if (!table) {
        return ENGINE_FAILURE(kModuleFAT, kResultMissingObject);
    }
    FATVolumeLayout layout;
    layout.device = device_;
    layout.type = type;
    layout.startSector = start;
    layout.sectorsPerCluster = partition->sectorsPerCluster;
    layout.firstDataSector = static_cast<int64_t>(partition->firstDataSector);
    layout.totalSectors = static_cast<int64_t>(partition->GetTotalSectors());
    layout.sectorSize = sectorSize_;
    uint32_t validBootSector = 0;
    layout.rootStartSector = 0xFFFFFFFF;
    if ((flags & kFATEvidenceBootSectors) != 0) {
        validBootSector = 1;
        if (type == FILE_SYSTEM_FAT16) {
            layout.rootStartSector = fat1 + int64_t{2} * partition->GetSectorPerFAT();
            layout.rootSectorCount = partition->GetRootInfo();
        } else {
            layout.rootCluster = partition->GetRootInfo();
        }
    }
    CFATBuildWorker worker(builder_, nullptr, partition, layout, validBootSector, table);
    worker.SetFileSectorMap(fileSectorMap_);
    worker.CompleteBuildDirectoryTree(folderSectors_);
    IFATTableFactory::DestroyFATTable(table);
    return kResultSuccess;
}

int CFATCompleteFSearcher::GetSearchedPartitionInfo(CSearchedPartitionInfo** records,
                                                    int capacity) {
    const int count = static_cast<int>(published_.size());
    if (!records) {
        return count;
    }
    if (capacity < count) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        CFATSearchedPartitionInfo* copy = published_[i]->Clone();
        // The score is what tells the partitions apart; the copy keeps it.
        copy->integerScore = published_[i]->integerScore;
        records[i] = copy;
    }
    return count;
}
