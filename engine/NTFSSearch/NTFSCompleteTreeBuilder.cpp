#include "NTFSCompleteTreeBuilder.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "DirectoryTreeBuilder.h"
#include "FindFileFromLogFile.h"
#include "NTFSAttribute.h"
#include "NTFSFileNode.h"
#include "NTFSFileProperties.h"
#include "NTFSFileRecord.h"
#include "NTFSMetaFile.h"
#include "NTFSMetaFileGroupAnalyzer.h"
#include "NTFSMultiFileRecord.h"
#include "NTFSPartitionCandidates.h"
#include "NTFSRecordAnalyzer.h"
#include "SearchedNTFSPartitionInfo.h"
#include "StorageDevice.h"

namespace {

// Records below this number belong to the file system itself.
constexpr int64_t kFirstUserRecord = 25;
// Bytes a record may need past the read block's end.
constexpr int64_t kRecordTailSectors = 8;
// Base records with attribute lists kept back at most; later ones are built
// with the extension records noted so far.
constexpr size_t kMostDeferredRecords = 16384;

// `record` is `length` bytes as read.
bool HasAttributeList(uint8_t* record, int length) {
    const CNTFSFileRecord view(record, length, false);
    return view.IsValid() && view.FindAttibute(kNTFSAttributeList, 0) != nullptr;
}

// Where an older volume's record stands beside the located table's numbers.
int64_t Unaccounted(int64_t number) {
    return number < 0 ? number : CNTFSDirectoryTreeBuilder::kUnaccountedNumberBase + number;
}

}  // namespace

CNTFSDirectoryTreeBuilder::CNTFSDirectoryTreeBuilder(IStorageDevice* device,
                                                     uint32_t unitsPerSector)
    : device_(device), unitsPerSector_(std::max<uint32_t>(unitsPerSector, 1)) {
    deviceUnits_ = device_->GetTotalSectors() * unitsPerSector_;
}

int64_t CNTFSDirectoryTreeBuilder::GetMFTNumber(int64_t sector, const CMFTInfo& table,
                                                int64_t start, uint32_t sectorsPerCluster) {
    const uint32_t stride = std::max<uint32_t>(table.GetSectorsPerFileRecord(), 1);
    if (sectorsPerCluster == 0 || sector < start || table.GetDataRunList().IsEmpty()) {
        return -1;
    }
    const int64_t relative = sector - start;
    const int64_t vcn = table.GetDataRunList().GetVCN(relative / sectorsPerCluster);
    if (vcn < 0 || vcn > INT64_MAX / sectorsPerCluster / 2) {
        return -1;
    }
    const int64_t virtualSector = vcn * sectorsPerCluster + relative % sectorsPerCluster;
    return virtualSector % stride == 0 ? virtualSector / stride : -1;
}

void CNTFSDirectoryTreeBuilder::BuildDirectoryTree(const CNTFSIntelligentSearchInfo& info,
                                                   const CSearchedNTFSPartitionInfo& partition,
                                                   int index, IDirecotryTreeBuilder* builder) {
    if (partition.fileSystemType != FILE_SYSTEM_NTFS || partition.sectorsPerCluster == 0) {
        return;
    }
    partition_ = &partition;
    start_ = static_cast<int64_t>(partition.firstDataSector);
    sectorsPerCluster_ = partition.sectorsPerCluster;
    index_ = index;
    builder_ = builder;
    OrganizeMatchedMFTInfo(info);
    ReadFileProperties(info);
    // Base records with attribute lists once every extension record is noted.
    for (DeferredRecord& record : deferred_) {
        BuildRecord(record.bytes.data(), static_cast<int>(record.bytes.size()), record.sector,
                    record.table);
    }
    deferred_.clear();
    for (Table& table : tables_) {
        BuildTable(table);
    }
    // Records of no table: a partition whose table was never located lists
    // them all; one with tables lists those no table of the search holds.
    if (tables_.empty() || !partition.mftLocated) {
        std::multimap<int64_t, RecordInfo> loose;
        for (RecordInfo& record : loose_) {
            const int64_t parent = record->GetFileRecordNumberofParentDirectory();
            loose.emplace(parent, std::move(record));
        }
        OfferLostFiles(loose);
    } else {
        OfferUnaccountedRecords(info);
    }
    tables_.clear();
    loose_.clear();
    extensions_.clear();
    if (std::list<FindFileMFTAndLog>* finders = info.GetFindFileContainer()) {
        for (FindFileMFTAndLog& finder : *finders) {
            if (finder.analysed) {
                finder.finder = std::make_unique<CFindFileFromLogFile>();
                finder.analysed = false;
            }
        }
    }
}

