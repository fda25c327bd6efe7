#include "FATBuildDataRun.h"

#include <cassert>
#include <map>

#include "DataRunList.h"
#include "FATTable.h"

namespace {

// The clusters one walk has passed, as runs that never overlap, so that a
// chain leading back into them is taken as broken instead of followed round.
class WalkedClusters {
public:
    bool Contains(uint64_t cluster) const {
        auto after = runs_.upper_bound(cluster);
        if (after == runs_.begin()) {
            return false;
        }
        --after;
        return cluster < after->first + after->second;
    }
    void Add(uint64_t first, uint64_t count) {
        // Extends the run that ends right before, as a cluster-by-cluster walk goes.
        auto after = runs_.upper_bound(first);
        if (after != runs_.begin()) {
            auto before = std::prev(after);
            if (before->first + before->second == first) {
                before->second += count;
                return;
            }
        }
        runs_.emplace(first, count);
    }

private:
    std::map<uint64_t, uint64_t> runs_;  // first cluster -> count
};

}  // namespace

CFATBuildDataRun::CFATBuildDataRun(IFATTable* table, uint32_t sectorSize,
                                   uint32_t sectorsPerCluster, int64_t totalSectors)
    : table_(table),
      sectorSize_(sectorSize),
      sectorsPerCluster_(sectorsPerCluster),
      totalSectors_(totalSectors) {}

IDataRunList* CFATBuildDataRun::BuildDataRunList(uint32_t firstCluster, int64_t size, int deleted) {
    if (!table_ || totalSectors_ <= 0 || sectorsPerCluster_ == 0 || firstCluster < 2) {
        return nullptr;
    }
    if (!deleted) {
        return BuildExistingFileDataRunList(firstCluster, size);
    }
    IDataRunList* list = CreateDataRunList();
    BuildDeleteFileDataRunList(list, firstCluster, size, table_, sectorsPerCluster_, totalSectors_,
                               sectorSize_);
    if (!list->GetFirst()) {
        list->Release();
        return nullptr;
    }
    return list;
}

IDataRunList* CFATBuildDataRun::BuildExistingFileDataRunList(uint32_t firstCluster, int64_t size) {
    const int64_t clusterBytes = int64_t{sectorsPerCluster_} * sectorSize_;
    const uint64_t clusterLimit = static_cast<uint64_t>(totalSectors_) / sectorsPerCluster_ + 2;
    IDataRunList* list = CreateDataRunList();
    auto pastTheVolume = [&](const DataRun& run) {
        return (static_cast<uint64_t>(run.firstCluster) + run.clusterCount) * sectorsPerCluster_ >
               static_cast<uint64_t>(totalSectors_);
    };
    DataRun run(int64_t{firstCluster} - 2, 1);
    int64_t covered = 0;
    uint32_t current = firstCluster;
    uint32_t runStart = firstCluster;
    WalkedClusters walked;  // the runs before the current one
    auto visited = [&](uint32_t cluster) {
        return (cluster >= runStart && cluster <= current) || walked.Contains(cluster);
    };
    // Every step moves to another cluster; a chain longer than the volume loops.
    for (uint64_t steps = 0; steps <= clusterLimit; ++steps) {
        const uint32_t next = table_->GetNextCluster(current);
        // A chain that leads back into itself is broken there (a damaged FAT);
        // like a chain that ends early, the rest is taken to follow on.
        const bool broken = next >= 2 && next <= kFATBadCluster && visited(next);
        if (next == current + 1 && !broken) {
            ++run.clusterCount;
            current = next;
            continue;
        }
        if (next < 2 || next > kFATBadCluster || broken) {
            const int64_t remaining = size - covered;
            run.clusterCount = remaining > 0 ? (remaining + clusterBytes - 1) / clusterBytes : 1;
            if (pastTheVolume(run))
                break;
            list->AddDataRun(&run);
            return list;
        }
        if (pastTheVolume(run))
            break;
        list->AddDataRun(&run);
        walked.Add(runStart, run.clusterCount);
        covered += static_cast<int64_t>(run.clusterCount) * clusterBytes;
        if (covered >= size) {
            return list;
        }
        run = DataRun(int64_t{next} - 2, 1);
        runStart = next;
        current = next;
    }
    list->Release();
    return nullptr;
}

void CFATBuildDataRun::BuildDeleteFileDataRunList(IDataRunList* list, uint32_t firstCluster,
                                                  int64_t size, IFATTable* table,
                                                  uint32_t sectorsPerCluster, int64_t totalSectors,
                                                  uint32_t sectorSize) {
    assert(table != nullptr && "pFATTable != NULL");
    assert(list != nullptr && "pDataRunList != NULL");
    if (firstCluster < 2 || sectorsPerCluster == 0) {
        return;
    }
    const int64_t clusterBytes = int64_t{sectorsPerCluster} * sectorSize;
    const uint64_t clusterLimit = static_cast<uint64_t>(totalSectors) / sectorsPerCluster + 2;
    int64_t covered = 0;
    bool followFAT = true;
    uint64_t cluster = firstCluster;
    WalkedClusters walked;
    for (uint64_t steps = 0;
         steps <= clusterLimit && covered < size &&
         (cluster - 2) * sectorsPerCluster < static_cast<uint64_t>(totalSectors);
         ++steps) {
        const DataRun run(static_cast<int64_t>(cluster) - 2, 1);
        list->AddDataRun(&run);
        covered += clusterBytes;
        uint64_t next = cluster + 1;
        if (followFAT) {
            walked.Add(cluster, 1);
            const uint32_t entry = table->GetNextCluster(static_cast<uint32_t>(cluster));
            // From the first free entry on, the file is taken to lie on after it,
            // as it is from a link back into clusters already taken (a damaged
            // FAT); a bad-cluster mark is no link.
            if (entry == 0 || (entry < kFATBadCluster && walked.Contains(entry))) {
                followFAT = false;
            } else if (entry != kFATBadCluster) {
                next = entry;
            }
        }
        if (next >= kFATEndOfChain) {
            break;
        }
        cluster = next;
    }
}
