#include "ExFatQuickSearch.h"

#include <bit>
#include <cstdio>
#include <memory>

#include "DirectoryTreeBuilder.h"
#include "ExFatBootSector.h"
#include "ExFatEntries.h"
#include "ExFatFileNode.h"
#include "Progress.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"

bool CExFatQuickSearch::PrepareSearch(IStorageDevice* device) {
    if (!device || !builder_)
        return false;
    const uint32_t sectorSize = device->GetSectorSize();
    if (!IsValidSectorSize(sectorSize))
        return false;
    std::vector<uint8_t> boot(sectorSize);
    if (!device->ReadSector(boot.data(), 0, 1))
        return false;
    const CExFatDBR dbr(boot.data());
    if (!dbr.IsValid(sectorSize))
        return false;

    const uint32_t sectorShift = static_cast<uint32_t>(std::countr_zero(sectorSize));
    parser_.PrepareAnayze(sectorShift, sectorShift + dbr.GetSectorsPerClusterShift(),
                          static_cast<uint64_t>(device->GetTotalSectors()));
    volume_.bytesPerSector = sectorSize;
    volume_.dataStartSector = dbr.GetClusterHeapOffset();
    volume_.sectorsPerCluster = dbr.GetSectorsPerCluster();
    volume_.rootCluster = dbr.GetRootCluster();
    volume_.clusterBound = dbr.GetClusterCount();
    const uint64_t fatEntries = uint64_t{dbr.GetFatLength()} * sectorSize / 4;
    if (fatEntries > volume_.clusterBound) {
        volume_.clusterBound = static_cast<uint32_t>(std::min<uint64_t>(fatEntries, 0xFFFFFFFF));
        std::printf("chang totalClustur = %d\n", static_cast<int>(volume_.clusterBound));
    }
    volume_.totalSectors = device->GetTotalSectors();
    volume_.CreateFatTable(device, dbr.GetFatOffset(), dbr.GetFatLength());
    volume_.bytesPerCluster = sectorSize * volume_.sectorsPerCluster;
    clusterBuffer_.assign(volume_.bytesPerCluster, 0);
    return builder_->AddSearcherInfo(SEARCHER_EXFAT,
                                     volume_.ConvertClusterNumToSector(volume_.rootCluster));
}

RESULT_CODE CExFatQuickSearch::QuickSearchFiles(IStorageDevice* volume, IProgress* progress) {
    if (PrepareSearch(volume))
        QuickSearch(volume, progress);
    return 0;
}

void CExFatQuickSearch::QuickSearch(IStorageDevice* device, IProgress* progress) {
    if (!progress)
        return;
    std::deque<CExFatFileNode*> waiting;
    const int64_t rootLength = int64_t{volume_.clusterBound} * volume_.bytesPerCluster;
    const int64_t rootId = volume_.ConvertClusterNumToSector(volume_.rootCluster);
    if (BuildChildren(device, volume_.rootCluster, rootLength, false, false, rootId, waiting) ==
        0) {
        return;
    }
    uint64_t done = 0;
    uint64_t lastPercent = 0;
    while (!waiting.empty() && progress->Continued()) {
        CExFatFileNode* folder = waiting.front();
        waiting.pop_front();
        if (BuildChildren(device, folder->GetFirstCluster(), folder->GetFileSize(),
                          folder->IsContiguous(), folder->IsDeleted() != 0,
                          folder->GetCurrentNodeID(), waiting) == 0) {
            break;
        }
        ++done;
        const uint64_t percent = done * 100 / (done + waiting.size());
        if (percent > lastPercent) {
            _PROGRESS_INFO info{};
            info.state = PROGRESS_STATE_RUNNING;
            info.total = done + waiting.size();
            info.done = done;
            progress->UpdateProgress(&info);
            lastPercent = percent;
        }
    }
    GuessDeletedClusters(device);
    if (builder_) {
        // The volume's cluster origin serves the reading of its recycle bin.
        CSearchedPartitionInfo* handedOut = nullptr;
        GetSearchedPartitionInfo(&handedOut, 1);
        const std::unique_ptr<CSearchedPartitionInfo> record(handedOut);
        builder_->SetPartitonDevice(record.get(), device);
        builder_->FlashBuild(SEARCHER_EXFAT);
        builder_->SetPartitonDevice(nullptr, device);
    }
    _PROGRESS_INFO info{};
    info.state = PROGRESS_STATE_FINISHED;
    info.total = 1;
    info.done = 1;
    progress->UpdateProgress(&info);
}