void CNTFSDirectoryTreeBuilder::OrganizeMatchedMFTInfo(const CNTFSIntelligentSearchInfo& info) {
    std::list<FindFileMFTAndLog>* finders = info.GetFindFileContainer();
    if (finders == nullptr) {
        return;
    }
    for (FindFileMFTAndLog& finder : *finders) {
        const CMFTInfo& mft = *finder.mft;
        if (!NTFSPublicFunction::IsClusterNOMatch(mft.GetSectorAddress(), mft.GetFirstClusterNO(),
                                                  start_, sectorsPerCluster_)) {
            continue;
        }
        int64_t highest = -1;
        for (const CDataRun& run : mft.GetDataRunList().Runs()) {
            if (run.lcn >= 0 && run.count > 0 && run.lcn <= INT64_MAX - run.count) {
                highest = std::max(highest, run.lcn + run.count - 1);
            }
        }
        if (highest < 0 || highest >= static_cast<int64_t>(partition_->totalSectors) /
                                          static_cast<int64_t>(sectorsPerCluster_)) {
            continue;
        }
        Table table;
        table.log = &finder;
        NTFSGeometry& g = table.geometry;
        g = PartitionGeometry(std::max<uint32_t>(mft.GetSectorsPerFileRecord(), 2) *
                              kNTFSUnitBytes);
        g.mftCluster = mft.GetFirstClusterNO();
        if (!finder.analysed) {
            finder.analysed = true;
            if (finder.finder->Init(device_, &mft.GetDataRunList(), g)) {
                finder.finder->Analyzer();
            }
        }
        tables_.push_back(std::move(table));
    }
}

void CNTFSDirectoryTreeBuilder::ReadFileProperties(const CNTFSIntelligentSearchInfo& info) {
    const std::vector<CCommonFileRecordPositionInfo>* positions =
        info.GetCommonFileRecordPositionInfoList();
    if (positions == nullptr) {
        return;
    }
    const int64_t end = start_ + static_cast<int64_t>(partition_->totalSectors);
    // Positions are in ascending order; the first record at or after `from`.
    auto next = [&](size_t& entry, int64_t& record, int64_t from) {
        for (; entry < positions->size(); ++entry, record = 0) {
            const CCommonFileRecordPositionInfo& run = (*positions)[entry];
            const int64_t stride = run.GetStride();
            int64_t skip =
                std::max<int64_t>(0, (from - run.GetFileRecordStartSector() + stride - 1) / stride);
            record = std::max(record, skip);
            if (record < run.GetFileRecordCount()) {
                return true;
            }
        }
        return false;
    };
    size_t entry = 0;
    int64_t record = 0;
    if (!next(entry, record, start_)) {
        return;
    }
    while (true) {
        const int64_t first = (*positions)[entry].GetRecordSector(record);
        if (first > end) {
            return;
        }
        const int64_t count = std::min(kBlockSectors, end - first);
        if (count > 0 && first < deviceUnits_) {
            ReadFilePropertiesfromBlock(first, count);
        }
        if (!next(entry, record, first + kBlockSectors)) {
            return;
        }
    }
}

