#include "HFSPlusVolumeAnalyze.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "HFSPlusEndian.h"
#include "HFSPlusVolumeHeader.h"
#include "StorageDevice.h"

namespace {

constexpr uint32_t kHeaderOffset = 1024;

}  // namespace

CHFSPlusVolumeAnalyze::CHFSPlusVolumeAnalyze(IStorageDevice* device,
                                             unsigned long long startSector) {
    if (device == nullptr)
        return;
    const uint32_t sectorSize = device->GetSectorSize();
    if (sectorSize < sizeof(HFSPlusVolumeHeader))
        return;
    std::vector<unsigned char> sector;
    try {
        sector.resize(sectorSize);
    } catch (const std::bad_alloc&) {
        return;
    }
    const uint64_t headerSector = startSector + kHeaderOffset / sectorSize;
    if (!device->ReadSector(sector.data(), static_cast<int64_t>(headerSector), 1))
        return;
    const unsigned char* header = sector.data() + kHeaderOffset % sectorSize;
    // A 512-byte sector holds the header whole; a larger one from its offset on.
    if (!IsValidHFSPlusVolumeHeader(header, sizeof(HFSPlusVolumeHeader)))
        return;
    HFSPlusVolumeHeader converted;
    std::memcpy(&converted, header, sizeof(converted));
    flipVolumeHeader(&converted);
    type_ = FILE_SYSTEM_HFSPLUS;
    totalSectors_ = uint64_t{converted.totalBlocks} * converted.blockSize / sectorSize;
}

void CHFSPlusVolumeAnalyze::GetLabel(char* buffer, int size) {
    if (buffer == nullptr || size < 1)
        return;
    std::memcpy(buffer, label_, static_cast<size_t>(std::min(size, kLabelSize)));
}

IVolumeAnalyze* CreateHFSPlusVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
    return new (std::nothrow) CHFSPlusVolumeAnalyze(device, startSector);
}
