#include "RAWSearchController.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <new>

#include "Bitmap.h"
#include "DirectoryTreeBuilder.h"
#include "RawFileAnalyserList.h"
#include "ScanStopDevice.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"

namespace {

constexpr int64_t kTypeTreeRoot = 1;
constexpr uint32_t kPrefetchSectors = 8;
constexpr uint32_t kCacheLine = 64;

uint32_t TrailingZeroBytes(const unsigned char* sector, uint32_t sectorSize) {
    uint32_t zeros = 0;
    for (uint32_t word = 1; word <= 8 && 4 * word <= sectorSize; ++word) {
        const unsigned char* p = sector + sectorSize - 4 * word;
        if ((p[0] | p[1] | p[2] | p[3]) != 0)
            break;
        zeros += 4;
    }
    return zeros;
}

bool IsZeroSector(const unsigned char* sector, uint32_t sectorSize) {
    uint64_t any = 0;
    for (uint32_t at = 0; at + 8 <= sectorSize; at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, sector + at, 8);
        any |= word;
    }
    return any == 0;
}

bool Accepts(IRawFileAnalyser* analyser, unsigned char* sector, CRawFileInfo& probe,
             long long sectorSize, long long number, const CRawFileInfo::SearchContext& context) {
    if (ISpecialRawFileAnalyser* special = analyser->GetSpecialRawFile()) {
        return special->AnalyseBufferEx(sector, probe, sectorSize, number, context.windowStart,
                                        context.windowEnd) != 0;
    }
    return analyser->AnalyseBuffer(sector, probe) == 1;
}

}  // namespace

ICompleteFileSystemSearchController* CreateRAWSearcher() {
    return new CRAWSearchController();
}

CRAWSearchController::~CRAWSearchController() {
    FreeRecords();
}

void CRAWSearchController::FreeRecords() {
    for (CRawFileInfo* record : open_)
        delete record;
    for (CRawFileInfo* record : pending_)
        delete record;
    for (CRawFileInfo* record : sized_)
        delete record;
    open_.clear();
    pending_.clear();
    sized_.clear();
    guessing_.clear();
}

int CRAWSearchController::GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) {
    if (records != nullptr && capacity >= 1) {
        const uint32_t sectorSize = device_ != nullptr ? device_->GetSectorSize() : 512;
        auto* record = new CSearchedPartitionInfo(sectorSize == 0 ? 512 : sectorSize);
        record->sectorsPerCluster = 1;
        record->startSector = 0;
        record->firstDataSector = 0;
        record->score = 1.0;
        records[0] = record;
    }
    return 1;
}

void CRAWSearchController::SetDevice(IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    device_ = device;
}

void CRAWSearchController::SetBlockSize(int sectorsPerBlock) {
    assert(sectorsPerBlock > 0 && "0 < iSectorsperBlock");
    sectorsPerBlock_ = sectorsPerBlock;
}

void CRAWSearchController::PreparetoSearch() {
    CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
    if (builder_ != nullptr)
        registry->ReinitAnalyzeList(nullptr);
    context_.ResetCounters();
    FreeRecords();
    ending_ = false;
    ring_.Close();
    if (device_ == nullptr || sectorsPerBlock_ <= 0)
        return;
    const uint32_t reported = device_->GetSectorSize();
    sectorSize_ = IsValidSectorSize(reported) ? reported : 512;
    ring_.InitBufferDevice(device_, sectorSize_, static_cast<uint32_t>(sectorsPerBlock_),
                           kRingBlocks, &context_);
    fileTypes_.Initialize();
    keyedStarts_.reset();
    for (const RawAnalyserKey& entry : CRawFileAnalyserListSingle::MapKeys())
        keyedStarts_.set(entry.key & 0xFFFF);
    for (const RawAnalyserKey& entry : CRawFileAnalyserListSingle::MultimapKeys())
        keyedStarts_.set(entry.key & 0xFFFF);
    if (builder_ != nullptr) {
        builder_->AddSearcherInfo(SEARCHER_RAW_BY_TYPE, kTypeTreeRoot);
        builder_->AddSearcherInfo(SEARCHER_RAW_BY_TAG, CLABELRAWTreeBuilder::kRootId);
    }
}

