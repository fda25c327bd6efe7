#include "NTFSCompleteSearch.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "DirectoryTreeBuilder.h"
#include "NTFSCompleteTreeBuilder.h"
#include "NTFSDBR.h"
#include "NTFSFileNode.h"
#include "NTFSFileRecord.h"
#include "NTFSIndexRecord.h"
#include "NTFSIntelligentSearchInfo.h"
#include "NTFSMetaFile.h"
#include "NTFSRecordAnalyzer.h"
#include "SectorPrefetch.h"
#include "StorageDevice.h"

namespace {

// Bytes a structure may need from its first sector on: the largest is 4096.
constexpr int64_t kLookAheadSectors = 8;
constexpr int64_t kMostAvailableSectors = 16;
constexpr int kIndexBlockBytes = 4096;

}  // namespace

struct CNTFSSearchController::Evidence {
    explicit Evidence(NTFSPartitionSet& partitions, std::list<std::unique_ptr<CMFTInfo>>& mft,
                      std::list<FindFileMFTAndLog>& finders)
        : builder(partitions), log(builder), group(mft, builder, finders) {}

    CNTFSPartitionInfoBuilder builder;
    CAttrDefFileAnalyzer attrDef;
    CUpCaseFileAnalyzer upCase;
    CLogFileAnalyzer log;
    CMetaFileRecordGroupinMFTAnalyzer group;
    // Index blocks by the folder they index; folder records by their number.
    std::multimap<int64_t, CIndexRecordInfo> indexRecords;
    std::multimap<int64_t, CFolderIndexAllocationInfo> folders;
};

CNTFSSearchController::CNTFSSearchController() = default;
CNTFSSearchController::~CNTFSSearchController() = default;

void CNTFSSearchController::SetDevice(IStorageDevice* device) {
    assert(device != nullptr && "pDevice != NULL");
    device_ = device;
}

void CNTFSSearchController::SetBlockSize(int sectorsPerBlock) {
    assert(sectorsPerBlock > 0 && "iSectorsperBlock > 0");
    sectorsPerBlock_ = sectorsPerBlock;
}

void CNTFSSearchController::PreparetoSearch() {
    assert(sectorsPerBlock_ > 0 && "m_iSectorsperBlock > 0");
    if (device_ == nullptr || !IsValidSectorSize(device_->GetSectorSize())) {
        return;
    }
    unitsPerSector_ = device_->GetSectorSize() / kNTFSUnitBytes;
    totalUnits_ = device_->GetTotalSectors() * unitsPerSector_;
    heldFirst_ = -1;
    heldCount_ = 0;
    pageEnd_ = 0;
    partitions_.clear();
    kept_.clear();
    positions_.clear();
    finders_.clear();
    mftRecords_.clear();
    evidence_ = std::make_unique<Evidence>(partitions_, mftRecords_, finders_);
    evidence_->builder.SetDevice(totalUnits_, device_->GetSectorSize());
    const size_t blockBytes = static_cast<size_t>(sectorsPerBlock_) * device_->GetSectorSize();
    block_.assign(kLookAheadSectors * kNTFSUnitBytes + blockBytes, 0);
    record_.assign(kIndexBlockBytes, 0);
    if (builder_ != nullptr) {
        builder_->AddSearcherInfo(SEARCHER_NTFS, CNTFSFileNode::kRootRecord);
    }
}

void CNTFSSearchController::AnalyzeBlock(long long firstSector, long long sectorCount) {
    assert(device_ != nullptr && "m_pDevice != NULL");
    assert(sectorsPerBlock_ > 0 && "m_iSectorsperBlock > 0");
    assert(sectorCount <= sectorsPerBlock_ && "i64SectorsCount <= m_iSectorsperBlock");
    if (evidence_ == nullptr || sectorCount <= 0) {
        return;
    }
    const int64_t first = firstSector * unitsPerSector_;
    const int64_t count = sectorCount * unitsPerSector_;
    const bool follows = heldCount_ > 0 && heldFirst_ + heldCount_ == first;
    if (heldCount_ > 0 && !follows) {
        // The next block does not follow: the held sectors get what they have.
        AnalyzeSectors(block_.data() + (kLookAheadSectors - heldCount_) * kNTFSUnitBytes,
                       heldFirst_, heldCount_, true);
    }
    const int64_t start = follows ? heldFirst_ : first;
    heldCount_ = 0;
    const uint8_t* bytes = HeldUnits(start, firstSector, sectorCount);
    if (bytes == nullptr) {
        uint8_t* data = block_.data() + kLookAheadSectors * kNTFSUnitBytes;
        // Sectors that cannot be read hold nothing: no structure is seen in them.
        ReadSectorsOrZeros(*device_, data, firstSector, sectorCount);
        bytes = data - (first - start) * kNTFSUnitBytes;
    }
    AnalyzeSectors(bytes, start, first + count - start, first + count >= totalUnits_);
}