int CExFatQuickSearch::BuildChildren(IStorageDevice* device, uint32_t firstCluster, int64_t length,
                                     bool contiguous, bool deleted, int64_t folderId,
                                     std::deque<CExFatFileNode*>& waiting) {
    if (!device || !builder_)
        return 0;
    parser_.Reset();
    uint32_t cluster = firstCluster;
    for (int64_t remaining = length; remaining > 0; remaining -= volume_.bytesPerCluster) {
        if (cluster < 2 || cluster > kExFatLastCluster || IsClusterProssed(cluster))
            break;
        const int64_t sector = volume_.ConvertClusterNumToSector(cluster);
        // An unreadable cluster loses this folder only; the walk goes on.
        if (!device->ReadSector(clusterBuffer_.data(), sector, volume_.sectorsPerCluster))
            break;
        if (!parser_.Analyze(clusterBuffer_.data(), volume_.bytesPerCluster, sector))
            break;
        // A contiguous folder has no chain in the FAT: its clusters follow on.
        cluster = contiguous ? cluster + 1 : volume_.GetNextCluster(cluster, 0);
        if (cluster >= volume_.clusterBound)
            break;
    }
    AddFiles(deleted, folderId, waiting);
    return 1;
}

void CExFatQuickSearch::AddFiles(bool deleted, int64_t folderId,
                                 std::deque<CExFatFileNode*>& waiting) {
    for (_tagFileBaseInfo& file : parser_.Files()) {
        if (deleted)
            file.inUse = 0;
        starts_.push_back(file.firstCluster);
        const bool guessed = !file.inUse && !file.noFatChain && file.dataLength > 0 &&
                             !(file.attributes & kExFatDirectoryAttribute);
        CExFatFileNode* node = volume_.BuildFile(file);
        node->SetID(volume_.ConvertClusterNumToSector(file.firstCluster));
        node->SetParentID(folderId);
        if (file.noFatChain)
            node->SetContiguous();
        if (!builder_->AddNode(node, SEARCHER_EXFAT)) {
            node->Release();
        } else if (node->IsDirectory()) {
            waiting.push_back(node);
        } else if (guessed) {
            guessed_.emplace_back(node, file);
        }
    }
    parser_.Files().clear();
}

void CExFatQuickSearch::GuessDeletedClusters(IStorageDevice* device) {
    if (guessed_.empty())
        return;
    volume_.LoadAllocationBitmap(device, parser_.BitmapCluster(), parser_.BitmapLength());
    std::vector<const _tagFileBaseInfo*> deleted;
    for (const auto& [node, file] : guessed_)
        deleted.push_back(&file);
    volume_.PrepareGuesses(std::move(starts_), deleted);
    for (const auto& [node, file] : guessed_)
        node->SetDataRunList(volume_.BuildFileDataRun(file));
    volume_.ClearGuessData();
    guessed_.clear();
    starts_.clear();
}

bool CExFatQuickSearch::IsClusterProssed(uint32_t cluster) {
    return !clustersRead_.insert(cluster).second;
}

int CExFatQuickSearch::GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) {
    if (records && capacity >= 1) {
        auto* record = new CSearchedPartitionInfo(volume_.bytesPerSector);
        record->fileSystemType = FILE_SYSTEM_EXFAT;
        record->sectorsPerCluster = volume_.sectorsPerCluster;
        record->firstDataSector = static_cast<uint64_t>(volume_.dataStartSector);
        record->startSector = 0;
        record->SetTotalSectors(0);
        records[0] = record;
    }
    return 1;
}

IQuickFileSystemSearchController* CreateEXFatQuickSearcher() {
    return new CExFatQuickSearch();
}
