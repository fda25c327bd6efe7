#include "ExFatPartition.h"

#include "DataRunList.h"
#include "ExFatEntries.h"
#include "ExFatFileNode.h"
#include "ExFatTime.h"
#include "FATBuildDataRun.h"
#include "FATTable.h"

namespace {

// The exFAT FAT seen with FAT32's marks, so that deleted files are guessed
// the way FAT guesses them: along the chain while it still has entries, on
// through the following clusters after that. Without a FAT every entry reads
// free and the file is taken to lie contiguously.
class ExFatChainView : public IFATTable {
public:
    ExFatChainView(CExFatPartition& partition, bool hasTable)
        : partition_(partition), hasTable_(hasTable) {}
    uint32_t GetNextCluster(uint32_t cluster) override {
        if (!hasTable_)
            return 0;
        const uint32_t next = partition_.GetNextCluster(cluster, 0);
        if (next == 0xFFFFFFF7)
            return kFATBadCluster;
        return next > kExFatLastCluster ? kFATEndOfChain : next;
    }

private:
    CExFatPartition& partition_;
    bool hasTable_;
};

}  // namespace

int64_t CExFatPartition::ConvertClusterNumToSector(uint32_t cluster) const {
    if (cluster < 2)
        return 0;
    return int64_t{sectorsPerCluster} * (cluster - 2) + dataStartSector;
}

uint32_t CExFatPartition::ConvertSectorToClusterNum(int64_t sector) const {
    if (sectorsPerCluster == 0)
        return 0;
    const int64_t spc = sectorsPerCluster;
    return static_cast<uint32_t>((sector - dataStartSector + spc - 1) / spc + 2);
}

uint32_t CExFatPartition::GetNextCluster(uint32_t cluster, int noTable) {
    const uint32_t next = (noTable && !IsValid()) ? cluster : CFatTable::GetNextCluster(cluster);
    return next >= clusterBound ? kChainEnd : next;
}

IDataRunList* CExFatPartition::BuildFileDataRun(const _tagFileBaseInfo& file) {
    IDataRunList* list = CreateDataRunList();
    if ((file.attributes & kExFatDirectoryAttribute) || file.dataLength <= 0 ||
        file.firstCluster < 2 || file.firstCluster >= 0xFFFFFFF6 || bytesPerCluster == 0) {
        return list;
    }
    const uint64_t clusters =
        (static_cast<uint64_t>(file.dataLength) + bytesPerCluster - 1) / bytesPerCluster;
    if (file.noFatChain) {
        const DataRun run(int64_t{file.firstCluster} - 2, clusters);
        list->AddDataRun(&run);
    } else if (file.inUse && IsValid()) {
        FollowChain(list, file);
    } else if (file.inUse) {
        GuessRun(list, file);
    } else {
        uint32_t stop = 0;
        GuessDeleted(list, file, stop);
    }
    return list;
}

// One extent per cluster of the chain (neighbours merge), ending where the
// chain or the file's length ends; never more steps than the file has clusters.
void CExFatPartition::FollowChain(IDataRunList* list, const _tagFileBaseInfo& file) {
    int64_t remaining = file.dataLength;
    uint32_t cluster = file.firstCluster;
    for (;;) {
        const DataRun run(int64_t{cluster} - 2, 1);
        list->AddDataRun(&run);
        const uint32_t next = GetNextCluster(cluster, 0);
        if (next < 2 || next > kExFatLastCluster || remaining - int64_t{bytesPerCluster} < 1)
            break;
        remaining -= bytesPerCluster;
        cluster = next;
    }
}

void CExFatPartition::GuessRun(IDataRunList* list, const _tagFileBaseInfo& file) {
    ExFatChainView view(*this, IsValid());
    const int64_t heapSectors = int64_t{clusterBound} * sectorsPerCluster;
    CFATBuildDataRun::BuildDeleteFileDataRunList(list, file.firstCluster, file.dataLength, &view,
                                                 sectorsPerCluster, heapSectors, bytesPerSector);
}

CExFatFileNode* CExFatPartition::BuildFile(const _tagFileBaseInfo& file) {
    auto* node = new CExFatFileNode();
    node->SetFirstCluster(file.firstCluster);
    node->SetFileAttributes(file.attributes);
    node->SetFileTime(DosTime2FileTime(file.creationTime), DosTime2FileTime(file.modificationTime),
                      DosTime2FileTime(file.accessTime));
    node->SetFileName(file.name.c_str());
    node->SetFileSize(file.dataLength);
    node->SetMetaDataSector(file.sector);
    if (!file.inUse)
        node->SetFileDeleted();
    node->SetDataRunList(BuildFileDataRun(file));
    return node;
}