const uint8_t* CNTFSSearchController::HeldUnits(int64_t start, long long firstSector,
                                                long long sectorCount) {
    const int64_t startSector = start / unitsPerSector_;
    const uint8_t* held =
        device_->HeldSectors(startSector, firstSector + sectorCount - startSector);
    return held == nullptr ? nullptr : held + (start % unitsPerSector_) * kNTFSUnitBytes;
}

void CNTFSSearchController::AnalyzeSectors(const uint8_t* bytes, int64_t first, int64_t count,
                                           bool complete) {
    for (int64_t i = 0; i < count; ++i) {
        const int64_t left = count - i;
        if (!complete && left < kLookAheadSectors) {
            // Held until the next block supplies the rest of their structures.
            uint8_t* held = block_.data() + (kLookAheadSectors - left) * kNTFSUnitBytes;
            std::memmove(held, bytes + i * kNTFSUnitBytes, left * kNTFSUnitBytes);
            heldFirst_ = first + i;
            heldCount_ = left;
            return;
        }
        const int available =
            static_cast<int>(std::min(left, kMostAvailableSectors) * kNTFSUnitBytes);
        PrefetchSectorAhead(bytes + i * kNTFSUnitBytes, kNTFSUnitBytes);
        AnalyzeSector(bytes + i * kNTFSUnitBytes, first + i, available);
    }
}

void CNTFSSearchController::AnalyzeSector(const uint8_t* bytes, int64_t sector, int available) {
    Evidence& e = *evidence_;
    if (CNTFSDBR::IsFullValidDBR(bytes)) {
        AnalyzeNTFSDBRSector(sector, bytes);
    } else if (CLogFileAnalyzer::IsValidRSTRRecord(bytes, available)) {
        e.log.AnalyzeRSTRRecord(sector);
    } else {
        AnalyzeIndexRecord(bytes, sector, available);
    }
    AnalyzeFileRecord(bytes, sector, available);
    e.attrDef.AnalyzeSectorBuffer(static_cast<uint64_t>(sector), bytes);
    e.upCase.AnalyzeSectorBuffer(static_cast<uint64_t>(sector), bytes);
    // Record pages: a page start is looked for past the last page met.
    if (sector >= pageEnd_ && CRCRDRecord::IsValidRCRDRecordFirstSector(bytes, kNTFSUnitBytes)) {
        if (available >= CRCRDRecord::kPageSize) {
            e.log.AnalyzeRCRDRecord(sector, bytes);
        }
        pageEnd_ = sector + CLogFileAnalyzer::kPageSectors;
    }
}

void CNTFSSearchController::AnalyzeIndexRecord(const uint8_t* block, int64_t sector,
                                               int available) {
    if (available < kIndexBlockBytes || !CIndexRecord::IsValidMagicNumber(block)) {
        return;
    }
    uint8_t* bytes = record_.data();
    std::memcpy(bytes, block, kIndexBlockBytes);
    if (!CIndexRecord::IsValid(bytes, kIndexBlockBytes)) {
        return;
    }
    Evidence& e = *evidence_;
    CIndexRecordInfo info;
    info.sector = sector;
    info.vcn = CIndexRecord::GetVCN(bytes);
    info.lsn = CIndexRecord::GetLogFileSequenceNumber(bytes);
    info.parent = CIndexRecord::GetParentFileReference(bytes, kIndexBlockBytes);
    if (info.parent == -1 || info.parent == CNTFSFileNode::kRootRecord ||
        e.indexRecords.size() >= kNTFSMostEvidence) {
        return;
    }
    auto [it, end] = e.folders.equal_range(info.parent);
    for (; it != end; ++it) {
        PairIndexRecordWithFolder(info, it->second);
    }
    e.indexRecords.emplace(info.parent, info);
}

