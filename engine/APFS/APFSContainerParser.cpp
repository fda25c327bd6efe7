#include "APFSContainerParser.h"

#include "APFSBlockReader.h"

#include <algorithm>
#include <cstdio>
#include <deque>

using apfs::NodeEntry;

namespace {

constexpr size_t kBufferSize = 128 * 1024;
constexpr size_t kMostNameLength = 4095;
constexpr uint64_t kNoParent = APFSFileNode::kNoParent;
// Ids given to nodes of a second version of an object: far above any object
// id (56 bits at most, container index in bits 32..47), numbered in the order
// the versions are met so that a scan gives the same ids every time.
constexpr uint64_t kVersionIdBase = uint64_t{1} << 62;
// Extents of the live tree outrank those of any older transaction.
constexpr uint64_t kLiveRank = UINT64_MAX;

uint64_t Distance(uint64_t a, uint64_t b) {
    return a > b ? a - b : b - a;
}

// "0x<digits>-dead": the name a tree keeps for a dead version of an entry.
bool ReadDeadName(const std::string& name, long long& number) {
    int used = 0;
    return name.size() > 7 && std::sscanf(name.c_str(), "0x%lld-dead%n", &number, &used) == 1 &&
           static_cast<size_t>(used) == name.size();
}

}  // namespace

APFSContainerParser::APFSContainerParser(APFSDelegate* delegate, uint32_t index,
                                         uint64_t startSector)
    : delegate_(delegate), index_(index), buffer_(kBufferSize, 0), startSector_(startSector) {}

APFSContainerParser::~APFSContainerParser() = default;

void APFSContainerParser::SetSectorSize(int sectorSize) {
    if (sectorSize >= 512)
        sectorSize_ = static_cast<uint32_t>(sectorSize);
}

uint64_t APFSContainerParser::Id(uint64_t objectId) const {
    return (objectId & apfs::kObjectIdMask) | uint64_t{index_} << 32;
}

bool APFSContainerParser::Read(uint64_t block) {
    return delegate_->ReadBlocks(this, block, static_cast<int32_t>(apfs::kBlockSize),
                                 buffer_.data()) != 0;
}

bool APFSContainerParser::BlockAt(uint64_t sector, uint64_t& block) const {
    if (sector < startSector_)
        return false;
    const unsigned __int128 bytes = (unsigned __int128)(sector - startSector_) * sectorSize_;
    if (bytes % apfs::kBlockSize != 0)
        return false;
    block = static_cast<uint64_t>(bytes / apfs::kBlockSize);
    return true;
}

void APFSContainerParser::NameAfter(const uint8_t* volumeSuperblock) {
    if (!name_.empty())
        return;
    name_ = apfs::VolumeName(volumeSuperblock) + "_" + std::to_string(index_);
    if (name_.size() > kMostNameLength)
        name_.resize(kMostNameLength);
}

bool APFSContainerParser::ResolvesObjectMap(const uint8_t* superblock) {
    const uint64_t map = apfs::ContainerInfo::Of(superblock).omapOid;
    return Read(map) && apfs::IsObjectMapAt(buffer_.data(), map);
}

std::vector<uint8_t> APFSContainerParser::NewestSuperblock(const uint8_t* found) {
    const apfs::ContainerInfo expected = apfs::ContainerInfo::Of(found);
    const auto usable = [&](const uint8_t* block) {
        const apfs::ContainerInfo info = apfs::ContainerInfo::Of(block);
        return apfs::IsContainerSuperblock(block) &&
               apfs::HasValidChecksum(block, apfs::kBlockSize) &&
               std::equal(info.uuid, info.uuid + 16, expected.uuid);
    };
    std::vector<uint8_t> block(apfs::kBlockSize);
    // The container's own first block is the newest superblock when it is whole.
    if (Read(0) && usable(buffer_.data())) {
        block.assign(buffer_.begin(), buffer_.begin() + apfs::kBlockSize);
        if (ResolvesObjectMap(block.data()))
            return block;
    }
    std::vector<uint8_t> newest(found, found + apfs::kBlockSize);
    if (!expected.descContiguous)
        return newest;
    const uint32_t count = std::min(expected.descBlocks, apfs::kMostDescriptorBlocks);
    for (uint32_t i = 0; i < count && delegate_->IsContinue(); ++i) {
        if (!Read(expected.descBase + i) || !usable(buffer_.data()))
            continue;
        block.assign(buffer_.begin(), buffer_.begin() + apfs::kBlockSize);
        if (apfs::ContainerInfo::Of(block.data()).xid >
                apfs::ContainerInfo::Of(newest.data()).xid &&
            ResolvesObjectMap(block.data())) {
            newest = block;
        }
    }
    return newest;
}

