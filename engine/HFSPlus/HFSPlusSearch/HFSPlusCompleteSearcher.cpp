#include "HFSPlusCompleteSearcher.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <set>

#include "Bitmap.h"
#include "ByteOrder.h"
#include "DirectoryTreeBuilder.h"
#include "HFSPlusBTNode.h"
#include "HFSPlusBTreeOptions.h"
#include "HFSPlusDirectoryTreeBuilder.h"
#include "HFSPlusEndian.h"
#include "HFSPlusFileNode.h"
#include "HFSPlusPrivateData.h"
#include "HFSPlusProgress.h"
#include "HFSPlusVolume.h"
#include "PartitionDevice.h"
#include "SectorPrefetch.h"
#include "StorageDevice.h"

namespace {

constexpr uint32_t kPiece = 512;
constexpr uint32_t kFirstUserCatalogId = 16;
// The scan's bit map stays below this many bits (128 MiB).
constexpr long long kMostBitmapBits = 1LL << 30;

bool LooksLikeHeader(const uint8_t* piece) {
    const uint16_t signature = ReadBE16(piece);
    const uint16_t version = ReadBE16(piece + 2);
    return (signature == kHFSPlusSigWord && version == 4) ||
           (signature == kHFSXSigWord && version == 5);
}

uint64_t VolumeBytes(const HFSPlusVolumeHeader& header) {
    return uint64_t{header.blockSize} * header.totalBlocks;
}

// Keeps a stray leaf record in a volume's collection unless an equal key is there.
template <typename Tree>
void KeepStrayRecords(CHFSPlusBTNode& node, HFSPlusDeletedRecords& kept, size_t most) {
    for (unsigned short n = 0; n < node.GetRecordCount() && kept.size() < most; ++n) {
        BTKey* key = nullptr;
        unsigned char* data = nullptr;
        Tree::ReadKey(&node, n, key);
        Tree::ReadData(&node, n, data);
        HFSPlusDeletedRecord entry{
            std::unique_ptr<unsigned char[]>(reinterpret_cast<unsigned char*>(key)),
            std::unique_ptr<unsigned char[]>(data)};
        if (key == nullptr || data == nullptr)
            continue;
        const bool known = std::any_of(kept.begin(), kept.end(), [&](const auto& other) {
            return Tree::CompareKey(other.Key(), entry.Key()) == 0;
        });
        if (!known)
            kept.push_back(std::move(entry));
    }
}

}  // namespace

void CHFSPlusCompleteFileSystemSearchController::SetDevice(IStorageDevice* device) {
    device_ = device;
    if (device_ == nullptr)
        return;
    sectorSize_ = device_->GetSectorSize();
    if (sectorSize_ < kPiece || sectorSize_ % kPiece != 0)
        sectorSize_ = kPiece;
    totalSectors_ = device_->GetTotalSectors();
}

void CHFSPlusCompleteFileSystemSearchController::PreparetoSearch() {
    partitions_.clear();
    pendingAlternates_.clear();
    treeOpened_ = false;
    foundNodes_ = 0;
    lost_.Reset(FallbackStart(), sectorSize_);
}

// Where a volume without headers is first looked for: behind a GPT
// protective MBR the first partition's usual start, else the device's start.
int64_t CHFSPlusCompleteFileSystemSearchController::FallbackStart() {
    std::vector<uint8_t> first(sectorSize_);
    if (device_ == nullptr || totalSectors_ <= 0 || !device_->ReadSector(first.data(), 0, 1))
        return 0;
    if (first[450] != 0xEE || first[510] != 0x55 || first[511] != 0xAA)
        return 0;
    return ((2 * int64_t{sectorSize_} + 20479) / 4096 * 4096) / sectorSize_;
}

