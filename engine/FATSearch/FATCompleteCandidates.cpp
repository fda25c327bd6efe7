#include "FATCompleteCandidates.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "FATBootSector.h"

namespace {

struct ClusterRange {
    uint32_t halfBytesPerEntry;
    uint32_t minClusters;  // inclusive
    uint32_t maxClusters;  // exclusive
};

constexpr ClusterRange kFAT32Range{8, 65524, 0x0FFFFFF4};
constexpr ClusterRange kFAT16Range{4, 4085, 65524};

const ClusterRange& RangeOf(enumFILE_SYSTEM_TYPE type) {
    return type == FILE_SYSTEM_FAT32 ? kFAT32Range : kFAT16Range;
}

bool InRange(uint64_t clusters, const ClusterRange& range) {
    return clusters >= range.minClusters && clusters < range.maxClusters;
}

uint64_t SectorsPerFatFor(uint64_t clusters, const ClusterRange& range, uint32_t sectorSize) {
    const uint64_t bytes2 = uint64_t{2} * sectorSize;
    return (clusters * range.halfBytesPerEntry + bytes2 - 1) / bytes2;
}

constexpr uint32_t kSectorsPerClusterValues[] = {1, 2, 4, 8, 16, 32, 64, 128};

// 512 root entries of 32 bytes, the size mkfs tools give a FAT16 root.
constexpr uint32_t kDefaultFAT16RootBytes = 16384;

}  // namespace

void CFATCompleteCandidates::SetDevice(uint32_t sectorSize, int64_t totalSectors) {
    sectorSize_ = sectorSize;
    totalSectors_ = totalSectors;
}

std::unique_ptr<CFATSearchedPartitionInfo>
CFATCompleteCandidates::BuildPartitionInfoAccordingFATDBR(int64_t start, const CTempFATDBR& dbr,
                                                          bool backup) const {
    const enumFILE_SYSTEM_TYPE type = dbr.GetFileSystemType();
    if (type != FILE_SYSTEM_FAT32 && type != FILE_SYSTEM_FAT16) {
        return nullptr;
    }
    int64_t total = dbr.GetTotalSectors();
    if (start + total > totalSectors_) {
        total = totalSectors_ - start;
    }
    const uint32_t spc = dbr.GetSectorsperCluster();
    const uint64_t fatSectors = uint64_t{dbr.GetNumberOfFat()} * dbr.GetSectorsPerFat();
    int64_t dataStart = start + dbr.GetReservedSector() + static_cast<int64_t>(fatSectors);
    uint32_t flag = 0;
    uint32_t rootInfo = 0;
    if (type == FILE_SYSTEM_FAT32) {
        flag = backup ? kFATEvidenceFAT32BackupBootSector : kFATEvidenceFAT32BootSector;
        rootInfo = dbr.GetRootDirStartCluster();
    } else {
        const uint32_t rootSectors = uint32_t{dbr.GetRootEntries()} * 32 / sectorSize_;
        dataStart += rootSectors;
        flag = backup ? 0 : 0x2;
        rootInfo = rootSectors;
    }
    const int64_t dataSectors = total - (dataStart - start);
    if (dataSectors < 1 || spc == 0) {
        return nullptr;
    }
    const uint64_t clusters = static_cast<uint64_t>(dataSectors) / spc;
    const ClusterRange& range = RangeOf(type);
    if (!InRange(clusters, range) ||
        SectorsPerFatFor(clusters, range, sectorSize_) > dbr.GetSectorsPerFat()) {
        return nullptr;
    }
    if (type == FILE_SYSTEM_FAT32 && rootInfo > clusters) {
        return nullptr;
    }
    auto record = std::make_unique<CFATSearchedPartitionInfo>(sectorSize_);
    record->firstDataSector = static_cast<uint64_t>(dataStart);
    record->sectorsPerCluster = spc;
    record->fileSystemType = type;
    record->SetTotalSectors(static_cast<uint64_t>(total));
    record->SetSectorPerFAT(dbr.GetSectorsPerFat());
    record->SetReservedSector(dbr.GetReservedSector());
    record->SetTotalCluster(static_cast<uint32_t>(clusters));
    record->SetStartSector(start);
    record->SetRootInfo(rootInfo);
    record->MergeFlag(flag);
    return record;
}

bool CFATCompleteCandidates::AnalyzeFATDBRSector(int64_t sector, const uint8_t* buffer) {
    assert(buffer != nullptr && "pSectorBuffer != NULL");
    const CTempFATDBR dbr(buffer, sectorSize_);
    if (!dbr.IsValidDBR()) {
        return false;
    }
    bool accepted = false;
    if (auto record = BuildPartitionInfoAccordingFATDBR(sector, dbr, false)) {
        InsertWithFATStarts(std::move(record));
        accepted = true;
    }
    if (dbr.GetFileSystemType() == FILE_SYSTEM_FAT32 && sector - 6 >= 0) {
        if (auto record = BuildPartitionInfoAccordingFATDBR(sector - 6, dbr, true)) {
            Candidate* match = FindMatchedPartitionInfo(
                static_cast<int64_t>(record->firstDataSector), record->sectorsPerCluster);
            if (match) {
                match->record->MergeFlag(kFATEvidenceFAT32BackupBootSector);
            } else {
                InsertWithFATStarts(std::move(record));
            }
            accepted = true;
        }
    }
    return accepted;
}

