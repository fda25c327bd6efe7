#include "FATBuildDataRun.h"

#include <cassert>

#include "DataRunList.h"
#include "FATTable.h"

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
    // Every step moves to another cluster; a chain longer than the volume loops.
    for (uint64_t steps = 0; steps <= clusterLimit; ++steps) {
        const uint32_t next = table_->GetNextCluster(current);
        if (next == current + 1) {
            ++run.clusterCount;
            current = next;
            continue;
        }
        if (next < 2 || next > kFATBadCluster) {
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
        covered += static_cast<int64_t>(run.clusterCount) * clusterBytes;
        if (covered >= size) {
            return list;
        }
        run = DataRun(int64_t{next} - 2, 1);
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
    for (uint64_t steps = 0;
         steps <= clusterLimit && covered < size &&
         (cluster - 2) * sectorsPerCluster < static_cast<uint64_t>(totalSectors);
         ++steps) {
        const DataRun run(static_cast<int64_t>(cluster) - 2, 1);
        list->AddDataRun(&run);
        covered += clusterBytes;
        uint64_t next = cluster + 1;
        if (followFAT) {
            const uint32_t entry = table->GetNextCluster(static_cast<uint32_t>(cluster));
            // From the first free entry on, the file is taken to lie on after it;
            // a bad-cluster mark is no link.
            if (entry == 0) {
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