IRawFileAnalyser* CRAWSearchController::FindAnalyser(unsigned char* sector, CRawFileInfo& probe,
                                                     long long number,
                                                     const CRawFileInfo::SearchContext& context) {
    CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
    uint32_t key = 0;
    std::memcpy(&key, sector, 4);
    // Each candidate gets a fresh probe, so a rejecting one leaves nothing behind.
    auto accepts = [&](IRawFileAnalyser* analyser) {
        probe.Clear();
        return Accepts(analyser, sector, probe, sectorSize_, number, context);
    };
    if (key != 0 && keyedStarts_.test(key & 0xFFFF)) {
        auto& map = registry->GetAnalyserMap(0);
        const auto found = map.find(key);
        if (found != map.end() && accepts(found->second))
            return found->second;
        auto& multimap = registry->GetAnalyserMultimap(0);
        const auto [first, last] = multimap.equal_range(static_cast<unsigned short>(key));
        for (auto it = first; it != last; ++it) {
            if (accepts(it->second))
                return it->second;
        }
    }
    for (IRawFileAnalyser* analyser : registry->GetAnalyserList(0)) {
        probe.Clear();
        if (analyser->AnalyseBuffer(sector, probe) != 0)
            return analyser;
    }
    return nullptr;
}

CRawFileInfo* CRAWSearchController::CreateRawFileInfo(const CRawFileInfo& probe, long long number,
                                                      IRawFileAnalyser* analyser) {
    CRawFileInfo* record = analyser->CreateRawFileInfo();
    if (record == nullptr)
        return nullptr;
    record->fileType = probe.fileType;
    record->size = probe.size;
    record->startSector = number;
    record->analyser = analyser;
    record->analyserType = analyser->analyserType;
    if (fileSectorMap_ != nullptr)
        fileSectorMap_->emplace(number, probe.fileType);
    return record;
}

void CRAWSearchController::AddRawFileInfoToList(CRawFileInfo* record, unsigned char* sector,
                                                long long number) {
    if (!record->WhetherImplementGuess() && record->size <= 0) {
        pending_.push_back(record);
        return;
    }
    if (record->WhetherImplementGuess() && record->size <= 0) {
        if (guessing_.size() >= static_cast<size_t>(kMostGuessing)) {
            // The oldest leaves the streaming set; it waits in the open list
            // for the end of the search.
            guessing_.front()->WillBeRemove(sector, number);
            guessing_.erase(guessing_.begin());
        }
        guessing_.push_back(record);
    }
    open_.push_back(record);
}

CRAWFileManager* CRAWSearchController::GetFileManager(RAW_FILE_TYPE type) {
    if (type >= kRawFileExtensionSlots)
        return nullptr;
    const int category = fileTypes_.GetFileTypeID(g_s_strFileExtName[type]);
    std::unique_ptr<CRAWFileManager>& manager = managers_[category];
    if (!manager) {
        manager = std::make_unique<CRAWFileManager>(kTypeTreeRoot, category, builder_, context_);
    }
    return manager.get();
}

bool CRAWSearchController::Keep(CRawFileInfo* record) {
    if (GetFileManager(record->fileType) == nullptr)
        return false;
    // A size that runs past the device's end is no file's: the header that
    // gave it was damaged or a lure.
    const int64_t total = device_ != nullptr ? device_->GetTotalSectors() : 0;
    if (record->size > (total - record->startSector) * int64_t{sectorSize_}) {
        delete record;
        return true;
    }
    if (!ending_ &&
        (laterListing_ == nullptr || laterListing_->MayBeListedLater(record->startSector)))
        sized_.push_back(record);
    else
        File(record);
    return true;
}