void CNTFSDirectoryTreeBuilder::ReadFilePropertiesfromBlock(int64_t first, int64_t count) {
    // Whole device sectors around the block, and the tail of a record that
    // starts in its last sectors.
    const int64_t firstSector = first / unitsPerSector_;
    const int64_t endUnit = std::min(first + count + kRecordTailSectors, deviceUnits_);
    const int64_t lastSector = (endUnit - 1) / unitsPerSector_;
    const int64_t sectors = lastSector - firstSector + 1;
    const uint32_t sectorSize = device_->GetSectorSize();
    buffer_.resize(static_cast<size_t>(sectors) * sectorSize);
    ReadSectorsOrZeros(*device_, buffer_.data(), firstSector, sectors);
    const int64_t base = firstSector * unitsPerSector_;
    for (int64_t unit = first; unit < first + count; ++unit) {
        uint8_t* bytes = buffer_.data() + (unit - base) * kNTFSUnitBytes;
        const int available = static_cast<int>((endUnit - unit) * kNTFSUnitBytes);
        if (available < CNTFSFileRecord::kMinimumSize ||
            !CNTFSFileRecordHeader::IsValid(bytes, kNTFSUnitBytes)) {
            continue;
        }
        const int length = static_cast<int>(CNTFSFileRecord::GetAllocatedSize(bytes));
        if (length > available || !CNTFSFileRecord::IsValid(bytes, length)) {
            continue;
        }
        if (CNTFSFileRecord::IsExtendFileRecord(bytes)) {
            // Extension records are read through device sectors.
            if (unit % unitsPerSector_ == 0 && extensions_.size() < kNTFSMostEvidence) {
                NotedExtension noted;
                noted.sector = unit / unitsPerSector_;
                if (CNTFSFileRecord::HasXPNumberOfthisMFTRecord(bytes)) {
                    noted.number = CNTFSFileRecord::GetXPNumberOfthisMFTRecord(bytes);
                }
                extensions_.emplace(CNTFSFileRecord::GetBaseFileRecordNumber(bytes), noted);
            }
            continue;
        }
        Table* table = FindMatchedMFT(unit);
        if (table == nullptr && partition_->restrictToTables) {
            continue;
        }
        if (deferred_.size() < kMostDeferredRecords && HasAttributeList(bytes, length)) {
            deferred_.push_back({std::vector<uint8_t>(bytes, bytes + length), unit, table});
            continue;
        }
        BuildRecord(bytes, length, unit, table);
    }
}

void CNTFSDirectoryTreeBuilder::BuildRecord(uint8_t* record, int length, int64_t sector,
                                            Table* table) {
    RecordInfo info = BuildCommonFileRecordInfoandFileProperties(record, length, sector, table);
    if (info == nullptr) {
        return;
    }
    if (table != nullptr && partition_->mftLocated) {
        table->records.push_back(std::move(info));
    } else if (loose_.size() < kNTFSMostEvidence) {
        loose_.push_back(std::move(info));
    }
}

NTFSGeometry CNTFSDirectoryTreeBuilder::PartitionGeometry(uint32_t recordBytes) const {
    const uint32_t sectorSize = device_->GetSectorSize();
    NTFSGeometry g;
    g.volumeStart = static_cast<uint64_t>(start_ / unitsPerSector_);
    g.deviceSectorSize = sectorSize;
    g.clusterBytes = sectorsPerCluster_ * kNTFSUnitBytes;
    g.recordBytes = recordBytes;
    g.sectorsPerCluster = sectorsPerCluster_ / unitsPerSector_;
    g.sectorsPerRecord = (recordBytes + sectorSize - 1) / sectorSize;
    return g;
}

// The extension records a base record's attribute list names: first those met
// in the partition that name it as their base, so that a table of another
// volume at the same place, or none at all, still finds them; then those the
// table locates.
ExtendFileRecordInfoList CNTFSDirectoryTreeBuilder::FindExtensionRecords(const uint8_t* record,
                                                                         int length, int64_t sector,
                                                                         int64_t number,
                                                                         const Table* table) const {
    const NTFSGeometry geometry =
        table != nullptr ? table->geometry : PartitionGeometry(static_cast<uint32_t>(length));
    const NTFSMFTLocation location{device_, geometry,
                                   table != nullptr ? &table->log->mft->GetDataRunList() : nullptr};
    ExtendFileRecordInfoList list =
        CNTFSMultiFileRecord::GetExtendFileRecordInfoList(record, length, location);
    for (CAttributeListExtendFileRecordInfo& entry : list) {
        entry.startSector = -1;
        if (number >= 0) {
            const auto [first, last] = extensions_.equal_range(number);
            for (auto it = first; it != last && entry.startSector < 0; ++it) {
                if (it->second.number == entry.recordNumber) {
                    entry.startSector = it->second.sector;
                }
            }
        }
        if (entry.startSector < 0 && table != nullptr) {
            entry.startSector = location.GetFileRecordStartSectorfromMFTNumber(entry.recordNumber);
        }
    }
    std::erase_if(list, [&](const CAttributeListExtendFileRecordInfo& entry) {
        return entry.startSector < 0 || entry.startSector == sector;
    });
    return list;
}

