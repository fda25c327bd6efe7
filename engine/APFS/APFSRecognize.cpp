#include "APFSRecognize.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "APFS.h"
#include "APFSBlockReader.h"
#include "APFSStructures.h"
#include "StorageDevice.h"

namespace {

constexpr size_t kMostLabelBytes = 32;

}  // namespace

IVolumeAnalyze* CreateAPFSVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
    if (device == nullptr)
        return nullptr;
    const uint32_t sectorSize = device->GetSectorSize();
    if (sectorSize < 512)
        return nullptr;
    std::vector<uint8_t> sector(std::max<size_t>(sectorSize, apfs::kBlockSize), 0);
    if (!device->ReadSector(sector.data(), static_cast<int64_t>(startSector), 1) ||
        !apfs::IsRecognisedContainerStart(sector.data())) {
        return nullptr;
    }
    // The container's own size, which the device holding it may exceed.
    const uint64_t blocks = apfs::ContainerInfo::Of(sector.data()).blockCount;
    uint64_t totalSectors = 0;
    if (__builtin_mul_overflow(blocks, uint64_t{apfs::kBlockSize}, &totalSectors))
        return nullptr;
    return new APFSRecognize(device, startSector, totalSectors / sectorSize);
}

IQuickFileSystemSearchController* CreateAPFSQuickSearcher() {
    return nullptr;
}

void APFSRecognize::GetLabel(char* label, int size) {
    if (label == nullptr || size < 1 || device_ == nullptr)
        return;
    std::vector<uint8_t> scratch;
    std::vector<uint8_t> superblock(apfs::kBlockSize);
    if (!apfs::ReadContainerBlock(device_, startSector_, 0, superblock.data(), scratch) ||
        !apfs::IsPlausibleAPFSObject(superblock.data())) {
        return;
    }
    const std::vector<uint64_t> maps =
        apfs::CheckpointObjectMaps(superblock.data(), [&](uint64_t block, uint8_t* out) {
            return apfs::ReadContainerBlock(device_, startSector_, block, out, scratch);
        });
    for (uint64_t map : maps) {
        const std::string name = ReadVolumeName(map);
        if (name.empty())
            continue;
        const size_t length =
            std::min({name.size(), kMostLabelBytes, static_cast<size_t>(size - 1)});
        std::memcpy(label, name.data(), length);
        label[length] = '\0';
        return;
    }
}

std::string APFSRecognize::ReadVolumeName(uint64_t map) {
    std::vector<uint8_t> scratch;
    std::vector<uint8_t> block(apfs::kBlockSize);
    auto read = [&](uint64_t address) {
        return apfs::ReadContainerBlock(device_, startSector_, address, block.data(), scratch);
    };
    if (!read(map) || !read(apfs::Read64(block.data() + apfs::kOmapTreeOid)))
        return {};
    const apfs::ObjectHeader root = apfs::ObjectHeader::Of(block.data());
    if (root.subtype != apfs::kSubtypeObjectMap)
        return {};
    for (uint64_t address : apfs::ObjectMapAddresses(block.data())) {
        std::vector<uint8_t> volume(apfs::kBlockSize);
        if (!apfs::ReadContainerBlock(device_, startSector_, address, volume.data(), scratch) ||
            !apfs::IsVolumeSuperblock(volume.data())) {
            continue;
        }
        return apfs::VolumeName(volume.data());
    }
    return {};
}