void CFATCompleteCandidates::UpdateFATTableInfo(int64_t sector) {
    auto [first, last] = fatStarts_.equal_range(sector);
    for (auto it = first; it != last; ++it) {
        CFATSearchedPartitionInfo* record = it->second->record.get();
        const int64_t fat1 = record->GetStartSector() + record->GetReservedSector();
        if (sector == fat1) {
            record->MergeFlag(kFATEvidenceFAT1FirstSector | kFATEvidenceFAT1Usable);
        } else if (sector == fat1 + record->GetSectorPerFAT()) {
            record->MergeFlag(kFATEvidenceFAT2FirstSector | kFATEvidenceFAT2Usable);
        }
    }
    fatStarts_.erase(fatStarts_.begin(), fatStarts_.upper_bound(sector));
}

void CFATCompleteCandidates::AnalyzeFATSubFolderFirstSector(int64_t sector, uint32_t cluster) {
    if (cluster < 2) {
        return;  // no sub-folder starts below the data area
    }
    const int64_t clusterIndex = int64_t{cluster} - 2;
    for (uint32_t spc : kSectorsPerClusterValues) {
        const int64_t dataStart = sector - clusterIndex * spc;
        if (dataStart < 0 || dataStart > sector) {
            continue;
        }
        if (Candidate* match = FindMatchedPartitionInfo(dataStart, spc)) {
            match->record->MergeFlag(kFATEvidenceSubFolder);
            ++match->subFolderHits;
            return;
        }
    }
    for (uint32_t spc : kSectorsPerClusterValues) {
        if (auto record = BuildPartitionInfoAccordingtoSubFolder(sector, cluster, spc)) {
            Insert(std::move(record));
        }
    }
}

std::unique_ptr<CFATSearchedPartitionInfo>
CFATCompleteCandidates::BuildPartitionInfoAccordingtoSubFolder(int64_t sector, uint32_t cluster,
                                                               uint32_t spc) const {
    const int64_t dataStart = sector - (int64_t{cluster} - 2) * spc;
    if (cluster < 2 || dataStart < 0 || dataStart > sector) {
        return nullptr;
    }
    uint32_t clusters = 0;
    uint32_t sectorsPerFat = 0;
    const enumFILE_SYSTEM_TYPE type = CalcFileSystemType(dataStart, spc, clusters, sectorsPerFat);
    if (type == FILE_SYSTEM_UNKNOWN) {
        return nullptr;
    }
    int64_t start = dataStart - int64_t{2} * sectorsPerFat - 1;
    if (start < 0) {
        return nullptr;
    }
    uint32_t rootSectors = 0;
    uint32_t rootInfo = 2;  // FAT32: the root folder at cluster 2
    if (type == FILE_SYSTEM_FAT16) {
        rootSectors =
            static_cast<uint32_t>(std::min<int64_t>(start, kDefaultFAT16RootBytes / sectorSize_));
        start -= rootSectors;
        rootInfo = rootSectors;
    }
    const uint64_t total = uint64_t{clusters} * spc + rootSectors + uint64_t{2} * sectorsPerFat + 1;
    auto record = std::make_unique<CFATSearchedPartitionInfo>(sectorSize_);
    record->firstDataSector = static_cast<uint64_t>(dataStart);
    record->sectorsPerCluster = spc;
    record->fileSystemType = type;
    record->SetTotalSectors(total);
    record->SetSectorPerFAT(sectorsPerFat);
    record->SetReservedSector(1);
    record->SetTotalCluster(clusters);
    record->SetStartSector(start);
    record->SetRootInfo(rootInfo);
    record->MergeFlag(kFATEvidenceSubFolder);
    return record;
}

enumFILE_SYSTEM_TYPE CFATCompleteCandidates::CalcFileSystemType(int64_t dataStart, uint32_t spc,
                                                                uint32_t& clusters,
                                                                uint32_t& sectorsPerFat) const {
    for (enumFILE_SYSTEM_TYPE type : {FILE_SYSTEM_FAT32, FILE_SYSTEM_FAT16}) {
        if (IsValidFileSystem(type, dataStart, spc, clusters, sectorsPerFat)) {
            return type;
        }
    }
    return FILE_SYSTEM_UNKNOWN;
}