int APFSContainerParser::ParseContainer(const uint8_t* found) {
    std::vector<uint8_t> newest;
    if (found != nullptr) {
        newest = NewestSuperblock(found);
    } else {
        if (!Read(0))
            return -1;
        newest.assign(buffer_.begin(), buffer_.begin() + apfs::kBlockSize);
    }
    const apfs::ContainerInfo info = apfs::ContainerInfo::Of(newest.data());
    if (info.blockSize < apfs::kBlockSize || !apfs::IsPlausibleAPFSObject(newest.data()))
        return -2;
    blockSize_ = info.blockSize;
    blockCount_ = info.blockCount;
    std::copy(info.uuid, info.uuid + 16, uuid_);
    unsigned __int128 sectors = (unsigned __int128)blockCount_ * apfs::kBlockSize / sectorSize_;
    totalSectors_ = sectors > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(sectors);

    std::vector<uint64_t> maps = apfs::CheckpointObjectMaps(newest.data(), [this](uint64_t block,
                                                                                  uint8_t* out) {
        return delegate_->ReadBlocks(this, block, static_cast<int32_t>(apfs::kBlockSize), out) != 0;
    });
    for (uint64_t map : maps) {
        if (!delegate_->IsContinue())
            break;
        WalkContainerMap(map);
        // Only the newest checkpoint's trees are live.
        history_ = true;
    }
    return 0;
}

void APFSContainerParser::WalkContainerMap(uint64_t map) {
    if (!Read(map) || !apfs::IsPlausibleAPFSObject(buffer_.data()))
        return;
    std::deque<uint64_t> nodes{apfs::Read64(buffer_.data() + apfs::kOmapTreeOid)};
    std::unordered_set<uint64_t> seen;
    while (!nodes.empty() && delegate_->IsContinue()) {
        const uint64_t address = nodes.front();
        nodes.pop_front();
        if (!seen.insert(address).second || !Read(address) ||
            !apfs::IsPlausibleAPFSObject(buffer_.data()) ||
            apfs::ObjectHeader::Of(buffer_.data()).subtype != apfs::kSubtypeObjectMap) {
            continue;
        }
        const std::vector<uint64_t> mapped = apfs::ObjectMapAddresses(buffer_.data());
        for (uint64_t volume : mapped) {
            if (!delegate_->IsContinue())
                return;
            if (volume == 0 || volume >= blockCount_ || !Read(volume) ||
                !apfs::IsPlausibleAPFSObject(buffer_.data())) {
                continue;
            }
            const apfs::ObjectHeader header = apfs::ObjectHeader::Of(buffer_.data());
            if (header.subtype == apfs::kSubtypeObjectMap) {
                nodes.push_back(volume);  // a lower level of a larger map
            } else if (apfs::IsVolumeSuperblock(buffer_.data())) {
                NameAfter(buffer_.data());
                WalkVolume(buffer_.data());
            }
        }
    }
}

int APFSContainerParser::ParseVolume(uint64_t block) {
    if (!Read(block))
        return -1;
    if (!apfs::IsPlausibleAPFSObject(buffer_.data()))
        return -2;
    NameAfter(buffer_.data());
    WalkVolume(buffer_.data());
    return 0;
}