void CNTFSSearchController::PairIndexRecordWithFolder(const CIndexRecordInfo& index,
                                                      const CFolderIndexAllocationInfo& folder) {
    const int64_t cluster = folder.GetLCN(index.vcn);
    if (cluster == -1) {
        return;
    }
    CNTFSPartitionInfoBuilder& builder = evidence_->builder;
    NTFSCandidate candidate = builder.BuildPartitionInfoAccordingtoFileRecord(
        index.sector, cluster, folder.GetSectorsPerCluster(), kNTFSEvidenceIndexBlock);
    if (candidate == nullptr) {
        return;
    }
    bool merged = false;
    builder.ForEachEqual(*candidate, [&merged](CSearchedNTFSPartitionInfo& partition) {
        partition.AddPartitionBuildFromFlag(kNTFSEvidenceIndexBlock);
        ++partition.fileSystemValue2;
        merged = true;
    });
    if (!merged) {
        builder.Insert(std::move(candidate));
    }
}

void CNTFSSearchController::AnalyzeFileRecord(const uint8_t* block, int64_t sector, int available) {
    enum class Kind { None, Folder, LogFile, AttrDef, UpCase, Ordinary };
    Evidence& e = *evidence_;
    int length = CNTFSFileRecord::kMinimumSize;
    if (CNTFSFileRecordHeader::IsValid(block, kNTFSUnitBytes)) {
        length = static_cast<int>(CNTFSFileRecord::GetAllocatedSize(block));
    }
    const uint32_t stride = static_cast<uint32_t>(length) / kNTFSUnitBytes;
    // Only a record that may be one is copied; the view of anything else is empty.
    uint8_t* bytes = nullptr;
    if (length <= available && std::memcmp(block, "FILE", 4) == 0) {
        bytes = record_.data();
        std::memcpy(bytes, block, static_cast<size_t>(length));
    }
    Kind kind = Kind::None;
    {
        // The view undoes the update sequence for the tests and redoes it
        // before the record is handed on.
        const CNTFSFileRecord record(bytes, length, false);
        e.group.AnalyzeNTFSMetaFileRecord(sector, record, stride);
        if (!record.IsValid()) {
            return;
        }
        using Meta = CMetaFileRecordTypeAnalyzer;
        if (CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(record)) {
            kind = Kind::Folder;
        } else if (Meta::IsValidMetaFileRecord(record, L"$LogFile")) {
            kind = Kind::LogFile;
        } else if (Meta::IsValidMetaFileRecord(record, L"$AttrDef")) {
            kind = Kind::AttrDef;
        } else if (Meta::IsValidMetaFileRecord(record, L"$UpCase")) {
            kind = Kind::UpCase;
        } else if (!CNTFSFileRecord::IsExtendFileRecord(record.GetBuffer()) &&
                   !e.group.IsaMetaFileRecordNotNeedtoCount(record) &&
                   !e.log.IsaMetaFileRecordNotNeedtoCount()) {
            kind = Kind::Ordinary;
        }
    }
    switch (kind) {
        case Kind::Folder:
            AnalyzeFolder(bytes, length, sector);
            break;
        case Kind::LogFile:
            e.log.AnalyzeLogFileFileRecord(sector, bytes, length);
            break;
        case Kind::AttrDef:
            e.attrDef.AnalyzeAttrDefFileRecord(sector, bytes, length);
            break;
        case Kind::UpCase:
            e.upCase.AnalyzeUpCaseFileRecord(sector, bytes, length);
            break;
        case Kind::Ordinary:
            NoteFileRecord(sector, stride);
            break;
        case Kind::None:
            break;
    }
}

