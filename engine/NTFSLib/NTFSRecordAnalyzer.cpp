#include "NTFSRecordAnalyzer.h"

#include <cassert>

#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"
#include "NTFSRunList.h"

namespace {

using A = CNTFSFileRecordAttribute;

int Remaining(const CNTFSFileRecord& record, const uint8_t* attribute) {
    return record.GetSize() - static_cast<int>(attribute - record.GetBuffer());
}

// Total clusters of valid run bytes; -1 for bytes that fail the run-list test.
int64_t RunBytesClusters(const uint8_t* attribute) {
    const uint32_t offset = A::GetDataRunsOffset(attribute);
    const uint32_t length = A::GetLength(attribute);
    std::vector<CDataRun> runs;
    if (offset >= length ||
        !NTFSRunBytes::Decode(attribute + offset, static_cast<int>(length - offset), 0, runs)) {
        return -1;
    }
    int64_t total = 0;
    for (const CDataRun& run : runs) {
        if (__builtin_add_overflow(total, run.count, &total)) {
            return -1;
        }
    }
    return total;
}

// size / (clusters x sectorSize), rounded up, as a supported cluster size.
uint8_t SectorsPerCluster(int64_t size, int64_t clusters, uint32_t sectorSize) {
    if (size < 1 || clusters < 1 || sectorSize == 0) {
        return 0;
    }
    const unsigned __int128 divisor = static_cast<unsigned __int128>(clusters) * sectorSize;
    const auto n =
        static_cast<uint64_t>((static_cast<unsigned __int128>(size) + divisor - 1) / divisor);
    return NTFSPublicFunction::RoundSectorsPerCluster(n);
}

}  // namespace

bool CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(const CNTFSFileRecord& record,
                                                                 CNTFSDataRunList& runs,
                                                                 bool checkCounts,
                                                                 int64_t* realSize) {
    if (!record.IsValid()) {
        return false;
    }
    for (uint32_t index = 0;; ++index) {
        const uint8_t* data = record.FindAttibute(kNTFSData, index);
        if (data == nullptr) {
            return true;
        }
        if (!A::IsValid(data, Remaining(record, data))) {
            return false;
        }
        if (A::IsNamed(data)) {
            continue;
        }
        if (A::IsResident(data)) {
            return false;
        }
        const int64_t first = A::GetStartVCN(data);
        const int64_t last = A::GetLastVCN(data);
        if (checkCounts && !A::IsCompressed(data)) {
            const int64_t clusters = RunBytesClusters(data);
            int64_t named = 0;
            if (clusters < 0 || __builtin_sub_overflow(last, first, &named) || named == INT64_MAX ||
                clusters != named + 1) {
                return false;
            }
        }
        const uint32_t offset = A::GetDataRunsOffset(data);
        const uint32_t length = A::GetLength(data);
        if (offset < length) {
            runs.AddDataRunsfromBuffer(data + offset, static_cast<int>(length - offset), first);
        }
        if (first == 0 && realSize != nullptr) {
            *realSize = offset < length ? A::GetRealSizeOfAttribute(data) : 0;
        }
    }
}

bool CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(uint8_t* buffer, int size,
                                                                 CNTFSDataRunList& runs,
                                                                 bool checkCounts,
                                                                 int64_t* realSize) {
    const CNTFSFileRecord record(buffer, size, false);
    return AddDataRunListfromFileRecordBuffer(record, runs, checkCounts, realSize);
}

bool CNTFSFileRecordAnalyzer::GetSectorsPerClusterfrom0x80(const CNTFSFileRecord& record,
                                                           uint8_t& out, uint32_t sectorSize) {
    out = 0;
    CNTFSDataRunList runs;
    int64_t realSize = 0;
    if (!AddDataRunListfromFileRecordBuffer(record, runs, true, &realSize)) {
        return false;
    }
    out = SectorsPerCluster(realSize, runs.GetTotalClusters(), sectorSize);
    return true;
}

bool CNTFSFileRecordAnalyzer::GetSectorsPerClusterfrom0x80(uint8_t* buffer, int size, uint8_t& out,
                                                           uint32_t sectorSize) {
    out = 0;
    const CNTFSFileRecord record(buffer, size, false);
    return record.IsValid() && GetSectorsPerClusterfrom0x80(record, out, sectorSize);
}

uint8_t CNTFSFileRecordDataRunsAttribute::GetSectorsPerCluster(const uint8_t* attribute,
                                                               int remaining, uint32_t sectorSize) {
    if (!A::IsValid(attribute, remaining) || A::IsResident(attribute)) {
        return 0;
    }
    return SectorsPerCluster(A::GetInitializedDataSize(attribute), RunBytesClusters(attribute),
                             sectorSize);
}

bool CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(uint8_t* buffer,
                                                                             int size) {
    const CNTFSFileRecord record(buffer, size, false);
    return IsValidFolderFileRecordHavingIndexAllocation(record);
}

bool CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(
    const CNTFSFileRecord& record) {
    if (!record.IsValid() || !CNTFSFileRecord::IsFolder(record.GetBuffer())) {
        return false;
    }
    const uint8_t* index = record.FindAttibute(kNTFSIndexAllocation, 0);
    return index != nullptr && !A::IsResident(index);
}

namespace NTFSPublicFunction {

uint8_t RoundSectorsPerCluster(uint64_t sectors) {
    if (sectors == 0) {
        return 0;
    }
    for (uint32_t size = 1; size <= 128; size *= 2) {
        if (size >= sectors) {
            return static_cast<uint8_t>(size);
        }
    }
    return 0;
}

bool IsClusterNOMatch(int64_t sector, int64_t cluster, int64_t partitionStart,
                      uint32_t sectorsPerCluster) {
    assert(sectorsPerCluster > 0 && "dwSectorsperCluster > 0");
    assert((sectorsPerCluster == 1 || sectorsPerCluster % 2 == 0) &&
           "1 == dwSectorsperCluster || dwSectorsperCluster % 2 == 0");
    if (sector < partitionStart) {
        return false;
    }
    const int64_t relative = sector - partitionStart;
    return relative % sectorsPerCluster == 0 && relative / sectorsPerCluster == cluster;
}

}  // namespace NTFSPublicFunction