void APFSContainerParser::WalkVolume(const uint8_t* volumeSuperblock) {
    const uint64_t map = apfs::Read64(volumeSuperblock + apfs::kVolumeOmapOid);
    if (!Read(map))
        return;
    std::deque<uint64_t> work{apfs::Read64(buffer_.data() + apfs::kOmapTreeOid)};
    while (!work.empty()) {
        if (!delegate_->IsContinue())
            return;
        const uint64_t address = work.front();
        work.pop_front();
        if ((blockCount_ != 0 && address >= blockCount_) || !visited_.insert(address).second ||
            !Read(address) || !apfs::IsPlausibleAPFSObject(buffer_.data())) {
            continue;
        }
        const apfs::ObjectHeader header = apfs::ObjectHeader::Of(buffer_.data());
        if (header.subtype == apfs::kSubtypeFileSystemTree) {
            if (apfs::NodeView::Of(buffer_.data()).keyCount < apfs::kMostNodeEntries)
                ReadRecords(buffer_.data(), address);
        } else if (header.subtype == apfs::kSubtypeObjectMap) {
            for (uint64_t next : apfs::ObjectMapAddresses(buffer_.data())) {
                if (!visited_.count(next))
                    work.push_back(next);
            }
        }
    }
}

void APFSContainerParser::ScanBlock(uint64_t sector, const uint8_t* data) {
    uint64_t block = 0;
    if (!BlockAt(sector, block) || block >= blockCount_)
        return;
    const apfs::ObjectHeader header = apfs::ObjectHeader::Of(data);
    if (header.oid == 0 || header.oid >= blockCount_)
        return;
    // A physical node stores its own address.
    if (header.IsPhysical() && header.oid != block)
        return;
    if (header.type != apfs::kTypeBTreeNode || header.subtype != apfs::kSubtypeFileSystemTree ||
        visited_.count(block) || apfs::NodeView::Of(data).keyCount >= apfs::kMostNodeEntries) {
        return;
    }
    ReadRecords(data, block);
}

void APFSContainerParser::ReadRecords(const uint8_t* node, uint64_t block) {
    const uint64_t rank = history_ ? apfs::ObjectHeader::Of(node).xid : kLiveRank;
    for (const NodeEntry& entry : apfs::VariableEntries(node)) {
        if (!delegate_->IsContinue())
            return;
        APFSFileNode* found = nullptr;
        switch (apfs::RecordTypeOf(node, entry)) {
            case apfs::RecordType::kFileExtent:
                found = TakeExtent(node, entry, block, rank);
                break;
            case apfs::RecordType::kInode:
                found = TakeInode(node, entry, block);
                break;
            case apfs::RecordType::kDirRecord:
                found = TakeDirRecord(node, entry, block);
                break;
            case apfs::RecordType::kOther:
                break;
        }
        if (found != nullptr)
            Offer(found);
    }
}

APFSFileNode* APFSContainerParser::TakeExtent(const uint8_t* node, const NodeEntry& entry,
                                              uint64_t block, uint64_t rank) {
    apfs::FileExtent extent;
    if (!apfs::ParseFileExtent(node, entry, extent))
        return nullptr;
    const uint64_t id = Id(extent.objectId);
    const Match match = Find(files_, id, kNoParent, {}, 0, block);
    APFSFileNode* file = match.exact ? match.exact : match.chosen;
    if (file == nullptr)
        file = NewNode(id, kNoParent, {}, false, block, match);
    file->block = block;
    if (!file->TakeExtentVersion(rank))
        return file;
    const uint64_t count = extent.length / sectorSize_ + (extent.length % sectorSize_ != 0);
    int64_t first = kHoleDataRun;  // a sparse hole reads as zeros
    if (extent.physicalBlock != 0) {
        const unsigned __int128 sector =
            (unsigned __int128)extent.physicalBlock * apfs::kBlockSize / sectorSize_;
        // Blocks past the container's end hold no data of it.
        if (sector > INT64_MAX ||
            (totalSectors_ != 0 && (sector > totalSectors_ || count > totalSectors_ - sector))) {
            first = kUnknownDataRun;
        } else {
            first = static_cast<int64_t>(sector);
        }
    }
    file->AddExtent(first, count, sectorSize_, extent.logicalOffset);
    return file;
}