void CNTFSSearchController::AnalyzeFolder(uint8_t* record, int length, int64_t sector) {
    Evidence& e = *evidence_;
    CFolderIndexAllocationInfo folder;
    if (!folder.InitFromBuffer(record, length, sector) || e.folders.size() >= kNTFSMostEvidence) {
        return;
    }
    const int64_t number = folder.GetMFTFileRecordNumber();
    auto [it, end] = e.indexRecords.equal_range(number);
    for (; it != end; ++it) {
        PairIndexRecordWithFolder(it->second, folder);
    }
    e.folders.emplace(number, std::move(folder));
    if (positions_.size() < kNTFSMostEvidence) {
        positions_.emplace_back(sector, static_cast<uint32_t>(length) / kNTFSUnitBytes);
    }
}

void CNTFSSearchController::NoteFileRecord(int64_t sector, uint32_t stride) {
    if (!positions_.empty() && positions_.back().Merge(sector, stride)) {
        return;
    }
    if (positions_.size() < kNTFSMostEvidence) {
        positions_.emplace_back(sector, stride);
    }
}

NTFSCandidate CNTFSSearchController::BuildPartitionInfoFromDBR(const CNTFSDBR& dbr, int64_t start,
                                                               uint32_t flag) const {
    const int64_t unitsPerVolumeSector = dbr.GetBytesPerSector() / kNTFSUnitBytes;
    int64_t sectors = 0;
    if (start < 0 || dbr.GetTotalSectors() < 0 ||
        __builtin_mul_overflow(dbr.GetTotalSectors(), unitsPerVolumeSector, &sectors)) {
        return nullptr;
    }
    const int64_t available = std::min(totalUnits_ - start, sectors);
    const uint32_t spc = static_cast<uint32_t>(dbr.GetSectorsperCluster() * unitsPerVolumeSector);
    const CNTFSPartitionInfoBuilder& builder = evidence_->builder;
    if (available < 8 || !builder.IsAddressable(start, spc) || spc > 0xFF) {
        return nullptr;
    }
    NTFSCandidate candidate = builder.NewCandidate();
    candidate->SetPartitionBuildFromFlag(flag);
    candidate->sectorsPerCluster = spc;
    candidate->SetSerialNumber(static_cast<int64_t>(dbr.GetSerialNumber()));
    candidate->SetSectorsperFileRecord(
        std::max<uint32_t>(dbr.GetFileRecordSizeByByte() / kNTFSUnitBytes, 2));
    candidate->firstDataSector = static_cast<uint64_t>(start);
    candidate->totalClusters = available / spc;
    candidate->totalSectors = static_cast<uint64_t>(candidate->totalClusters) * spc;
    return candidate;
}

void CNTFSSearchController::AnalyzeNTFSDBRSector(int64_t sector, const uint8_t* bytes) {
    CNTFSDBR dbr;
    if (!dbr.InitFromBuffer(bytes)) {
        return;
    }
    CNTFSPartitionInfoBuilder& builder = evidence_->builder;
    const int64_t length =
        dbr.GetTotalSectors() * static_cast<int64_t>(dbr.GetBytesPerSector() / kNTFSUnitBytes);
    // Read as the backup at the end of a volume that began `length` earlier.
    if (NTFSCandidate backup =
            BuildPartitionInfoFromDBR(dbr, sector - length, kNTFSEvidenceBackupBootSector)) {
        bool confirmed = false;
        bool equal = false;
        // Where this boot sector says the volume keeps its table.
        int64_t table = -1;
        if (dbr.GetMFTStartCluster() >= 0 &&
            dbr.GetMFTStartCluster() <= INT64_MAX / 2 / backup->sectorsPerCluster) {
            table = static_cast<int64_t>(backup->firstDataSector) +
                    dbr.GetMFTStartCluster() * backup->sectorsPerCluster;
        }
        builder.ForEachEqual(*backup, [&](CSearchedNTFSPartitionInfo& partition) {
            equal = true;
            // A volume whose table was found where this sector places it
            // owns it as its backup even without its own boot sector.
            confirmed = confirmed ||
                        (partition.GetPartitionBuildFromFlags() & kNTFSEvidenceBootSector) ||
                        (partition.totalSectors == backup->totalSectors &&
                         partition.GetSerialNumber() == backup->GetSerialNumber()) ||
                        (table != -1 && partition.mftSector == table);
            partition.AddPartitionBuildFromFlag(kNTFSEvidenceBackupBootSector);
        });
        if (confirmed) {
            // Its own volume's boot sector was taken for a backup too: undo that.
            backup->firstDataSector -= static_cast<uint64_t>(length);
            builder.AdjustPartitionBuildFromFlag(*backup, 0, kNTFSEvidenceBackupBootSector);
            return;
        }
        builder.ForEachEqual(*backup, [&](CSearchedNTFSPartitionInfo& partition) {
            if (partition.totalSectors == 0) {
                partition.totalSectors = backup->totalSectors;
                partition.totalClusters = backup->totalClusters;
            }
            if (partition.GetSerialNumber() == 0) {
                partition.SetSerialNumber(backup->GetSerialNumber());
            }
        });
        // Equal partitions carry its evidence now; one partition each.
        if (!equal) {
            builder.Insert(std::move(backup));
        }
    }
    if (NTFSCandidate primary = BuildPartitionInfoFromDBR(dbr, sector, kNTFSEvidenceBootSector)) {
        const CSearchedNTFSPartitionInfo key = *primary;
        if (builder.Offer(std::move(primary), kNTFSEvidenceBootSector)) {
            builder.ForEachEqual(key, [&key](CSearchedNTFSPartitionInfo& partition) {
                if (partition.GetSerialNumber() == 0) {
                    partition.SetSerialNumber(key.GetSerialNumber());
                }
            });
        }
    }
}

