#include "DiskDevice.h"

#include <cstring>

#include "StorageDeviceData.h"

bool CDiskDevice::RecordGeometry(IStorageDeviceData* holder, uint64_t& sectorSize,
                                 int64_t& sectorCount) {
    const CCollectDiskDeviceInfoStruct* disk = DiskRecordOf(holder);
    if (disk == nullptr) {
        return false;
    }
    sectorSize = static_cast<uint64_t>(disk->sectorSize);
    sectorCount = disk->sectorCount;
    return true;
}

void CDiskDevice::SetVolumes(const std::vector<CCollectedVolumeDeviceInfoStruct>& volumes) {
    volumes_ = volumes;
}

size_t CDiskDevice::GetVolumes(std::vector<CCollectedVolumeDeviceInfoStruct>& volumes) const {
    volumes = volumes_;
    return volumes_.size();
}

IStorageDevice* CreateDiskDevice(const char* path) {
    if (path != nullptr && strnlen(path, 128) >= 128) {
        return nullptr;
    }
    return new CDiskDevice(path);
}