APFSFileNode* APFSContainerParser::TakeInode(const uint8_t* node, const NodeEntry& entry,
                                             uint64_t block) {
    apfs::Inode inode;
    if (!apfs::ParseInode(node, entry, inode))
        return nullptr;
    const std::string name = MakeDisplayName(inode.name);
    if (name.empty())
        return nullptr;
    const uint64_t parent = Id(inode.parentId);
    APFSFileNode* found =
        NodeFor(Id(inode.privateId), parent, name, inode.directory, inode.createTime, block);
    if ((found->IsFolder() || !history_) && !found->Has(APFSFileNode::kReported) &&
        found->parentNode == nullptr) {
        LinkToParent(found, parent, block);
    }
    if ((inode.size != 0 && found->Size() == 0) ||
        (found->Name() == name && found->creationTime == inode.createTime &&
         found->Size() < inode.size)) {
        found->SetSize(inode.size);
    }
    if (inode.sparse && !found->IsFolder())
        found->SetSparseBytes(inode.sparseBytes, sectorSize_);
    if (found->Name().empty())
        found->SetDisplayName(name);
    if (found->creationTime == 0) {
        for (uint64_t time : {inode.createTime, inode.modTime, inode.changeTime}) {
            if (apfs::IsPlausibleTime(time)) {
                found->creationTime = time;
                break;
            }
        }
        found->modificationTime = inode.changeTime;
        found->accessTime = inode.accessTime;
    }
    // A later container's root folder is shown as a folder of its own.
    if (index_ != 0 && (inode.objectId & apfs::kObjectIdMask) == 2)
        ShowAsContainerFolder(found);
    return found;
}

APFSFileNode* APFSContainerParser::TakeDirRecord(const uint8_t* node, const NodeEntry& entry,
                                                 uint64_t block) {
    apfs::DirRecord record;
    if (!apfs::ParseDirRecord(node, entry, record) || !IsWantedName(record.name))
        return nullptr;
    const std::string name = MakeDisplayName(record.name);
    const uint64_t parent = Id(record.parentId);
    APFSFileNode* found =
        NodeFor(Id(record.fileId), parent, name, record.directory, record.dateAdded, block);
    if (found->IsFolder() && !found->Has(APFSFileNode::kReported) && found->parentNode == nullptr) {
        LinkToParent(found, parent, block);
    }
    if (index_ == 0 || record.fileId != 2) {
        if (found->Name().empty()) {
            found->SetIsDirectory(record.directory);
            found->SetDisplayName(name);
            found->creationTime = record.dateAdded;
            found->modificationTime = record.dateAdded;
        }
    } else {
        ShowAsContainerFolder(found);
    }
    return found;
}

void APFSContainerParser::ShowAsContainerFolder(APFSFileNode* node) {
    node->SetParentNodeID(2);
    if (!name_.empty())
        node->SetDisplayName(name_);
}

APFSFileNode* APFSContainerParser::NodeFor(uint64_t id, uint64_t parent, const std::string& name,
                                           bool folder, uint64_t time, uint64_t block) {
    const Match match = Find(folder ? folders_ : files_, id, parent, name, time, block);
    if (match.exact) {
        match.exact->block = block;
        return match.exact;
    }
    if (match.chosen == nullptr || folder)
        return NewNode(id, parent, name, folder, block, match);
    // A file met by its extents first: its parent comes with this record. A
    // candidate that already has another parent is another version.
    APFSFileNode* candidate = match.chosen;
    if (candidate->apfsParent != kNoParent)
        return NewNode(id, parent, name, folder, block, match);
    candidate->apfsParent = parent;
    candidate->SetParentNodeID(static_cast<int64_t>(parent));
    candidate->block = block;
    return candidate;
}