uint64_t CNTFSSearchController::CalcFileSystemReliabilityScore(
    const CSearchedNTFSPartitionInfo& partition) {
    static constexpr struct {
        uint32_t flag;
        uint64_t weight;
    } kWeights[] = {
        {kNTFSEvidenceBootSector, 30},           {kNTFSEvidenceBackupBootSector, 10},
        {kNTFSEvidenceMFTConfirmedByMirror, 30}, {kNTFSEvidenceMFTGroup, 10},
        {kNTFSEvidenceMFTMirrGroup, 10},         {kNTFSEvidenceFirstRestartPage, 10},
        {kNTFSEvidenceSecondRestartPage, 10},
    };
    uint64_t score = 0;
    for (const auto& weight : kWeights) {
        if (partition.GetPartitionBuildFromFlags() & weight.flag) {
            score += weight.weight;
        }
    }
    auto term = [](int64_t count, int64_t full) {
        return count >= full ? uint64_t{10} : uint64_t{0};
    };
    return score + term(partition.logMatchCount, 10000) + term(partition.attrDefMatchCount, 5) +
           term(partition.upCaseMatchCount, 256);
}

void CNTFSSearchController::ScoreAndWinnow() {
    Evidence& e = *evidence_;
    size_t i = 0;
    for (auto it = partitions_.begin(); it != partitions_.end(); ++i) {
        CSearchedNTFSPartitionInfo& partition = *it->second;
        e.attrDef.CalcAttrDefMatch(partition);
        e.upCase.CalcUpcaseMatch(partition);
        e.log.CalcLogFileMatch(partition);
        partition.mftLocated = partition.mftSector != -1 ? 1 : 0;
        partition.integerScore = CalcFileSystemReliabilityScore(partition);
        // From the third on, a candidate needs more than one weak trace.
        if (i >= 2 && partition.integerScore <= 10) {
            it = partitions_.erase(it);
            continue;
        }
        partition.startSector = partition.firstDataSector;
        ++it;
    }
    if (partitions_.size() >= 3) {
        std::erase_if(partitions_, [](const auto& entry) {
            return entry.second->integerScore <= 50 && entry.second->mftLocated == 0;
        });
    }
}

