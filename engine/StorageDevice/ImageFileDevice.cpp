#include "ImageFileDevice.h"

#include <unistd.h>

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

CImageFileDevice::~CImageFileDevice() {
    Close();
    delete holder_;
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

bool CImageFileDevice::Close() {
    if (fd_ < 0) {
        return false;
    }
    close(fd_);
    fd_ = -1;
    return true;
}

bool CImageFileDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    if (first >= sectorCount_ || count > sectorCount_ - first) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    lastError_ = ReadDescriptorSectors(fd_, dataOffset_, sectorSize_, buffer, first, count);
    return IsSuccess(lastError_);
}

bool CImageFileDevice::IOCtl(uint64_t, void*) {
    lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultNotSupported);
    return false;
}

void CImageFileDevice::SetPrivateData(IStorageDeviceData* data) {
    lastError_ = kResultSuccess;
    if (data != holder_) {
        delete holder_;
    }
    holder_ = data;
    ImageGeometry geometry;
    if (!RecordGeometry(holder_, geometry)) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultMissingObject);
    } else if (!IsUsableGeometry(geometry.sectorSize, geometry.sectorCount) ||
               geometry.dataOffset < 0) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
    } else {
        sectorSize_ = static_cast<uint32_t>(geometry.sectorSize);
        sectorCount_ = geometry.sectorCount;
        dataOffset_ = geometry.dataOffset;
    }
}

bool COztDevice::RecordGeometry(IStorageDeviceData* holder, ImageGeometry& geometry) {
    const COZTDeviceInfoStruct* info = OztRecordOf(holder);
    if (info == nullptr) {
        return false;
    }
    geometry = {info->sectorSize, info->sectorCount, info->dataOffset};
    return true;
}

bool CDmgDevice::RecordGeometry(IStorageDeviceData* holder, ImageGeometry& geometry) {
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