// The files of a volume whose headers are lost, from the catalog records met
// outside every opened volume. Their data is read only where the volume's
// start and block size are confirmed and every copy of a record agrees. A
// record only the journal holds is of a deleted file, as long as catalog
// leaves outside the journal were found to say which files live.
void CHFSPlusCompleteFileSystemSearchController::AddLostVolume() {
    if (builder_ == nullptr || partitions_.size() >= kMostPartitions)
        return;
    const CHFSPlusLostVolume::Placement placement =
        lost_.Place([this](int64_t sector) { return ListedPartitionHolding(sector) != nullptr; });
    if (lost_.Records().empty() || placement.startSector >= totalSectors_)
        return;
    auto partition = std::make_unique<CompleteSearchPatition>();
    partition->startSector = placement.startSector;
    partition->sectorCount = totalSectors_ - placement.startSector;
    if (placement.blockSize != 0)
        partition->blockSize = placement.blockSize;
    partition->partitionIndex = static_cast<uint32_t>(partitions_.size());
    auto idOf = [](const HFSPlusCatalogRecord& data) {
        return data.recordType == kHFSPlusFileRecord ? data.file.fileID : data.folder.folderID;
    };
    std::set<uint32_t> live;
    for (const CHFSPlusLostVolume::Record& record : lost_.Records()) {
        if (!record.inJournal)
            live.insert(idOf(*record.Data()));
    }
    // One node per catalog id; copies that disagree about the data make it unreadable.
    struct Kept {
        const CHFSPlusLostVolume::Record* record;
        bool agreed;
    };
    std::map<uint32_t, Kept> byId;
    for (const CHFSPlusLostVolume::Record& record : lost_.Records()) {
        const HFSPlusCatalogRecord& data = *record.Data();
        const uint32_t id = idOf(data);
        if (record.inJournal && (live.empty() || live.count(id) != 0))
            continue;
        auto [at, added] = byId.try_emplace(id, Kept{&record, true});
        if (!added && data.recordType == kHFSPlusFileRecord &&
            std::memcmp(&at->second.record->Data()->file.dataFork, &data.file.dataFork,
                        sizeof(HFSPlusForkData)) != 0) {
            at->second.agreed = false;
        }
    }
    if (byId.empty())
        return;
    for (const auto& [id, kept] : byId) {
        const CHFSPlusLostVolume::Record& record = *kept.record;
        auto* node = new (std::nothrow) CHFSPlusFileNode(
            nullptr, record.sector, static_cast<unsigned short>(partition->partitionIndex),
            record.Key(), record.Data());
        if (node == nullptr)
            break;
        if (!placement.readable || !kept.agreed)
            node->DropExtents();
        if (record.inJournal)
            node->MarkDeleted();
        OpenTree();
        if (node->GetCurrentNodeID() > 0 && builder_->AddNode(node, SEARCHER_HFSPLUS))
            ++(node->IsDirectory() ? partition->foldersFound : partition->filesFound);
        else
            node->Release();
    }
    partitions_.push_back(std::move(partition));
}

void CHFSPlusCompleteFileSystemSearchController::OpenTree() {
    if (!treeOpened_ && builder_ != nullptr)
        builder_->AddSearcherInfo(SEARCHER_HFSPLUS, kHFSRootFolderID);
    treeOpened_ = true;
}

void CHFSPlusCompleteFileSystemSearchController::EnsureBitmap() {
    if (bitmap_ == nullptr || bitmap_->GetBitmapData() != nullptr || totalSectors_ <= 0)
        return;
    unsigned int perBit = 1;
    while ((totalSectors_ + perBit - 1) / perBit > kMostBitmapBits)
        perBit *= 2;
    bitmap_->CreateBitmap((totalSectors_ + perBit - 1) / perBit, perBit);
}

