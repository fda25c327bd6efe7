#include "DiskDevice.h"

#include <cstring>

#include "StorageDeviceData.h"

bool CDiskDevice::RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) {
    const CCollectDiskDeviceInfoStruct* disk = DiskRecordOf(holder);
    if (disk == nullptr) {
        return false;
    }
    geometry = {static_cast<uint64_t>(disk->sectorSize), disk->sectorCount, 0};
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
