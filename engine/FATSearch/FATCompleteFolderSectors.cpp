#include "FATCompleteFolderSectors.h"

#include <algorithm>
#include <cstdio>

namespace {

bool SectorLess(const FIRSTFOLDERSECTOR& record, int64_t sector) {
    return record.sector < sector;
}

bool SectorGreater(int64_t sector, const FIRSTFOLDERSECTOR& record) {
    return sector < record.sector;
}

}  // namespace

bool CFATFolderSectorList::Add(const FIRSTFOLDERSECTOR& record) {
    if (records_.size() >= kMaxRecords) {
        if (dropped_++ == 0) {
            std::printf("FAT complete search: more than %zu folder sectors, dropping more\n",
                        kMaxRecords);
        }
        return false;
    }
    if (records_.empty() || records_.back().sector < record.sector) {
        records_.push_back(record);
        return true;
    }
    // Out of order (a caller that walks backwards): keep the list sorted.
    auto at = std::lower_bound(records_.begin(), records_.end(), record.sector, SectorLess);
    if (at != records_.end() && at->sector == record.sector) {
        return false;
    }
    records_.insert(at, record);
    return true;
}

CFATFolderSectorList::const_iterator CFATFolderSectorList::LowerBound(int64_t first) const {
    return std::lower_bound(records_.begin(), records_.end(), first, SectorLess);
}

CFATFolderSectorList::const_iterator CFATFolderSectorList::UpperBound(int64_t last) const {
    return std::upper_bound(records_.begin(), records_.end(), last, SectorGreater);
}
