#include "APFSDeepScan.h"

#include <algorithm>
#include <cstring>

#include "APFS.h"
#include "APFSBlockReader.h"
#include "APFSStructures.h"
#include "DirectoryTreeBuilder.h"
#include "Progress.h"
#include "SearchedPartitionInfo.h"
#include "SectorPrefetch.h"
#include "StorageDevice.h"

namespace {

constexpr size_t kBufferSize = 1024 * 1024;
constexpr uint64_t kReadBytes = 64 * 1024;
constexpr long long kTopId = 2;
// Object maps remembered while no container is known; a damaged disk full of
// stray maps is not followed further.
constexpr size_t kMostNotedObjectMaps = 65536;

}  // namespace

ICompleteFileSystemSearchController* CreateAPFSDeepSearcher() {
    return new APFSDeepScan();
}

APFSDeepScan::APFSDeepScan() : buffer_(kBufferSize, 0) {}

APFSDeepScan::~APFSDeepScan() = default;

void APFSDeepScan::SetDevice(IStorageDevice* device) {
    device_ = device;
    const uint32_t size = device != nullptr ? device->GetSectorSize() : 0;
    sectorSize_ = size < 1 ? 512 : size;
}

bool APFSDeepScan::IsContinue() {
    return progress_ == nullptr || progress_->Continued() != 0;
}

void APFSDeepScan::OnFileFound(APFSFileNode* node) {
    if (node == nullptr || node->Has(APFSFileNode::kReported))
        return;
    node->Set(APFSFileNode::kReported);
    if (builder_ != nullptr)
        builder_->AddNode(node, SEARCHER_APFS);
}

int APFSDeepScan::ReadBlocks(APFSContainerParser* parser, uint64_t block, int32_t byteCount,
                             uint8_t* buffer) {
    if (device_ == nullptr || byteCount <= 0 || buffer == nullptr)
        return 0;
    const uint64_t start = parser != nullptr ? parser->StartSector() : 0;
    uint64_t offset = 0;
    uint64_t blockOffset = 0;
    if (__builtin_mul_overflow(start, uint64_t{sectorSize_}, &offset) ||
        __builtin_mul_overflow(block, uint64_t{apfs::kBlockSize}, &blockOffset) ||
        __builtin_add_overflow(offset, blockOffset, &offset)) {
        return 0;
    }
    return apfs::ReadDeviceBytes(device_, offset, static_cast<size_t>(byteCount), buffer, scratch_)
               ? 1
               : 0;
}

void APFSDeepScan::AnalyzeBlock(long long firstSector, long long sectorCount) {
    if (device_ == nullptr || firstSector < 0 || sectorCount <= 0 || !IsContinue())
        return;
    const uint64_t total = static_cast<uint64_t>(std::max<int64_t>(device_->GetTotalSectors(), 0));
    const uint64_t first = static_cast<uint64_t>(firstSector);
    const uint64_t end = std::min<uint64_t>(first + static_cast<uint64_t>(sectorCount), total);
    const uint64_t chunk = std::max<uint64_t>(kReadBytes / sectorSize_, 1);
    // An object may begin in the last sectors of a chunk: read on past it.
    const uint64_t tail = (apfs::kBlockSize + sectorSize_ - 1) / sectorSize_;
    if ((chunk + tail) * sectorSize_ > buffer_.size())
        buffer_.resize((chunk + tail) * sectorSize_);
    for (uint64_t at = first; at < end && IsContinue(); at += chunk) {
        const uint64_t count = std::min(chunk, end - at);
        const uint64_t read = std::min(count + tail, total - at);
        // Sectors the device holds in memory are analysed where they lie.
        const uint8_t* bytes =
            device_->HeldSectors(static_cast<int64_t>(at), static_cast<int64_t>(read));
        if (bytes == nullptr) {
            if (!device_->ReadSector(buffer_.data(), static_cast<int64_t>(at),
                                     static_cast<int64_t>(read))) {
                continue;
            }
            bytes = buffer_.data();
        }
        // Containers need not begin on a 4096-byte boundary of the device:
        // every sector is a possible start of an object.
        for (uint64_t sector = at; sector < at + count; ++sector) {
            const uint64_t offset = (sector - at) * sectorSize_;
            if (offset + apfs::kBlockSize > read * sectorSize_)
                break;
            const uint8_t* data = bytes + offset;
            PrefetchSectorAhead(data, sectorSize_);
            if (apfs::IsPlausibleAPFSObject(data))
                AnalyzeAt(sector, data);
        }
    }
    for (auto& [key, parser] : parsers_) {
        if (!IsContinue())
            break;
        parser->Finish(end);
    }
}