APFSContainerParser::Match APFSContainerParser::Find(NodeMap& map, uint64_t id, uint64_t parent,
                                                     const std::string& name, uint64_t time,
                                                     uint64_t block) const {
    Match match;
    uint64_t window = 4096;
    const auto [first, last] = map.equal_range(id);
    for (auto it = first; it != last; ++it) {
        APFSFileNode* candidate = it->second;
        match.lastLooked = candidate;
        if (candidate->apfsParent == parent &&
            ((candidate->apfsId & 0xFFFFFFFF) < 5 || name.find(candidate->Name()) != name.npos)) {
            match.exact = candidate;
            return match;
        }
        const uint64_t blocks = candidate->Size() / apfs::kBlockSize;
        if (window > 256 && blocks > window - 256)
            window = blocks + 256;
        const uint64_t distance = Distance(block, candidate->block);
        if (distance < window || (time != 0 && candidate->creationTime == time)) {
            match.chosen = candidate;
            window = distance;
        }
    }
    return match;
}

APFSFileNode* APFSContainerParser::NewNode(uint64_t id, uint64_t parent, const std::string& name,
                                           bool folder, uint64_t block, const Match& match) {
    auto owned = std::make_unique<APFSFileNode>();
    APFSFileNode* node = owned.get();
    owned_.push_back(std::move(owned));
    node->sequence = nextSequence_++;
    std::string shown = name;
    long long number = 0;
    if (match.chosen != nullptr && ReadDeadName(name, number))
        shown = (match.chosen->Name() + "-" + std::to_string(number)).substr(0, 1999);
    node->SetIsDirectory(folder);
    node->SetBelongedPartition(static_cast<uint16_t>(index_));
    const bool anotherVersion = match.lastLooked != nullptr;
    node->SetNodeId(static_cast<int64_t>(
        anotherVersion ? kVersionIdBase | uint64_t{index_} << 40 | nextVersionId_++ : id));
    node->SetParentNodeID(static_cast<int64_t>(parent));
    node->block = block;
    node->apfsId = id;
    node->apfsParent = parent;
    node->SetDisplayName(shown);
    if (history_)
        node->MarkDeleted();
    if (match.lastLooked != nullptr && match.lastLooked->HasExtents())
        node->CopyExtentsFrom(*match.lastLooked);
    (folder ? folders_ : files_).emplace(id, node);
    return node;
}

void APFSContainerParser::LinkToParent(APFSFileNode* node, uint64_t parent, uint64_t block) {
    APFSFileNode* closest = nullptr;
    const auto [first, last] = folders_.equal_range(parent);
    for (auto it = first; it != last; ++it) {
        if (it->second == node)
            continue;
        if (closest == nullptr ||
            Distance(block, it->second->block) < Distance(block, closest->block)) {
            closest = it->second;
        }
    }
    node->apfsParent = parent;
    if (closest == nullptr)
        node->SetParentNodeID(static_cast<int64_t>(parent));
    else
        closest->AddChildNode(node);
}

void APFSContainerParser::Offer(APFSFileNode* node) {
    if (node->Has(APFSFileNode::kReported))
        return;
    if (node->IsReady(false)) {
        pending_.erase(node->sequence);
        delegate_->OnFileFound(node);
    } else {
        pending_.emplace(node->sequence, node);
    }
}

void APFSContainerParser::Finish(uint64_t limitSector) {
    const bool force = limitSector == kForce;
    uint64_t limit = 0;
    if (!force && limitSector > startSector_)
        limit = (limitSector - startSector_) * sectorSize_ / apfs::kBlockSize;
    std::vector<uint64_t> reported;
    for (auto& [sequence, node] : pending_) {
        if (node->Has(APFSFileNode::kReported)) {
            reported.push_back(sequence);
            continue;
        }
        if (node->parentNode == nullptr && node->GetParentNodeID() != -1)
            LinkToParent(node, static_cast<uint64_t>(node->GetParentNodeID()),
                         force ? node->block : limit);
        if (!node->IsReady(force))
            continue;
        if (!node->IsFolder() && !node->HasExtents()) {
            const auto [first, last] = files_.equal_range(node->apfsId);
            for (auto it = first; it != last; ++it) {
                if (it->second != node && it->second->HasExtents() &&
                    it->second->creationTime == node->creationTime) {
                    node->CopyExtentsFrom(*it->second);
                    break;
                }
            }
        }
        delegate_->OnFileFound(node);
        reported.push_back(sequence);
    }
    for (uint64_t sequence : reported)
        pending_.erase(sequence);
}