bool CRAWSearchController::IsKnownFile(int64_t startSector) const {
    if (bitmap_ == nullptr || bitmap_->GetBitmapData() == nullptr || startSector < 0)
        return false;
    const int64_t perBit = std::max(1u, bitmap_->GetSectorsPerBit());
    return bitmap_->GetBit(startSector / perBit) != 0;
}

void CRAWSearchController::File(CRawFileInfo* record) {
    if (!IsKnownFile(record->startSector)) {
        if (CRAWFileManager* manager = GetFileManager(record->fileType))
            manager->AddRawFileInfo(record);
    }
    delete record;
}

void CRAWSearchController::FileSizedRecords() {
    for (CRawFileInfo* record : sized_)
        File(record);
    sized_.clear();
}

void CRAWSearchController::RemoveFromOpen(CRawFileInfo* record) {
    const auto found = std::find(open_.begin(), open_.end(), record);
    if (found != open_.end())
        open_.erase(found);
}

void CRAWSearchController::CalcRawFileSize(unsigned char* sector, CRawFileInfo* created,
                                           long long number, CRawFileInfo::SearchContext& context) {
    for (size_t i = 0; i < guessing_.size();) {
        CRawFileInfo* record = guessing_[i];
        context.otherNewRecord = created != record ? created : nullptr;
        if (record->CalcRawSize(sector, static_cast<int>(sectorSize_), number, context) != 1) {
            ++i;
            continue;
        }
        guessing_.erase(guessing_.begin() + static_cast<std::ptrdiff_t>(i));
        if (record->size > 0) {
            if (Keep(record))
                RemoveFromOpen(record);
        } else if (record->analyser != nullptr) {
            // Handed to the analyser that measures it by a walk over the device.
            record->WillBeRemove(sector, number);
            RemoveFromOpen(record);
            if (record->analyser != nullptr)
                pending_.push_back(record);
            else
                delete record;
        }
    }
}

void CRAWSearchController::AnalyzeSectors(unsigned char* block, long long first, long long count) {
    const TBitmap* bitmap =
        bitmap_ != nullptr && bitmap_->GetBitmapData() != nullptr ? bitmap_ : nullptr;
    const long long perBit = bitmap != nullptr ? std::max(1u, bitmap->GetSectorsPerBit()) : 1;
    CRawFileInfo::SearchContext context;
    context.windowStart = first > 0 ? first - sectorsPerBlock_ : first;
    context.windowEnd = first + count;
    CRawFileInfo probe;
    for (long long i = 0; i < count;) {
        const long long number = first + i;
        if (bitmap != nullptr && bitmap->GetBit(number / perBit)) {
            i += number % perBit == 0 ? perBit : 1;
            continue;
        }
        if (!context_.Continue())
            break;
        unsigned char* sector = block + static_cast<size_t>(i) * sectorSize_;
        // A sector further on is asked for now, so that it arrives from
        // memory while this one is analysed.
        const unsigned char* ahead = sector + size_t{kPrefetchSectors} * sectorSize_;
        for (uint32_t line = 0; line < sectorSize_; line += kCacheLine)
            __builtin_prefetch(ahead + line);
        context.leadingZeroBytes = (sector[0] | sector[1] | sector[2] | sector[3]) == 0 ? 4 : 0;
        context.trailingZeroBytes = TrailingZeroBytes(sector, sectorSize_);
        context.otherNewRecord = nullptr;
        ++i;

        // No file of any kind starts with a sector of zeros.
        IRawFileAnalyser* analyser = nullptr;
        if (context.leadingZeroBytes == 0 || !IsZeroSector(sector, sectorSize_))
            analyser = FindAnalyser(sector, probe, number, context);
        CRawFileInfo* created = nullptr;
        if (analyser != nullptr) {
            created = CreateRawFileInfo(probe, number, analyser);
            if (created == nullptr)
                continue;
            if (created->size > 0 && Keep(created))
                continue;
            AddRawFileInfoToList(created, sector, number);
        }
        if (!guessing_.empty())
            CalcRawFileSize(sector, created, number, context);
    }
}