bool CNTFSDirectoryTreeBuilder::IsAccountedFor(int64_t sector,
                                               const CNTFSIntelligentSearchInfo& info) const {
    const std::list<FindFileMFTAndLog>* finders = info.GetFindFileContainer();
    if (finders == nullptr) {
        return false;
    }
    // Each table's volume starts where its first run puts cluster 0.
    for (const FindFileMFTAndLog& finder : *finders) {
        const CMFTInfo& mft = *finder.mft;
        const int64_t spc = mft.GetSectorsPerCluster();
        const int64_t lcn = mft.GetFirstClusterNO();
        if (spc == 0 || lcn < 0 || lcn > mft.GetSectorAddress() / spc) {
            continue;
        }
        const int64_t origin = mft.GetSectorAddress() - lcn * spc;
        if (sector >= origin && mft.GetDataRunList().IsLCNContained((sector - origin) / spc) &&
            mft.HoldsRecord(GetMFTNumber(sector, mft, origin, static_cast<uint32_t>(spc)))) {
            return true;
        }
    }
    return false;
}

// Records that no table of the search holds, in a partition whose table was
// located: an older volume's, quick-formatted over with the same cluster size.
// They go under their folders, apart from the table's numbers, or among the
// lost files.
void CNTFSDirectoryTreeBuilder::OfferUnaccountedRecords(const CNTFSIntelligentSearchInfo& info) {
    std::multimap<int64_t, RecordInfo> unaccounted;
    for (RecordInfo& record : loose_) {
        if (!IsAccountedFor(record->GetSectorAddress(), info)) {
            const int64_t parent = record->GetFileRecordNumberofParentDirectory();
            unaccounted.emplace(parent, std::move(record));
        }
    }
    OfferLostFiles(unaccounted, true);
}

CNTFSDirectoryTreeBuilder::Table* CNTFSDirectoryTreeBuilder::FindMatchedMFT(int64_t sector) {
    const int64_t cluster = (sector - start_) / sectorsPerCluster_;
    for (Table& table : tables_) {
        const CMFTInfo& mft = *table.log->mft;
        if (mft.GetDataRunList().IsLCNContained(cluster) &&
            mft.HoldsRecord(GetMFTNumber(sector, mft, start_, sectorsPerCluster_))) {
            return &table;
        }
    }
    return nullptr;
}

