#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A folder sector met by the complete scan: the first sector of a sub-folder
// (with the first clusters of its "." and ".." entries) or any other sector
// that holds folder entries (both clusters kFATNoFolderCluster).
struct FIRSTFOLDERSECTOR {
    int64_t sector;
    uint32_t cluster;
    uint32_t parentCluster;
};

constexpr uint32_t kFATNoFolderCluster = 0xFFFFFFFF;

// The folder sectors of a scan, unique and in ascending sector order. The scan
// meets sectors in ascending order, so a plain vector stays sorted and costs
// 16 bytes a record. At most kMaxRecords are kept (a disk full of look-alike
// sectors must not exhaust memory); later ones are dropped.
class CFATFolderSectorList {
public:
    static constexpr size_t kMaxRecords = size_t{1} << 21;

    using const_iterator = std::vector<FIRSTFOLDERSECTOR>::const_iterator;

    // False when the sector is already there or the list is full.
    bool Add(const FIRSTFOLDERSECTOR& record);

    // The records whose sectors lie in [first, last].
    const_iterator LowerBound(int64_t first) const;
    const_iterator UpperBound(int64_t last) const;
    const_iterator begin() const { return records_.begin(); }
    const_iterator end() const { return records_.end(); }
    size_t size() const { return records_.size(); }
    size_t DroppedCount() const { return dropped_; }

private:
    std::vector<FIRSTFOLDERSECTOR> records_;
    size_t dropped_ = 0;
};