bool CFATCompleteCandidates::IsValidFileSystem(enumFILE_SYSTEM_TYPE type, int64_t dataStart,
                                               uint32_t spc, uint32_t& clusters,
                                               uint32_t& sectorsPerFat) const {
    const ClusterRange& range = RangeOf(type);
    if (spc == 0 || dataStart >= totalSectors_) {
        return false;
    }
    const uint64_t count = static_cast<uint64_t>(totalSectors_ - dataStart) / spc;
    if (!InRange(count, range)) {
        return false;
    }
    const uint64_t fatSectors = SectorsPerFatFor(count, range, sectorSize_);
    // The most sectors one of two FATs can take when the partition starts at sector 0.
    const uint64_t room = static_cast<uint64_t>(dataStart) / 2;
    uint64_t usable = count;
    if (room < fatSectors) {
        usable = room * 2 * sectorSize_ / range.halfBytesPerEntry;
        if (!InRange(usable, range)) {
            return false;
        }
    }
    clusters = static_cast<uint32_t>(usable);
    sectorsPerFat = static_cast<uint32_t>(fatSectors);
    return true;
}

CFATCompleteCandidates::Candidate* CFATCompleteCandidates::FindMatchedPartitionInfo(
    int64_t firstDataSector, uint32_t sectorsPerCluster) {
    auto [first, last] = candidates_.equal_range(firstDataSector);
    for (auto it = first; it != last; ++it) {
        if (it->second->record->sectorsPerCluster == sectorsPerCluster) {
            return it->second.get();
        }
    }
    return nullptr;
}

bool CFATCompleteCandidates::MakeRoom() {
    if (candidates_.size() < kMaxCandidates) {
        return true;
    }
    // Candidates of one unconfirmed sub-folder are the cheapest to lose.
    for (auto it = candidates_.begin(); it != candidates_.end();) {
        const Candidate& candidate = *it->second;
        const bool fromBootSector = (candidate.record->GetFlag() & kFATEvidenceBootSectors) != 0;
        if (!fromBootSector && candidate.subFolderHits < 1) {
            it = candidates_.erase(it);
        } else {
            ++it;
        }
    }
    // Expected FAT starts only ever point at boot-sector candidates, which stay.
    if (candidates_.size() < kMaxCandidates) {
        return true;
    }
    if (refused_++ == 0) {
        std::printf("FAT complete search: more than %zu partition candidates, refusing more\n",
                    kMaxCandidates);
    }
    return false;
}

CFATCompleteCandidates::Candidate* CFATCompleteCandidates::Insert(
    std::unique_ptr<CFATSearchedPartitionInfo> record) {
    if (!MakeRoom()) {
        return nullptr;
    }
    auto candidate = std::make_unique<Candidate>();
    candidate->record = std::move(record);
    Candidate* raw = candidate.get();
    candidates_.emplace(static_cast<int64_t>(raw->record->firstDataSector), std::move(candidate));
    return raw;
}

void CFATCompleteCandidates::InsertWithFATStarts(
    std::unique_ptr<CFATSearchedPartitionInfo> record) {
    Candidate* candidate = Insert(std::move(record));
    if (!candidate) {
        return;
    }
    const CFATSearchedPartitionInfo& info = *candidate->record;
    const int64_t fat1 = info.GetStartSector() + info.GetReservedSector();
    fatStarts_.emplace(fat1, candidate);
    fatStarts_.emplace(fat1 + info.GetSectorPerFAT(), candidate);
}

void CFATCompleteCandidates::Publish(std::vector<CFATSearchedPartitionInfo*>& published) {
    for (auto& [dataStart, candidate] : candidates_) {
        CFATSearchedPartitionInfo& record = *candidate->record;
        const uint32_t flags = record.GetFlag();
        const bool fat1 = (flags & kFATEvidenceFAT1FirstSector) != 0;
        const bool fat2 = (flags & kFATEvidenceFAT2FirstSector) != 0;
        if ((flags & kFATEvidenceBootSectors) != 0) {
            if (candidate->subFolderHits <= 0 && !fat1 && !fat2) {
                continue;
            }
        } else if (candidate->subFolderHits < 1) {
            continue;
        }
        const uint64_t fatScore = (fat1 && fat2) ? 50 : (fat1 || fat2) ? 45 : 10;
        uint64_t bootScore = 10;
        if (record.fileSystemType == FILE_SYSTEM_FAT32) {
            const bool primary = (flags & kFATEvidenceFAT32BootSector) != 0;
            const bool backup = (flags & kFATEvidenceFAT32BackupBootSector) != 0;
            bootScore = (primary && backup) ? 50 : (primary || backup) ? 45 : 10;
        } else if ((flags & kFATEvidenceFAT16BootSector) != 0) {
            bootScore = 50;
        }
        record.integerScore = fatScore + bootScore;
        record.partitionIndex = static_cast<uint16_t>(published.size());
        published.push_back(candidate->record.release());
    }
    fatStarts_.clear();
    candidates_.clear();
}
