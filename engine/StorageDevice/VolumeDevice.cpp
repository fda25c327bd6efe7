#include "VolumeDevice.h"

#include <cstring>

#include "DeviceRead.h"
#include "MessageCenter.h"
#include "StorageDeviceData.h"

CVolumeDevice::CVolumeDevice(const char* path)
    : CNodeDevice(path), messageCenter_(CMessageCenter::Instance()) {}

CVolumeDevice::~CVolumeDevice() {
    messageCenter_->UnregisterNotifyCenter(EVENT_TYPE_BAD_SECTOR);
}

bool CVolumeDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    if (first >= GetTotalSectors()) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    if (CNodeDevice::ReadSector(buffer, first, count)) {
        return true;
    }
    if (ResultKindOf(lastError_) != kResultBadArgument) {
        messageCenter_->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    }
    return false;
}

void CVolumeDevice::SetApfsDevicePath(char* path) {
    if (path != nullptr) {
        CopyPathField(apfsDevicePath_, sizeof(apfsDevicePath_), path);
    }
}

bool CVolumeDevice::RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) {
    const CCollectedVolumeDeviceInfoStruct* volume = VolumeRecordOf(holder);
    if (volume == nullptr) {
        return false;
    }
    geometry = {volume->sectorSize, volume->sectorCount, 0};
    return true;
}

IStorageDevice* CreateVolumeDevice(const char* path) {
    if (path != nullptr && strnlen(path, 128) >= 128) {
        return nullptr;
    }
    return new CVolumeDevice(path);
}
