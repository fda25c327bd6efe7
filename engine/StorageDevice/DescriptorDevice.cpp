#include "DescriptorDevice.h"

#include <unistd.h>

#include "DeviceRead.h"
#include "StorageDeviceData.h"

CDescriptorDevice::~CDescriptorDevice() {
    CDescriptorDevice::Close();
    delete holder_;
}

bool CDescriptorDevice::Close() {
    if (fd_ < 0) {
        return false;
    }
    close(fd_);
    fd_ = -1;
    return true;
}

bool CDescriptorDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    lastError_ = ReadDescriptorSectors(fd_, dataOffset_, sectorSize_, buffer, first, count);
    return IsSuccess(lastError_);
}

bool CDescriptorDevice::IOCtl(uint64_t, void*) {
    lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultNotSupported);
    return false;
}

void CDescriptorDevice::SetPrivateData(IStorageDeviceData* data) {
    lastError_ = kResultSuccess;
    if (data != holder_) {
        delete holder_;
    }
    holder_ = data;
    DeviceGeometry geometry;
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
