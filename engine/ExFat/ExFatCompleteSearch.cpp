#include "ExFatCompleteSearch.h"

#include <bit>
#include <cstring>
#include <memory>

#include "DirectoryTreeBuilder.h"
#include "ExFatBootSector.h"
#include "ExFatFileNode.h"
#include "SearchedPartitionInfo.h"
#include "SectorPrefetch.h"
#include "StorageDevice.h"

namespace {

constexpr uint8_t kUpCaseStart[16] = {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0};
constexpr uint8_t kFatStart[8] = {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr uint32_t kLargestClusterShift = 25;
constexpr int64_t kLookBehind = 2;

// The record handed out for the partition at `index`.
CSearchedPartitionInfo* MakeRecord(const CExFatPartitionEx& partition, int index) {
    auto* record = new CSearchedPartitionInfo(partition.bytesPerSector);
    record->firstDataSector = static_cast<uint64_t>(partition.dataStartSector);
    record->startSector = static_cast<uint64_t>(partition.startSector);
    record->SetTotalSectors(static_cast<uint64_t>(partition.totalSectors));
    record->fileSystemType = FILE_SYSTEM_EXFAT;
    record->sectorsPerCluster = partition.sectorsPerCluster;
    record->partitionIndex = static_cast<uint16_t>(index);
    return record;
}

}  // namespace

const uint8_t* CExFatCompleteSearch::PrepareAnalyzeBlock(long long firstSector,
                                                         long long sectorCount) {
    if (!device_ || !builder_ || sectorsPerBlock_ <= 0 || sectorCount <= 0 ||
        sectorCount > sectorsPerBlock_) {
        return nullptr;
    }
    if (buffer_.empty()) {
        sectorSize_ = device_->GetSectorSize();
        totalSectors_ = static_cast<uint64_t>(device_->GetTotalSectors());
        if (!IsValidSectorSize(sectorSize_))
            return nullptr;
        const auto shift = static_cast<uint32_t>(std::countr_zero(sectorSize_));
        preAnalyze_.PrepareAnayze(shift, kLargestClusterShift, totalSectors_);
        partitionBuilder_.PrepareBuild(sectorSize_, totalSectors_);
        buffer_.assign((size_t(sectorsPerBlock_) + 4) * sectorSize_, 0);
    }
    const size_t carry = size_t(kLookBehind) * sectorSize_;
    const bool follows = carried_ && firstSector == expectedFirst_;
    carried_ = false;
    // A block following the last one that the device holds in memory, with
    // the sectors before it, is analysed where it lies; its last sectors are
    // kept as the carry in case the next block has to be read.
    const uint8_t* held =
        follows ? device_->HeldSectors(firstSector - kLookBehind, sectorCount + kLookBehind)
                : nullptr;
    if (held != nullptr) {
        std::memcpy(buffer_.data() + size_t(sectorCount) * sectorSize_,
                    held + size_t(sectorCount) * sectorSize_, carry);
    } else {
        // The two sectors that ended the previous block move to the front;
        // after a gap or a failed read they are zero.
        if (follows) {
            std::memmove(buffer_.data(), buffer_.data() + size_t(lastCount_) * sectorSize_, carry);
        } else {
            std::memset(buffer_.data(), 0, carry);
        }
        if (!device_->ReadSector(buffer_.data() + carry, firstSector, sectorCount))
            return nullptr;
        held = buffer_.data();
    }
    carried_ = true;
    lastCount_ = sectorCount;
    expectedFirst_ = firstSector + sectorCount;
    return held;
}

void CExFatCompleteSearch::AnalyzeBlock(long long firstSector, long long sectorCount) {
    const uint8_t* bytes = PrepareAnalyzeBlock(firstSector, sectorCount);
    if (bytes == nullptr)
        return;
    for (long long i = 0; i < sectorCount; ++i) {
        const int64_t sector = firstSector - kLookBehind + i;
        if (sector < 0)
            continue;
        PrefetchSectorAhead(bytes + size_t(i) * sectorSize_, sectorSize_);
        AnalyzeSector(sector, bytes + size_t(i) * sectorSize_,
                      static_cast<uint32_t>((sectorCount + kLookBehind - i) * sectorSize_));
    }
}

void CExFatCompleteSearch::AnalyzeSector(int64_t sector, const uint8_t* bytes, uint32_t available) {
    bool setEnds = true;
    if (bytes[0] == 0 && std::memcmp(bytes, kUpCaseStart, sizeof(kUpCaseStart)) == 0) {
        partitionBuilder_.RecordUpCaseTable(sector);
    } else if (bytes[510] == 0x55 && bytes[511] == 0xAA && CExFatDBR(bytes).IsValid(sectorSize_)) {
        partitionBuilder_.Build(sector, CExFatDBR(bytes));
    } else if (std::memcmp(bytes, kFatStart, sizeof(kFatStart)) == 0) {
        partitionBuilder_.RecordFAT(sector);
    } else {
        setEnds = preAnalyze_.Analyze(sector, bytes, available);
    }
    const CFileSet* ending = setEnds ? preAnalyze_.CurrentFileSet() : nullptr;
    if (ending != nullptr && ending->firstSector >= 0 && (ending->HasFile() || ending->IsRoot())) {
        std::unique_ptr<CFileSet> set = preAnalyze_.GetFileSet();
        set->CalculateClusterSize(static_cast<uint32_t>(std::countr_zero(sectorSize_)));
        const int64_t following = set->IsNotEnded() ? preAnalyze_.GetNext(set->firstSector) : -1;
        const int64_t previous = set->IsAbridged() ? preAnalyze_.GetLast(set->firstSector) : -1;
        partitionBuilder_.PushFileSet(std::move(set), previous, following);
    } else if (setEnds) {
        // Nothing worth keeping ended here: the set is reused for the next sector.
        preAnalyze_.DropFileSet();
    }
    partitionBuilder_.Build(sector);
}

void CExFatCompleteSearch::EndSearch(int build) {
    if (!build)
        return;
    preAnalyze_.FinisAnayze();
    partitionBuilder_.FinishBuid(partitions_);
    BuildeFileNode();
    if (builder_) {
        // Each partition's cluster origin serves the reading of its recycle bin.
        for (int i = 0; i < static_cast<int>(partitions_.size()); ++i) {
            std::unique_ptr<CSearchedPartitionInfo> record(MakeRecord(*partitions_[size_t(i)], i));
            builder_->SetPartitonDevice(record.get(), device_);
        }
        builder_->SetPartitonDevice(nullptr, device_);
        builder_->FlashBuild(SEARCHER_EXFAT);
    }
    partitionBuilder_.Clear();
}

void CExFatCompleteSearch::BuildeFileNode() {
    if (partitions_.empty() || !builder_)
        return;
    builder_->AddSearcherInfo(SEARCHER_EXFAT, -1);
    for (size_t i = 0; i < partitions_.size(); ++i) {
        CExFatPartitionEx& partition = *partitions_[i];
        if (partition.flags & CExFatPartitionEx::kFirstFat) {
            partition.CreateFatTable(device_, partition.startSector + partition.fatOffset,
                                     partition.fatLength);
        }
        uint32_t bitmapCluster = 0;
        uint64_t bitmapLength = 0;
        if (partitionBuilder_.FindAllocationBitmap(partition, bitmapCluster, bitmapLength))
            partition.LoadAllocationBitmap(device_, bitmapCluster, bitmapLength);
        std::vector<CExFatFileNode*> nodes;
        partitionBuilder_.BuildFileTree(partition, nodes);
        for (CExFatFileNode* node : nodes) {
            node->SetBelongedPartition(static_cast<uint16_t>(i));
            if (!builder_->AddNode(node, SEARCHER_EXFAT))
                node->Release();
        }
        partition.ClearFatData();
        partition.ClearGuessData();
    }
}

int CExFatCompleteSearch::GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) {
    const int count = static_cast<int>(partitions_.size());
    if (!records || count == 0 || capacity < count)
        return count;
    for (int i = 0; i < count; ++i) {
        records[i] = MakeRecord(*partitions_[size_t(i)], i);
    }
    return count;
}

ICompleteFileSystemSearchController* CreateEXFatSearcher() {
    return new CExFatCompleteSearch();
}
