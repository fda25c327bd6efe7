#include <set>

#include "PartitionTableLayout.h"
#include "StorageDevice.h"

#define PT_FAILURE(kind) ENGINE_FAILURE(kModulePartitionTable, kind)

namespace {

// More logical partitions than any partitioning tool makes; bounds a chain of
// distinct records as the visited set bounds a looping one.
constexpr size_t kMaxChainRecords = 256;

bool IsTableSector(const uint8_t* sector) {
    return mbr::HasSignature(sector) && mbr::BootIndicatorsValid(sector);
}

bool StartIsListed(const std::list<PartitionEntry>& partitions, int64_t start) {
    for (const PartitionEntry& entry : partitions) {
        if (entry.startSector == start) {
            return true;
        }
    }
    return false;
}

// An entry's count is cut at the disk's end; an entry that starts beyond the
// disk is not a partition of it.
void Insert(std::list<PartitionEntry>& partitions, uint32_t number, int64_t start, int64_t count,
            int64_t diskSectors) {
    if (start >= diskSectors) {
        return;
    }
    if (start + count > diskSectors || count < 1) {
        count = diskSectors - start;
    }
    partitions.push_back(MakePartitionEntry(number, start, count));
}

}  // namespace

RESULT_CODE CPartitionTableChainAnalyzer::AnalyzePartitionTableChain(
    IStorageDevice* device, std::list<PartitionEntry>& partitions) {
    partitions.clear();
    std::vector<uint8_t> sector;
    RESULT_CODE code = ReadDeviceSectors(device, 0, 1, sector);
    if (IsFailure(code)) {
        return code;
    }
    if (mbr::IsDynamicDisk(sector.data())) {
        return PT_FAILURE(kResultNotSupported);
    }
    if (!IsTableSector(sector.data())) {
        return PT_FAILURE(kResultMalformed);
    }
    const int64_t diskSectors = device->GetTotalSectors();
    uint32_t lastNumber = mbr::kEntryCount;
    for (uint32_t slot = 0; slot < mbr::kEntryCount; ++slot) {
        mbr::Entry entry = mbr::ReadEntry(sector.data(), slot);
        if (entry.empty) {
            continue;
        }
        if (mbr::IsExtended(entry.type)) {
            code = AnalyzeEMBR(device, entry.firstSector, lastNumber, partitions);
            if (IsFailure(code)) {
                return code;
            }
            continue;
        }
        Insert(partitions, slot + 1, entry.firstSector, entry.sectorCount, diskSectors);
    }
    return kResultSuccess;
}

RESULT_CODE CPartitionTableChainAnalyzer::AnalyzeEMBR(IStorageDevice* device, int64_t extendedStart,
                                                      uint32_t& lastNumber,
                                                      std::list<PartitionEntry>& partitions) {
    const int64_t diskSectors = device->GetTotalSectors();
    std::set<int64_t> visited;
    std::vector<uint8_t> sector;
    int64_t record = extendedStart;
    // A record seen before closes a loop; the chain ends there without error.
    while (record >= 0 && visited.size() < kMaxChainRecords && visited.insert(record).second) {
        RESULT_CODE code = ReadDeviceSectors(device, record, 1, sector);
        if (IsFailure(code)) {
            return code;
        }
        if (!IsTableSector(sector.data())) {
            return PT_FAILURE(kResultMalformed);
        }
        int64_t next = -1;
        for (uint32_t slot = 0; slot < mbr::kEntryCount; ++slot) {
            mbr::Entry entry = mbr::ReadEntry(sector.data(), slot);
            if (entry.empty) {
                continue;
            }
            if (mbr::IsExtended(entry.type)) {
                if (next >= 0) {
                    return PT_FAILURE(kResultMalformed);
                }
                next = extendedStart + entry.firstSector;
                continue;
            }
            int64_t start = record + entry.firstSector;
            if (StartIsListed(partitions, start)) {
                break;
            }
            Insert(partitions, ++lastNumber, start, entry.sectorCount, diskSectors);
        }
        record = next;
    }
    return kResultSuccess;
}