// A table whose $MFT record keeps an attribute list continues its runs in the
// extension records the list names; each table's volume starts where its first
// run puts cluster 0.
void CNTFSSearchController::CompleteTableRuns() {
    const uint32_t sectorSize = device_->GetSectorSize();
    const int64_t units = unitsPerSector_;
    for (const std::unique_ptr<CMFTInfo>& mft : mftRecords_) {
        const int64_t spc = mft->GetSectorsPerCluster();
        const int64_t lcn = mft->GetFirstClusterNO();
        const int64_t sector = mft->GetSectorAddress();
        if (spc == 0 || spc % units != 0 || lcn < 0 || sector % units != 0 || lcn > sector / spc) {
            continue;
        }
        NTFSGeometry g;
        g.volumeStart = static_cast<uint64_t>((sector - lcn * spc) / units);
        g.deviceSectorSize = sectorSize;
        g.clusterBytes = static_cast<uint32_t>(spc) * kNTFSUnitBytes;
        g.recordBytes = std::max<uint32_t>(mft->GetSectorsPerFileRecord(), 2) * kNTFSUnitBytes;
        g.sectorsPerCluster = static_cast<uint32_t>(spc / units);
        g.sectorsPerRecord = (g.recordBytes + sectorSize - 1) / sectorSize;
        g.mftCluster = lcn;
        std::vector<uint8_t> record(g.RecordReadBytes());
        if (device_->ReadSector(record.data(), sector / units, g.sectorsPerRecord)) {
            mft->AddDataRunsFromExtensionRecords(record.data(), *device_, g);
        }
    }
}

void CNTFSSearchController::SetSearchedNTFSPartitionBelongCtrl() {
    CompleteTableRuns();
    CNTFSIntelligentSearchInfo info;
    info.Init(&mftRecords_, &positions_, &finders_);
    for (auto& entry : partitions_) {
        kept_.push_back(std::move(entry.second));
    }
    partitions_.clear();
    CNTFSDirectoryTreeBuilder trees(device_, unitsPerSector_);
    for (size_t i = 0; i < kept_.size(); ++i) {
        CSearchedNTFSPartitionInfo& partition = *kept_[i];
        partition.score = static_cast<double>(kept_.size() - i);
        partition.partitionIndex = static_cast<uint16_t>(i);
        trees.BuildDirectoryTree(info, partition, static_cast<int>(i), builder_);
    }
}

void CNTFSSearchController::EndSearch(int build) {
    if (build == 0 || evidence_ == nullptr) {
        return;
    }
    if (heldCount_ > 0) {
        uint8_t* held = block_.data() + (kLookAheadSectors - heldCount_) * kNTFSUnitBytes;
        AnalyzeSectors(held, heldFirst_, heldCount_, true);
        heldCount_ = 0;
    }
    // A group of meta-file records still open ends with the device.
    evidence_->group.EndGroup();
    ScoreAndWinnow();
    SetSearchedNTFSPartitionBelongCtrl();
    evidence_.reset();
    block_.clear();
    block_.shrink_to_fit();
    if (builder_ != nullptr) {
        // Each partition's cluster origin serves the reading of its recycle bin.
        for (const auto& partition : kept_) {
            std::unique_ptr<CSearchedNTFSPartitionInfo> copy(HandOut(*partition));
            builder_->SetPartitonDevice(copy.get(), device_);
        }
        builder_->SetPartitonDevice(nullptr, device_);
        builder_->FlashBuild(SEARCHER_NTFS);
    }
}

CSearchedNTFSPartitionInfo* CNTFSSearchController::HandOut(
    const CSearchedNTFSPartitionInfo& partition) const {
    CSearchedNTFSPartitionInfo* copy = partition.Clone();
    const uint64_t units = unitsPerSector_;
    copy->sectorSize = device_ != nullptr ? device_->GetSectorSize() : copy->sectorSize;
    copy->firstDataSector /= units;
    copy->startSector /= units;
    copy->totalSectors /= units;
    copy->sectorsPerCluster /= static_cast<uint32_t>(units);
    return copy;
}

int CNTFSSearchController::GetSearchedPartitionInfo(CSearchedPartitionInfo** records,
                                                    int capacity) {
    const int count = static_cast<int>(kept_.size());
    if (records == nullptr || capacity < count) {
        return count;
    }
    for (int i = 0; i < count; ++i) {
        records[i] = HandOut(*kept_[static_cast<size_t>(i)]);
    }
    return count;
}

ICompleteFileSystemSearchController* CreateNTFSSearcher() {
    return new CNTFSSearchController();
}
