#include "NTFSContentAnalyzers.h"

#include <algorithm>
#include <cstring>

#include "NTFSRunList.h"

bool CMetaFileAnalyzer::CompareSectorBuffer(const uint8_t* a, const uint8_t* b) {
    // Most sectors differ in their first eight bytes: told apart without a call.
    uint64_t headA = 0;
    uint64_t headB = 0;
    std::memcpy(&headA, a, sizeof headA);
    std::memcpy(&headB, b, sizeof headB);
    return headA == headB && std::memcmp(a, b, kNTFSUnitBytes) == 0;
}

void CMetaFileAnalyzer::CombineSectorOfRange(uint64_t sector) {
    if (!ranges_.empty() && ranges_.back().first + ranges_.back().count == sector) {
        ++ranges_.back().count;
    } else if (ranges_.size() < kNTFSMostEvidence) {
        ranges_.push_back({sector, 1});
    }
}

uint64_t CMetaFileAnalyzer::GetSectorRangeCount(uint64_t first, uint64_t last) const {
    if (last < first) {
        return 0;
    }
    // Ranges are disjoint and ascending: start at the first that reaches `first`.
    auto range =
        std::lower_bound(ranges_.begin(), ranges_.end(), first,
                         [](const Range& r, uint64_t s) { return r.first + r.count <= s; });
    uint64_t count = 0;
    for (; range != ranges_.end() && range->first <= last; ++range) {
        const uint64_t from = std::max(first, range->first);
        const uint64_t to = std::min(last, range->first + range->count - 1);
        count += to - from + 1;
    }
    return count;
}

uint64_t CMetaFileAnalyzer::GetMatchCount(const CNTFSDataRunList& runs, int64_t start,
                                          uint32_t sectorsPerCluster) const {
    uint64_t count = 0;
    for (const CDataRun& run : runs.Runs()) {
        int64_t first = 0;
        int64_t length = 0;
        if (run.lcn < 0 || run.count <= 0 ||
            __builtin_mul_overflow(run.lcn, int64_t{sectorsPerCluster}, &first) ||
            __builtin_add_overflow(first, start, &first) ||
            __builtin_mul_overflow(run.count, int64_t{sectorsPerCluster}, &length) ||
            __builtin_add_overflow(first, length, &length) || first < 0) {
            continue;
        }
        count += GetSectorRangeCount(static_cast<uint64_t>(first), static_cast<uint64_t>(length));
    }
    return count;
}

namespace {

struct AttributeDefinition {
    const char16_t* name;
    uint32_t type;
    uint32_t flags;
    int64_t minimum;
    int64_t maximum;
};

constexpr AttributeDefinition kDefinitions[] = {
    {u"$STANDARD_INFORMATION", 0x10, 0x40, 48, 72},
    {u"$ATTRIBUTE_LIST", 0x20, 0x80, 0, -1},
    {u"$FILE_NAME", 0x30, 0x42, 68, 578},
    {u"$OBJECT_ID", 0x40, 0x40, 0, 256},
    {u"$SECURITY_DESCRIPTOR", 0x50, 0x80, 0, -1},
    {u"$VOLUME_NAME", 0x60, 0x40, 2, 256},
    {u"$VOLUME_INFORMATION", 0x70, 0x40, 12, 12},
    {u"$DATA", 0x80, 0x00, 0, -1},
    {u"$INDEX_ROOT", 0x90, 0x40, 0, -1},
    {u"$INDEX_ALLOCATION", 0xA0, 0x80, 0, -1},
    {u"$BITMAP", 0xB0, 0x80, 0, -1},
    {u"$REPARSE_POINT", 0xC0, 0x80, 0, 16384},
    {u"$EA_INFORMATION", 0xD0, 0x40, 8, 8},
    {u"$EA", 0xE0, 0x00, 0, 65536},
    {u"$LOGGED_UTILITY_STREAM", 0x100, 0x80, 0, 65536},
};

void Put(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The entries of the standard up-case table that differ from their index, as
// runs: every `step`-th code unit from `first` to `last` moves by `delta`.
struct UpCaseRun {
    uint16_t first;
    uint16_t last;
    int32_t delta;
    uint16_t step;
};

constexpr UpCaseRun kUpCaseRuns[] = {
#include "NTFSUpCaseRuns.inc"
};

}  // namespace

std::vector<uint8_t> CAttrDefFileAnalyzer::StandardContent() {
    std::vector<uint8_t> bytes(kSectors * kNTFSUnitBytes, 0);
    size_t at = 0;
    for (const AttributeDefinition& definition : kDefinitions) {
        for (size_t i = 0; definition.name[i] != 0; ++i) {
            Put(bytes, at + 2 * i, definition.name[i], 2);
        }
        Put(bytes, at + 128, definition.type, 4);
        Put(bytes, at + 140, definition.flags, 4);
        Put(bytes, at + 144, static_cast<uint64_t>(definition.minimum), 8);
        Put(bytes, at + 152, static_cast<uint64_t>(definition.maximum), 8);
        at += 160;
    }
    return bytes;
}

bool CAttrDefFileAnalyzer::AnalyzeSectorBuffer(uint64_t sector, const uint8_t* bytes) {
    for (int i = 0; i < kSectors; ++i) {
        if (CMetaFileAnalyzer::CompareSectorBuffer(bytes, reference_.data() + i * kNTFSUnitBytes)) {
            sectors_.CombineSectorOfRange(sector);
            return true;
        }
    }
    return false;
}

uint64_t CAttrDefFileAnalyzer::CalcAttrDefMatch(CSearchedNTFSPartitionInfo& partition) const {
    const uint64_t count = CalcMatch(partition, partition.attrDefRecordSector);
    partition.attrDefMatchCount = static_cast<int64_t>(count);
    return count;
}

std::vector<uint8_t> CUpCaseFileAnalyzer::StandardTable() {
    std::vector<uint8_t> table(65536 * 2);
    for (uint32_t i = 0; i < 65536; ++i) {
        Put(table, 2 * i, i, 2);
    }
    for (const UpCaseRun& run : kUpCaseRuns) {
        for (uint32_t unit = run.first; unit <= run.last; unit += run.step) {
            Put(table, 2 * unit, static_cast<uint16_t>(static_cast<int32_t>(unit) + run.delta), 2);
        }
    }
    return table;
}

bool CUpCaseFileAnalyzer::AnalyzeSectorBuffer(uint64_t sector, const uint8_t* bytes) {
    const uint8_t* slice = reference_.data() + size_t{bytes[1]} * kNTFSUnitBytes;
    if (!CMetaFileAnalyzer::CompareSectorBuffer(bytes, slice)) {
        return false;
    }
    sectors_.CombineSectorOfRange(sector);
    return true;
}

uint64_t CUpCaseFileAnalyzer::CalcUpcaseMatch(CSearchedNTFSPartitionInfo& partition) const {
    const uint64_t count = CalcMatch(partition, partition.upCaseRecordSector);
    partition.upCaseMatchCount = static_cast<int64_t>(count);
    return count;
}