void CRAWSearchController::SizeFromRing() {
    while (!pending_.empty()) {
        CRawFileInfo* record = pending_.front();
        if (!context_.Continue())
            return;
        // Wait while the file still starts in a block newer than the oldest.
        if (record->startSector >= ring_.GetOldestBlockEnd())
            return;
        pending_.pop_front();
        if (record->analyser != nullptr) {
            try {
                record->analyser->GetRawFileSize(*record, &ring_);
            } catch (...) {
                // A walk that throws leaves the record unsized.
            }
            if (record->size > 0 && Keep(record))
                continue;
        }
        delete record;
    }
}

void CRAWSearchController::AnalyzeBlock(long long firstSector, long long sectorCount) {
    CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
    if (registry->GetAnalyserMap(0).empty() && registry->GetAnalyserMultimap(0).empty() &&
        registry->GetAnalyserList(0).empty()) {
        return;
    }
    if (device_ == nullptr || firstSector < 0 || sectorCount <= 0)
        return;
    // The block is read into the look-back ring and analysed there: the
    // previous block lies right before it, zeros right after it.
    unsigned char* block = ring_.OpenNextBlock();
    if (block == nullptr)
        return;
    const long long count = std::min<long long>(sectorCount, sectorsPerBlock_);
    if (!device_->ReadSector(block, firstSector, count)) {
        // The ring keeps the gap, so walks over it read the device itself.
        ring_.AddNextBlock(firstSector, count, false);
        return;
    }
    // A short last block: what follows it reads as zeros, not as older data.
    const size_t used = static_cast<size_t>(count) * sectorSize_;
    std::memset(block + used, 0, static_cast<size_t>(sectorsPerBlock_) * sectorSize_ - used);

    AnalyzeSectors(block, firstSector, count);

    // The oldest block stays readable while the records that started in it
    // are sized.
    ring_.CloseNextBlock();
    if (ring_.IsFullBuffer())
        SizeFromRing();
    ring_.AddNextBlock(firstSector, count, true);
}

void CRAWSearchController::EndSearch(int build) {
    if (build == 0)
        return;
    // The file systems have listed their files: what waited for them is filed
    // first, then each file as soon as it is sized.
    FileSizedRecords();
    ending_ = true;
    for (CRawFileInfo* record : guessing_)
        record->WillBeRemove(nullptr, -1);
    guessing_.clear();
    open_.splice(open_.end(), pending_);
    std::printf("--------------%s:%d:list size = %d--------\n", "EndSearch", __LINE__,
                static_cast<int>(open_.size()));

    // After a stop nothing more is walked; what was sized before it is kept.
    CScanStopDevice device(device_, &context_);
    while (!open_.empty()) {
        CRawFileInfo* record = open_.front();
        open_.pop_front();
        if (record->size <= 0 && record->analyser != nullptr && device_ != nullptr &&
            context_.Continue()) {
            try {
                record->analyser->GetRawFileSize(*record, &device);
            } catch (...) {
                // A walk that throws leaves the record unsized.
            }
        }
        // Records sized earlier (by their hand-over, say) are filed as well.
        if (record->size > 0 && Keep(record))
            continue;
        delete record;
    }
    std::printf("--------------%s:%d:--------\n", "EndSearch", __LINE__);

    context_.progress = nullptr;
    ring_.Close();
    if (builder_ != nullptr) {
        builder_->FlashBuild(SEARCHER_RAW_BY_TYPE);
        builder_->FlashBuild(SEARCHER_RAW_BY_TAG);
    }
    bitmap_ = nullptr;
}