void APFSDeepScan::AnalyzeAt(uint64_t sector, const uint8_t* data) {
    if (parsers_.empty())
        NoteObjectMap(sector, data);
    if (TryContainerSuperblock(sector, data) || TryVolumeSuperblock(sector, data))
        return;
    for (auto& [key, parser] : parsers_)
        parser->ScanBlock(sector, data);
}

APFSContainerParser* APFSDeepScan::AddParser(uint64_t key, uint64_t startSector) {
    if (parsers_.count(key))
        return nullptr;
    if (parsers_.empty() && builder_ != nullptr)
        builder_->AddSearcherInfo(SEARCHER_APFS, kTopId);
    auto parser = std::make_unique<APFSContainerParser>(
        this, static_cast<uint32_t>(parsers_.size()), startSector);
    parser->SetSectorSize(static_cast<int>(sectorSize_));
    return parsers_.emplace(key, std::move(parser)).first->second.get();
}

bool APFSDeepScan::TryContainerSuperblock(uint64_t sector, const uint8_t* data) {
    if (!apfs::IsContainerSuperblock(data))
        return false;
    const apfs::ContainerInfo info = apfs::ContainerInfo::Of(data);
    for (const auto& [key, parser] : parsers_) {
        // A checkpoint's copy of the superblock of a container already known.
        if (sector - parser->StartSector() < parser->TotalSectors() &&
            std::equal(info.uuid, info.uuid + 16, parser->Uuid())) {
            return true;
        }
    }
    uint64_t start = 0;
    if (!ConfirmedStart(sector, info, start))
        return false;
    StartPendingVolumeAligned();
    if (APFSContainerParser* parser = AddParser(start, start))
        parser->ParseContainer(data);
    return true;
}

APFSDeepScan::MapAnswer APFSDeepScan::ObjectMapAt(uint64_t start, uint64_t map) {
    std::vector<uint8_t> block(apfs::kBlockSize);
    if (!apfs::ReadContainerBlock(device_, start, map, block.data(), scratch_))
        return MapAnswer::kUnreadable;
    return apfs::IsObjectMapAt(block.data(), map) ? MapAnswer::kResolves : MapAnswer::kElsewhere;
}

bool APFSDeepScan::HoldsOwnCopy(uint64_t sector, const apfs::ContainerInfo& info) {
    uint64_t copy = 0;
    std::vector<uint8_t> block(apfs::kBlockSize);
    if (!info.CopyBlock(copy) ||
        !apfs::ReadContainerBlock(device_, sector, copy, block.data(), scratch_) ||
        !apfs::IsContainerSuperblock(block.data()) ||
        !apfs::HasValidChecksum(block.data(), apfs::kBlockSize)) {
        return false;
    }
    const apfs::ContainerInfo found = apfs::ContainerInfo::Of(block.data());
    return found.xid == info.xid && std::equal(info.uuid, info.uuid + 16, found.uuid);
}

bool APFSDeepScan::ConfirmedStart(uint64_t sector, const apfs::ContainerInfo& info,
                                  uint64_t& start) {
    // A superblock met may be the container's first block or a checkpoint's
    // copy of it. Taken as the first block when its object map lies at its
    // own address from there, or, when that block cannot be read (a device
    // cut short), when its own copy lies where the checkpoint area says.
    const MapAnswer inPlace = ObjectMapAt(sector, info.omapOid);
    if (inPlace == MapAnswer::kResolves ||
        (inPlace == MapAnswer::kUnreadable && HoldsOwnCopy(sector, info))) {
        start = sector;
        return true;
    }
    // As a copy: its place in the checkpoint area, or a noted object map,
    // gives the start; the object map must resolve there.
    std::vector<uint64_t> candidates;
    uint64_t copy = 0;
    uint64_t candidate = 0;
    if (info.CopyBlock(copy) && ContainerStartOf(sector, copy, candidate))
        candidates.push_back(candidate);
    const auto noted = objectMapSectors_.find(info.omapOid);
    if (noted != objectMapSectors_.end() &&
        ContainerStartOf(noted->second, info.omapOid, candidate)) {
        candidates.push_back(candidate);
    }
    for (uint64_t at : candidates) {
        if (ObjectMapAt(at, info.omapOid) == MapAnswer::kResolves) {
            start = at;
            return true;
        }
    }
    return false;
}

