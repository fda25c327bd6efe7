// Where the clusters of a deleted file lie. A file written in one piece has
// no FAT chain and needs no guess. A fragmented one had a chain, which some
// drivers clear on delete: its clusters are then taken on from the first one
// over those the allocation bitmap marks free, the way the allocator handed
// them out. The guess ends (the copy comes out partial) wherever it could
// take another file's bytes: at the start of another file, at a chain cluster
// now in use, and right after the first cluster when there is no bitmap to
// tell free clusters from taken ones.

#include <algorithm>

#include "DataRunList.h"
#include "ExFatEntries.h"
#include "ExFatPartition.h"
#include "StorageDevice.h"

namespace {

// A bitmap this large maps 512 Gi clusters; larger ones are not read.
constexpr uint64_t kLargestBitmapBytes = 64ull << 20;

}  // namespace

bool CExFatPartition::LoadAllocationBitmap(IStorageDevice* device, uint32_t firstCluster,
                                           uint64_t length) {
    bitmap_.clear();
    if (!device || firstCluster < 2 || firstCluster >= clusterBound || bytesPerCluster == 0)
        return false;
    const uint64_t needed = (uint64_t{clusterBound} - 2 + 7) / 8;
    const uint64_t bytes = std::min(length, needed);
    if (bytes == 0 || bytes > kLargestBitmapBytes)
        return false;
    std::vector<uint8_t> bitmap(size_t((bytes + bytesPerCluster - 1) / bytesPerCluster) *
                                bytesPerCluster);
    uint32_t cluster = firstCluster;
    for (size_t offset = 0; offset < bitmap.size(); offset += bytesPerCluster) {
        if (cluster < 2 || cluster >= clusterBound ||
            !device->ReadSector(bitmap.data() + offset, ConvertClusterNumToSector(cluster),
                                sectorsPerCluster)) {
            return false;
        }
        // The bitmap is chained through the FAT like any file; without a FAT
        // it is taken to lie in one piece, as formatting leaves it.
        cluster = IsValid() ? GetNextCluster(cluster, 0) : cluster + 1;
    }
    bitmap.resize(size_t(bytes));
    bitmap_ = std::move(bitmap);
    return true;
}

bool CExFatPartition::IsInUse(uint32_t cluster) const {
    const uint64_t bit = uint64_t{cluster} - 2;
    return cluster >= 2 && bit / 8 < bitmap_.size() && (bitmap_[bit / 8] >> (bit % 8)) & 1;
}

bool CExFatPartition::IsStartOfAFile(uint32_t cluster) const {
    return std::binary_search(starts_.begin(), starts_.end(), cluster);
}

void CExFatPartition::PrepareGuesses(std::vector<uint32_t> starts,
                                     const std::vector<const _tagFileBaseInfo*>& deleted) {
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    starts_ = std::move(starts);
    contested_.clear();
    std::unordered_set<uint32_t> contested;
    for (const _tagFileBaseInfo* file : deleted) {
        uint32_t stop = 0;
        if (GuessDeleted(nullptr, *file, stop) == GuessEnd::AtAnotherFile)
            contested.insert(stop);
    }
    contested_ = std::move(contested);
}

void CExFatPartition::ClearGuessData() {
    bitmap_ = {};
    starts_ = {};
    contested_.clear();
}

CExFatPartition::GuessEnd CExFatPartition::GuessDeleted(IDataRunList* list,
                                                        const _tagFileBaseInfo& file,
                                                        uint32_t& stop) {
    auto add = [list](uint32_t cluster) {
        if (list) {
            const DataRun run(int64_t{cluster} - 2, 1);
            list->AddDataRun(&run);
        }
    };
    uint32_t cluster = file.firstCluster;
    if (file.dataLength <= 0 || bytesPerCluster == 0 || cluster < 2 || cluster >= clusterBound)
        return GuessEnd::Unknown;
    uint64_t left = (uint64_t(file.dataLength) + bytesPerCluster - 1) / bytesPerCluster;
    bool followFat = IsValid();
    std::unordered_set<uint32_t> walked{cluster};
    const bool contested = contested_.count(cluster) != 0;
    for (;;) {
        add(cluster);
        if (--left == 0)
            return GuessEnd::Covered;
        if (contested)
            return GuessEnd::Unknown;
        uint32_t next = 0;
        if (followFat) {
            // A chain the driver left in the FAT is followed while its
            // clusters are still free.
            const uint32_t entry = CFatTable::GetNextCluster(cluster);
            if (entry == 0) {
                followFat = false;
            } else if (entry < 2 || entry > kExFatLastCluster || entry >= clusterBound ||
                       !walked.insert(entry).second || IsInUse(entry)) {
                return GuessEnd::Unknown;
            } else {
                next = entry;
            }
        }
        if (next == 0) {
            if (bitmap_.empty())
                return GuessEnd::Unknown;
            next = cluster + 1;
            while (next < clusterBound && IsInUse(next))
                ++next;
            if (next >= clusterBound)
                return GuessEnd::Unknown;
        }
        if (IsStartOfAFile(next)) {
            stop = next;
            return GuessEnd::AtAnotherFile;
        }
        cluster = next;
    }
}
