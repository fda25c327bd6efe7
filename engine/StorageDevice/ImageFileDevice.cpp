#include "ImageFileDevice.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "BlockDevice.h"
#include "DeviceRead.h"
#include "StorageDeviceData.h"

bool FitsImagePath(const char* path) {
    return path != nullptr && strnlen(path, 1024) < 1024;
}

CImageFileDevice::CImageFileDevice(const char* path) {
    if (FitsImagePath(path)) {
        CopyPathField(path_, sizeof(path_), path);
    }
}

bool CImageFileDevice::Open(char*) {
    lastError_ = kResultSuccess;
    Close();
    fd_ = OpenBlockDeviceReadOnly(path_);
    if (fd_ < 0) {
        if (errno != ENOENT) {
            std::printf("open failed:%d\n", errno);
        }
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultFailed);
        return false;
    }
    sectorSize_ = 512;
    return true;
}

bool CImageFileDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    if (first >= sectorCount_ || count > sectorCount_ - first) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    return CDescriptorDevice::ReadSector(buffer, first, count);
}

bool COztDevice::RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) {
    const COZTDeviceInfoStruct* info = OztRecordOf(holder);
    if (info == nullptr) {
        return false;
    }
    geometry = {info->sectorSize, info->sectorCount, info->dataOffset};
    return true;
}

bool CDmgDevice::RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) {
    const CDMGDeviceInfoStruct* info = DmgRecordOf(holder);
    if (info == nullptr) {
        return false;
    }
    geometry = {info->sectorSize, info->sectorCount, info->dataOffset};
    return true;
}

IStorageDevice* CreateOztDeviceImp(const char* path) {
    return FitsImagePath(path) ? new COztDevice(path) : nullptr;
}

IStorageDevice* CreateDmgDeviceImp(const char* path) {
    return FitsImagePath(path) ? new CDmgDevice(path) : nullptr;
}
