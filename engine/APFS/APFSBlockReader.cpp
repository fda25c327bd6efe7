#include "APFSBlockReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "APFSStructures.h"
#include "StorageDevice.h"

namespace apfs {

namespace {

constexpr size_t kMostCheckpoints = 32;

}  // namespace

std::vector<uint64_t> CheckpointObjectMaps(const uint8_t* superblock,
                                           const BlockReader& readBlock) {
    const ContainerInfo newest = ContainerInfo::Of(superblock);
    std::vector<uint64_t> maps{newest.omapOid};
    if (!newest.descContiguous || newest.descBase == 0)
        return maps;
    std::vector<std::pair<uint64_t, uint64_t>> older;  // transaction, object map
    std::vector<uint8_t> block(kBlockSize);
    const uint32_t count = std::min(newest.descBlocks, kMostDescriptorBlocks);
    for (uint32_t i = 0; i < count; ++i) {
        if (!readBlock(newest.descBase + i, block.data()))
            continue;
        if (!IsContainerSuperblock(block.data()) || !HasValidChecksum(block.data(), kBlockSize))
            continue;
        const ContainerInfo info = ContainerInfo::Of(block.data());
        if (std::equal(info.uuid, info.uuid + 16, newest.uuid) && info.xid < newest.xid)
            older.emplace_back(info.xid, info.omapOid);
    }
    std::sort(older.begin(), older.end(), std::greater<>());
    for (const auto& [xid, map] : older) {
        if (maps.size() >= kMostCheckpoints)
            break;
        if (std::find(maps.begin(), maps.end(), map) == maps.end())
            maps.push_back(map);
    }
    return maps;
}

bool ReadDeviceBytes(IStorageDevice* device, uint64_t offset, size_t length, uint8_t* out,
                     std::vector<uint8_t>& scratch) {
    const uint64_t sectorSize = device != nullptr ? device->GetSectorSize() : 0;
    if (sectorSize == 0 || length == 0)
        return false;
    uint64_t end = 0;
    if (__builtin_add_overflow(offset, length, &end))
        return false;
    const uint64_t first = offset / sectorSize;
    const uint64_t last = (end + sectorSize - 1) / sectorSize;
    const uint64_t sectors = last - first;
    const int64_t total = device->GetTotalSectors();
    if (total <= 0 || last > static_cast<uint64_t>(total))
        return false;
    const uint64_t head = offset - first * sectorSize;
    if (head == 0 && length == sectors * sectorSize)
        return device->ReadSector(out, static_cast<int64_t>(first), static_cast<int64_t>(sectors));
    scratch.resize(sectors * sectorSize);
    if (!device->ReadSector(scratch.data(), static_cast<int64_t>(first),
                            static_cast<int64_t>(sectors))) {
        return false;
    }
    std::memcpy(out, scratch.data() + head, length);
    return true;
}

bool ReadContainerBlock(IStorageDevice* device, uint64_t startSector, uint64_t block, uint8_t* out,
                        std::vector<uint8_t>& scratch) {
    if (device == nullptr)
        return false;
    uint64_t offset = 0;
    uint64_t blockOffset = 0;
    if (__builtin_mul_overflow(startSector, uint64_t{device->GetSectorSize()}, &offset) ||
        __builtin_mul_overflow(block, uint64_t{kBlockSize}, &blockOffset) ||
        __builtin_add_overflow(offset, blockOffset, &offset)) {
        return false;
    }
    return ReadDeviceBytes(device, offset, kBlockSize, out, scratch);
}

}  // namespace apfs