CNTFSDirectoryTreeBuilder::RecordInfo
CNTFSDirectoryTreeBuilder::BuildCommonFileRecordInfoandFileProperties(uint8_t* record, int length,
                                                                      int64_t sector,
                                                                      Table* table) {
    auto info = std::make_unique<CCommonFileRecordInfo>();
    if (!info->InitFromBuffer(record, length, sector) ||
        CIsMetaFileRecord::IsMetaFileRecord(record, length)) {
        return nullptr;
    }
    if (table != nullptr && info->GetMFTFileRecordNumber() == -1) {
        info->SetMFTFileRecordNumber(
            GetMFTNumber(sector, *table->log->mft, start_, sectorsPerCluster_));
    }
    const int64_t deviceSector = sector / unitsPerSector_;
    ExtendFileRecordInfoList extensions =
        FindExtensionRecords(record, length, deviceSector, info->GetMFTFileRecordNumber(), table);
    CNTFSMultiFileRecord view(record, length, deviceSector, device_, extensions);
    int64_t parent = -1;
    const uint32_t clusterBytes = sectorsPerCluster_ * kNTFSUnitBytes;
    CNTFSFileProperties* properties = CNTFSFilePropertiesBuilder::BuildFileProperties(
        deviceSector, view, clusterBytes, &parent, &names_);
    if (properties == nullptr) {
        return nullptr;
    }
    if (info->GetFileRecordNumberofParentDirectory() == -1 && parent != -1) {
        info->SetFileRecordNumberofParentDirectory(parent);
    }
    CNTFSFilePropertiesBuilder::AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(
        properties, clusterBytes);
    // Deleting often cuts the data attribute to nothing first; a log may
    // still know it. Live empty files are left as they are.
    if ((properties->GetState() & kNTFSStateDeleted) &&
        !(properties->GetAttribute() & kNTFSAttributeDirectory) && properties->GetFileSize() == 0) {
        for (const Table& other : tables_) {
            if (other.log->analysed &&
                other.log->finder->ReplaceFileRecordInfo(
                    record, *properties, info->GetFileRecordNumberofParentDirectory(),
                    extensions)) {
                break;
            }
        }
    }
    properties->SetExtendFileRecordInfoList(std::move(extensions));
    info->SetNTFSFileProperties(properties);
    return info;
}

bool CNTFSDirectoryTreeBuilder::Offer(CCommonFileRecordInfo& info, int64_t parent,
                                      bool unaccounted) {
    auto* properties = static_cast<CNTFSFileProperties*>(info.TakeNTFSFileProperties());
    if (properties == nullptr) {
        return false;
    }
    auto* node = new CNTFSFileNode();
    node->SetFileProperties(properties);
    node->SetParentNodeID(parent);
    node->SetCurrentNodeID(info.GetMFTFileRecordNumber());
    if (unaccounted) {
        // The older volume's root is the table's; its files are gone from the volume.
        node->SetParentNodeID(parent == CNTFSFileNode::kRootRecord ? parent : Unaccounted(parent));
        node->SetCurrentNodeID(Unaccounted(info.GetMFTFileRecordNumber()));
        node->MarkDeleted();
    }
    node->SetBelongedPartition(static_cast<uint16_t>(index_));
    if (builder_ != nullptr && builder_->AddNode(node, SEARCHER_NTFS)) {
        return true;
    }
    node->Release();
    return false;
}

void CNTFSDirectoryTreeBuilder::BuildTable(Table& table) {
    std::multimap<int64_t, RecordInfo> byParent;
    for (RecordInfo& record : table.records) {
        const int64_t parent = record->GetFileRecordNumberofParentDirectory();
        byParent.emplace(parent, std::move(record));
    }
    table.records.clear();
    // Breadth first from the root; every record leaves the map when met.
    std::deque<int64_t> folders{CNTFSFileNode::kRootRecord};
    while (!folders.empty()) {
        const int64_t parent = folders.front();
        folders.pop_front();
        auto [it, end] = byParent.equal_range(parent);
        while (it != end) {
            CCommonFileRecordInfo& info = *it->second;
            const bool folder = info.IsDirectory();
            int64_t number = info.GetMFTFileRecordNumber();
            if (number == -1) {
                number = GetMFTNumber(info.GetSectorAddress(), *table.log->mft, start_,
                                      sectorsPerCluster_);
            }
            if (Offer(info, parent) && folder && number >= 0) {
                folders.push_back(number);
            }
            it = byParent.erase(it);
        }
    }
    OfferLostFiles(byParent);
}

// What the walk from the root did not reach: deleted files whose folder's
// record is gone, and whole branches under such folders. Each goes under its
// parent's number; the tree builder files those whose parent it never gets
// among the lost files. Children of the file system's own folders stay out.
void CNTFSDirectoryTreeBuilder::OfferLostFiles(std::multimap<int64_t, RecordInfo>& records,
                                               bool unaccounted) {
    for (auto& [parent, info] : records) {
        if (parent != -1 && parent < kFirstUserRecord && parent != CNTFSFileNode::kRootRecord) {
            continue;
        }
        Offer(*info, parent, unaccounted);
    }
    records.clear();
}