bool APFSDeepScan::TryVolumeSuperblock(uint64_t sector, const uint8_t* data) {
    if (!parsers_.empty() || pendingVolume_ || !apfs::IsVolumeSuperblock(data))
        return false;
    const uint64_t map = apfs::Read64(data + apfs::kVolumeOmapOid);
    const auto noted = objectMapSectors_.find(map);
    uint64_t start = 0;
    if (noted != objectMapSectors_.end() && ContainerStartOf(noted->second, map, start))
        StartLoneVolume(sector, start);
    else
        pendingVolume_ = PendingVolume{sector, map};
    return true;
}

void APFSDeepScan::NoteObjectMap(uint64_t sector, const uint8_t* data) {
    const apfs::ObjectHeader header = apfs::ObjectHeader::Of(data);
    if (header.type != apfs::kTypeObjectMap || !header.IsPhysical())
        return;
    uint64_t start = 0;
    if (pendingVolume_ && header.oid == pendingVolume_->objectMap &&
        ContainerStartOf(sector, header.oid, start)) {
        StartLoneVolume(pendingVolume_->sector, start);
        return;
    }
    if (objectMapSectors_.size() < kMostNotedObjectMaps)
        objectMapSectors_.emplace(header.oid, sector);
}

bool APFSDeepScan::ContainerStartOf(uint64_t sector, uint64_t block, uint64_t& start) const {
    unsigned __int128 mapBytes = (unsigned __int128)sector * sectorSize_;
    const unsigned __int128 blockBytes = (unsigned __int128)block * apfs::kBlockSize;
    if (blockBytes > mapBytes || (mapBytes - blockBytes) % sectorSize_ != 0)
        return false;
    start = static_cast<uint64_t>((mapBytes - blockBytes) / sectorSize_);
    return true;
}

void APFSDeepScan::StartPendingVolumeAligned() {
    if (!pendingVolume_)
        return;
    const uint64_t bytes = pendingVolume_->sector * sectorSize_;
    StartLoneVolume(pendingVolume_->sector, (bytes % apfs::kBlockSize) / sectorSize_);
}

void APFSDeepScan::StartLoneVolume(uint64_t volumeSector, uint64_t startSector) {
    pendingVolume_.reset();
    APFSContainerParser* parser = AddParser(volumeSector, startSector);
    if (parser == nullptr)
        return;
    const uint64_t total = static_cast<uint64_t>(std::max<int64_t>(device_->GetTotalSectors(), 0));
    parser->SetTotalSectors(total > startSector ? total - startSector : 0);
    uint64_t block = 0;
    if (parser->BlockAt(volumeSector, block))
        parser->ParseVolume(block);
    // What the volume's own tree did not reach is deleted.
    parser->SetHistory();
}

void APFSDeepScan::EndSearch(int build) {
    if (build == 0)
        return;
    StartPendingVolumeAligned();
    if (parsers_.empty())
        return;
    for (auto& [key, parser] : parsers_)
        parser->Finish(APFSContainerParser::kForce);
    if (builder_ != nullptr) {
        builder_->SetPartitonDevice(nullptr, device_);
        builder_->FlashBuild(SEARCHER_APFS);
    }
}

const APFSContainerParser* APFSDeepScan::ParserAt(size_t position) const {
    if (position >= parsers_.size())
        return nullptr;
    auto it = parsers_.begin();
    std::advance(it, position);
    return it->second.get();
}

int APFSDeepScan::GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) {
    if (records == nullptr || capacity < 1 || parsers_.empty())
        return 0;
    const uint32_t sectorSize = sectorSize_ == 0 || sectorSize_ % 512 != 0 ? 512 : sectorSize_;
    int count = 0;
    for (const auto& [key, parser] : parsers_) {
        if (count >= capacity)
            break;
        auto* record = new CSearchedPartitionInfo(sectorSize);
        record->partitionIndex = static_cast<uint16_t>(parser->Index());
        record->fileSystemType = FILE_SYSTEM_APFS;
        record->sectorsPerCluster = 1;
        record->firstDataSector = parser->StartSector();
        record->startSector = parser->StartSector();
        record->totalSectors = parser->TotalSectors();
        record->sectorSize = sectorSize;
        records[count++] = record;
    }
    return count;
}
