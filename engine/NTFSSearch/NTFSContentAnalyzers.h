#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "MetaFileInfo.h"
#include "NTFSPartitionCandidates.h"

class CNTFSDataRunList;

// Sectors recognised by their content, kept as ranges of adjacent sectors in
// the order they were opened.
class CMetaFileAnalyzer {
public:
    static bool CompareSectorBuffer(const uint8_t* a, const uint8_t* b);
    // The sector extends the range that ends just before it, or opens one.
    // Sectors arrive in ascending order, so only the last range can end there.
    void CombineSectorOfRange(uint64_t sector);
    // Recorded sectors inside [first, last].
    uint64_t GetSectorRangeCount(uint64_t first, uint64_t last) const;
    // Recorded sectors inside the runs of a volume at `start` (each run's
    // window reaches one sector past its end).
    uint64_t GetMatchCount(const CNTFSDataRunList& runs, int64_t start,
                           uint32_t sectorsPerCluster) const;

private:
    struct Range {
        uint64_t first;
        uint64_t count;
    };
    std::vector<Range> ranges_;
};

// Records of one meta file met during the search, in the order met.
template <typename Info>
class CMetaFileRecordList {
public:
    // Keeps the record built from `record` unless the list is full.
    Info* Add(uint8_t* record, int length, int64_t sector) {
        if (records_.size() >= kNTFSMostEvidence) {
            return nullptr;
        }
        auto info = std::make_unique<Info>();
        if (!info->InitFromBuffer(record, length, sector)) {
            return nullptr;
        }
        records_.push_back(std::move(info));
        return records_.back().get();
    }
    bool IsFull() const { return records_.size() >= kNTFSMostEvidence; }
    const std::vector<std::unique_ptr<Info>>& Records() const { return records_; }

    // The record at `sector`. Records arrive in ascending sector order.
    const Info* Find(int64_t sector) const {
        const Info* info = FirstAtOrAfter(sector);
        return info != nullptr && info->GetSectorAddress() == sector ? info : nullptr;
    }
    // The first record inside [first, first + count).
    const Info* Find(int64_t first, uint64_t count) const {
        const Info* info = FirstAtOrAfter(first);
        return info != nullptr && static_cast<uint64_t>(info->GetSectorAddress() - first) < count
                   ? info
                   : nullptr;
    }
    // Record `number` of the partition's table when its place is known, else
    // the first record inside the partition.
    const Info* Find(const CSearchedNTFSPartitionInfo& partition, int number) const {
        if (partition.mftSector != -1) {
            const Info* info =
                Find(partition.mftSector + number * int64_t{partition.GetSectorsperFileRecord()});
            if (info != nullptr) {
                return info;
            }
        }
        return Find(static_cast<int64_t>(partition.firstDataSector), partition.totalSectors);
    }
    // The recognised sectors inside the data of the partition's record `number`
    // (whose sector goes to `recordSector`); 0 without such a record.
    uint64_t MatchCount(const CMetaFileAnalyzer& sectors,
                        const CSearchedNTFSPartitionInfo& partition, int number,
                        int64_t& recordSector) const {
        const Info* record = Find(partition, number);
        if (record == nullptr) {
            return 0;
        }
        recordSector = record->GetSectorAddress();
        return sectors.GetMatchCount(record->GetDataRunList(),
                                     static_cast<int64_t>(partition.firstDataSector),
                                     partition.sectorsPerCluster);
    }

private:
    const Info* FirstAtOrAfter(int64_t sector) const {
        const auto found = std::lower_bound(records_.begin(), records_.end(), sector,
                                            [](const std::unique_ptr<Info>& info, int64_t s) {
                                                return info->GetSectorAddress() < s;
                                            });
        return found == records_.end() ? nullptr : found->get();
    }

    std::vector<std::unique_ptr<Info>> records_;
};

// A meta file recognised by its FILE records and by sectors of its standard
// content: `Info` records, `number` its record number in the table.
template <typename Info, int number>
class CContentFileAnalyzer {
public:
    explicit CContentFileAnalyzer(std::vector<uint8_t> reference)
        : reference_(std::move(reference)) {}
    void AnalyzeFileRecord(int64_t sector, uint8_t* record, int length) {
        records_.Add(record, length, sector);
    }
    uint64_t CalcMatch(CSearchedNTFSPartitionInfo& partition, int64_t& recordSector) const {
        return records_.MatchCount(sectors_, partition, number, recordSector);
    }

protected:
    CMetaFileRecordList<Info> records_;
    CMetaFileAnalyzer sectors_;
    std::vector<uint8_t> reference_;
};

// $AttrDef records and the sectors that hold the standard attribute definitions.
class CAttrDefFileAnalyzer : public CContentFileAnalyzer<CAttrDefFileInfo, 4> {
public:
    static constexpr int kSectors = 5;

    CAttrDefFileAnalyzer() : CContentFileAnalyzer(StandardContent()) {}
    void AnalyzeAttrDefFileRecord(int64_t sector, uint8_t* record, int length) {
        AnalyzeFileRecord(sector, record, length);
    }
    // Tries the five reference sectors in order.
    bool AnalyzeSectorBuffer(uint64_t sector, const uint8_t* bytes);
    uint64_t CalcAttrDefMatch(CSearchedNTFSPartitionInfo& partition) const;
    // The standard content: sixteen 160-byte definitions.
    static std::vector<uint8_t> StandardContent();
};

// $UpCase records and the sectors that hold slices of the standard up-case table.
class CUpCaseFileAnalyzer : public CContentFileAnalyzer<CUpCaseFileInfo, 10> {
public:
    CUpCaseFileAnalyzer() : CContentFileAnalyzer(StandardTable()) {}
    void AnalyzeUpCaseFileRecord(int64_t sector, uint8_t* record, int length) {
        AnalyzeFileRecord(sector, record, length);
    }
    // A sector selects the slice its second byte names; one comparison.
    bool AnalyzeSectorBuffer(uint64_t sector, const uint8_t* bytes);
    uint64_t CalcUpcaseMatch(CSearchedNTFSPartitionInfo& partition) const;
    // The standard table: 65,536 little-endian entries, entry i the upper case of i.
    static std::vector<uint8_t> StandardTable();
};