bool CHFSPlusCompleteFileSystemSearchController::ReadBytes(uint64_t byte, uint8_t* into,
                                                           size_t length) {
    const uint64_t first = byte / sectorSize_;
    const uint64_t last = (byte + length + sectorSize_ - 1) / sectorSize_;
    if (last > uint64_t(totalSectors_))
        return false;
    std::vector<uint8_t> sectors;
    try {
        sectors.resize((last - first) * sectorSize_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!device_->ReadSector(sectors.data(), int64_t(first), int64_t(last - first)))
        return false;
    std::memcpy(into, sectors.data() + byte % sectorSize_, length);
    return true;
}

bool CHFSPlusCompleteFileSystemSearchController::HasCatalogAt(uint64_t startByte,
                                                              const HFSPlusVolumeHeader& header) {
    const HFSPlusExtentDescriptor& first = header.catalogFile.extents[0];
    if (first.blockCount == 0 || first.startBlock >= header.totalBlocks)
        return false;
    const uint64_t nodeByte = startByte + uint64_t{first.startBlock} * header.blockSize;
    uint8_t head[kPiece];
    if (!ReadBytes(nodeByte, head, sizeof(head)))
        return false;
    const uint16_t nodeSize = ReadBE16(head + sizeof(BTNodeDescriptor) + 18);
    if (static_cast<int8_t>(head[8]) != kBTHeaderNode || nodeSize < kPiece ||
        nodeSize > CHFSPlusBTNode::kMostNodeSize || (nodeSize & (nodeSize - 1)) != 0)
        return false;
    std::vector<uint8_t> node(nodeSize);
    return ReadBytes(nodeByte, node.data(), node.size()) &&
           CHFSPlusBTNode::IsValidNode(node.data(), nodeSize);
}

bool CHFSPlusCompleteFileSystemSearchController::IsKnownStart(int64_t start) const {
    return std::any_of(partitions_.begin(), partitions_.end(),
                       [start](const auto& p) { return p->startSector == start; });
}

// A header is the volume's first (1024 bytes after its start) or its
// alternate (1024 bytes before its end); the catalog's header node tells
// which. Starts come from the header's byte place, whatever the sector size.
// A volume known by its alternate header only waits for the scan's end: stale
// copies of headers inside a volume pass for alternates of a smaller volume.
void CHFSPlusCompleteFileSystemSearchController::RegisterVolume(uint64_t headerByte,
                                                                const HFSPlusVolumeHeader& header) {
    const uint64_t volumeBytes = VolumeBytes(header);
    const uint64_t deviceBytes = uint64_t(totalSectors_) * sectorSize_;
    auto usable = [&](uint64_t startByte) {
        return startByte % sectorSize_ == 0 && startByte < deviceBytes &&
               !IsKnownStart(static_cast<int64_t>(startByte / sectorSize_)) &&
               HasCatalogAt(startByte, header);
    };
    if (headerByte >= CHFSPlusVolume::kHeaderOffset &&
        usable(headerByte - CHFSPlusVolume::kHeaderOffset)) {
        AddVolume({headerByte - CHFSPlusVolume::kHeaderOffset, headerByte, header}, true);
        return;
    }
    if (volumeBytes > 2 * CHFSPlusVolume::kHeaderOffset &&
        headerByte + CHFSPlusVolume::kHeaderOffset >= volumeBytes &&
        pendingAlternates_.size() < kMostPartitions &&
        usable(headerByte + CHFSPlusVolume::kHeaderOffset - volumeBytes)) {
        pendingAlternates_.push_back(
            {headerByte + CHFSPlusVolume::kHeaderOffset - volumeBytes, headerByte, header});
    }
}

void CHFSPlusCompleteFileSystemSearchController::AddVolume(const FoundHeader& found, bool list) {
    const HFSPlusVolumeHeader& header = found.header;
    const auto start = static_cast<int64_t>(found.startByte / sectorSize_);
    if (partitions_.size() >= kMostPartitions || IsKnownStart(start))
        return;
    auto partition = std::make_unique<CompleteSearchPatition>();
    partition->startSector = start;
    partition->sectorCount = static_cast<int64_t>(std::min<uint64_t>(
        (VolumeBytes(header) + sectorSize_ - 1) / sectorSize_, uint64_t(totalSectors_ - start)));
    partition->blockSize = header.blockSize;
    partition->volumeHeader = header;
    partition->volumeHeaderSector = static_cast<int64_t>(found.headerByte / sectorSize_);
    partition->partitionIndex = static_cast<uint32_t>(partitions_.size());
    auto* window = new (std::nothrow) CPartitionVirtualVolumeDevice(
        device_, partition->startSector, partition->sectorCount, sectorSize_);
    auto* volume = window != nullptr
                       ? new (std::nothrow)
                             CHFSPlusVolume(window, false, found.headerByte - found.startByte)
                       : nullptr;
    if (volume == nullptr || IsFailure(volume->GetLastError())) {
        delete volume;
        delete window;
        return;
    }
    try {
        partition->volume.reset(volume, [window](CHFSPlusVolume* v) {
            delete v;
            delete window;
        });
    } catch (const std::bad_alloc&) {
        return;  // the shared pointer deleted both
    }
    if (list)
        ListVolume(*partition);
    partitions_.push_back(std::move(partition));
}

void CHFSPlusCompleteFileSystemSearchController::ListVolume(CompleteSearchPatition& partition) {
    if (builder_ == nullptr)
        return;
    OpenTree();
    EnsureBitmap();
    CHFSPlusDirectoryTreeBuilder adapter(builder_, partition.blockSize / sectorSize_,
                                         partition.partitionIndex,
                                         static_cast<unsigned long long>(partition.startSector));
    adapter.SetBitmap(bitmap_);
    CHFSPlusQuickFileSystemSearchProgress progress(progress_, true);
    partition.volume->QuickSearchFiles(&adapter, &progress);
    partition.filesFound += partition.volumeHeader.fileCount;
    partition.foldersFound += partition.volumeHeader.folderCount;
}

bool CHFSPlusCompleteFileSystemSearchController::CheckVolumeHeader(int64_t sector,
                                                                   const uint8_t* bytes) {
    bool found = false;
    for (uint32_t at = 0; at + kPiece <= sectorSize_; at += kPiece) {
        const uint8_t* piece = bytes + at;
        if (!LooksLikeHeader(piece) || !CHFSPlusVolume::IsValidVolumeHeader(piece, kPiece))
            continue;
        HFSPlusVolumeHeader header;
        std::memcpy(&header, piece, sizeof(header));
        flipVolumeHeader(&header);
        RegisterVolume(uint64_t(sector) * sectorSize_ + at, header);
        found = true;
    }
    return found;
}

CompleteSearchPatition* CHFSPlusCompleteFileSystemSearchController::ListedPartitionHolding(
    int64_t sector) {
    for (auto& partition : partitions_) {
        if (partition->volume && partition->startSector <= sector &&
            sector - partition->startSector < partition->sectorCount)
            return partition.get();
    }
    return nullptr;
}

long long CHFSPlusCompleteFileSystemSearchController::CheckBTNodeDescriptor(int64_t sector,
                                                                            const uint8_t* bytes,
                                                                            long long remaining,
                                                                            long long inBuffer) {
    // Only leaf nodes hold records; the cheap descriptor test comes first.
    if (static_cast<int8_t>(bytes[8]) != kBTLeafNode || bytes[9] != 1 || ReadBE16(bytes + 12) != 0)
        return 0;
    CompleteSearchPatition* partition = ListedPartitionHolding(sector);
    const uint8_t* node = bytes;
    const long long wanted = CHFSPlusBTNode::kMostNodeSize;
    if (inBuffer < wanted) {
        nodeBuffer_.assign(wanted, 0);
        const long long sectors = std::min<long long>(wanted / sectorSize_, totalSectors_ - sector);
        if (sectors <= 0 || !device_->ReadSector(nodeBuffer_.data(), sector, sectors))
            return 0;
        node = nodeBuffer_.data();
    }
    for (uint32_t size = sectorSize_; size <= CHFSPlusBTNode::kMostNodeSize; size *= 2) {
        if (!CHFSPlusBTNode::IsValidNode(node, static_cast<unsigned short>(size)))
            continue;
        CHFSPlusBTNode found(node, static_cast<unsigned short>(size), 0);
        if (partition != nullptr)
            AnalyzeNode(*partition, sector, found);
        else if (found.TestNodeBelongToFile() == CHFSPlusVolume::kCatalogTree)
            lost_.KeepLeaf(sector, found);
        return std::max<long long>(1, std::min<long long>(remaining, size / sectorSize_));
    }
    return 0;
}

void CHFSPlusCompleteFileSystemSearchController::AnalyzeNode(CompleteSearchPatition& partition,
                                                             int64_t sector, CHFSPlusBTNode& node) {
    CHFSPlusVolume& volume = *partition.volume;
    switch (node.TestNodeBelongToFile()) {
        case CHFSPlusVolume::kCatalogTree:
            AddDeletedCatalogRecords(partition, sector, node);
            break;
        case CHFSPlusVolume::kExtentsTree:
            KeepStrayRecords<CHFSPlusExtents>(node, volume.DeletedExtents(), kMostFoundRecords);
            break;
        case CHFSPlusVolume::kAttributesTree:
            KeepStrayRecords<CHFSPlusAttribute>(node, volume.DeletedAttributes(),
                                                kMostFoundRecords);
            break;
        default:
            break;
    }
}

// Records of a catalog leaf whose files and folders the live catalog no
// longer holds: what is left of deleted files in freed nodes.
void CHFSPlusCompleteFileSystemSearchController::AddDeletedCatalogRecords(
    CompleteSearchPatition& partition, int64_t sector, CHFSPlusBTNode& node) {
    if (builder_ == nullptr)
        return;
    CHFSPlusVolume* volume = partition.volume.get();
    for (unsigned short n = 0; n < node.GetRecordCount() && foundNodes_ < kMostFoundNodes; ++n) {
        BTKey* key = nullptr;
        unsigned char* data = nullptr;
        CHFSPlusCatalog::ReadKey(&node, n, key);
        CHFSPlusCatalog::ReadData(&node, n, data);
        const std::unique_ptr<unsigned char[]> ownedKey(reinterpret_cast<unsigned char*>(key));
        const std::unique_ptr<unsigned char[]> ownedData(data);
        if (key == nullptr || data == nullptr)
            continue;
        const auto* record = reinterpret_cast<const HFSPlusCatalogRecord*>(data);
        uint32_t id = 0;
        uint32_t created = 0;
        if (record->recordType == kHFSPlusFileRecord) {
            id = record->file.fileID;
            created = record->file.createDate;
        } else if (record->recordType == kHFSPlusFolderRecord) {
            id = record->folder.folderID;
            created = record->folder.createDate;
        } else {
            continue;  // thread records
        }
        if (id < kFirstUserCatalogId || created == 0 ||
            volume->FindCatalogId(id) != CHFSPlusVolume::CatalogAnswer::kGone) {
            continue;
        }
        auto* found = new (std::nothrow) CHFSPlusFileNode(
            volume, sector, static_cast<unsigned short>(partition.partitionIndex), key, record);
        if (found == nullptr)
            return;
        found->MarkDeleted();
        OpenTree();
        if (builder_->AddNode(found, SEARCHER_HFSPLUS)) {
            ++foundNodes_;
            ++(found->IsDirectory() ? partition.foldersFound : partition.filesFound);
        } else {
            found->Release();
        }
    }
}

void CHFSPlusCompleteFileSystemSearchController::AnalyzeBlock(long long firstSector,
                                                              long long sectorCount) {
    if (device_ == nullptr || firstSector < 0 || sectorCount <= 0 || firstSector >= totalSectors_)
        return;
    sectorCount = std::min<long long>(sectorCount, totalSectors_ - firstSector);
    // A block the device holds in memory is analysed where it lies.
    const uint8_t* block = device_->HeldSectors(firstSector, sectorCount);
    if (block == nullptr) {
        try {
            block_.resize(size_t(sectorCount) * sectorSize_);
        } catch (const std::bad_alloc&) {
            return;
        }
        if (!device_->ReadSector(block_.data(), firstSector, sectorCount))
            return;
        block = block_.data();
    }
    const bool useBitmap = bitmap_ != nullptr && bitmap_->GetBitmapData() != nullptr;
    const long long perBit = useBitmap ? std::max(1u, bitmap_->GetSectorsPerBit()) : 1;
    for (long long i = 0; i < sectorCount;) {
        const long long sector = firstSector + i;
        // The sectors of files a listed volume accounts for hold nothing to find.
        if (useBitmap && bitmap_->GetBit(sector / perBit)) {
            i += perBit - sector % perBit;
            continue;
        }
        const uint8_t* bytes = block + size_t(i) * sectorSize_;
        PrefetchSectorAhead(bytes, sectorSize_);
        if (CheckVolumeHeader(sector, bytes) || lost_.CheckJournalInfoBlock(sector, bytes) ||
            lost_.CheckJournalHeader(sector, bytes)) {
            ++i;
            continue;
        }
        const long long inBuffer = (sectorCount - i) * sectorSize_;
        const long long covered = CheckBTNodeDescriptor(sector, bytes, sectorCount - i, inBuffer);
        i += covered > 0 ? covered : 1;
    }
}

bool CHFSPlusCompleteFileSystemSearchController::MayListAtEnd(long long sector) {
    // Catalog leaves outside every opened volume may belong to a volume whose
    // alternate header is still ahead: where that volume starts is unknown.
    if (!lost_.Records().empty())
        return true;
    const uint64_t byte = uint64_t(sector) * sectorSize_;
    return sector >= 0 && std::any_of(pendingAlternates_.begin(), pendingAlternates_.end(),
                                      [byte](const FoundHeader& found) {
                                          return byte >= found.startByte &&
                                                 byte < found.headerByte + kPiece;
                                      });
}

void CHFSPlusCompleteFileSystemSearchController::EndSearch(int build) {
    // Of the alternates claiming one start, the largest volume is the real one.
    std::stable_sort(pendingAlternates_.begin(), pendingAlternates_.end(),
                     [](const FoundHeader& a, const FoundHeader& b) {
                         return a.header.totalBlocks > b.header.totalBlocks;
                     });
    for (const FoundHeader& found : pendingAlternates_)
        AddVolume(found, build != 0);
    pendingAlternates_.clear();
    if (build != 0)
        AddLostVolume();
    if (build != 0 && treeOpened_ && builder_ != nullptr)
        builder_->FlashBuild(SEARCHER_HFSPLUS);
    bitmap_ = nullptr;
}

int CHFSPlusCompleteFileSystemSearchController::GetSearchedPartitionInfo(
    CSearchedPartitionInfo** records, int capacity) {
    const int count = static_cast<int>(partitions_.size());
    if (records == nullptr || capacity < count)
        return count;
    int made = 0;
    for (const auto& partition : partitions_) {
        auto* record = new (std::nothrow)
            CHFSPlusSearchedPartitionInfo(sectorSize_, CHFSPlusPrivateData(partition->volume));
        if (record == nullptr)
            break;
        record->partitionIndex = static_cast<uint16_t>(partition->partitionIndex);
        record->firstDataSector = static_cast<uint64_t>(partition->startSector);
        record->startSector = static_cast<uint64_t>(partition->startSector);
        record->SetTotalSectors(static_cast<uint64_t>(partition->sectorCount));
        record->fileSystemType = FILE_SYSTEM_HFSPLUS;
        record->sectorsPerCluster = partition->blockSize / sectorSize_;
        if (record->sectorsPerCluster == 0)
            record->sectorsPerCluster = 1;  // blocks smaller than a sector
        records[made++] = record;
    }
    return made;
}

ICompleteFileSystemSearchController* CreateHFSPlusSearcher() {
    return new (std::nothrow) CHFSPlusCompleteFileSystemSearchController();
}
