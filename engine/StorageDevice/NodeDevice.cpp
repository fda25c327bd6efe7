#include "NodeDevice.h"

#include <unistd.h>

#include "DeviceRead.h"
#include "StorageDeviceData.h"

CNodeDevice::CNodeDevice(const char* path) {
    if (path != nullptr) {
        CopyPathField(path_, sizeof(path_), path);
    }
}

CNodeDevice::~CNodeDevice() {
    Close();
    delete holder_;
}

bool CNodeDevice::Open(char* path) {
    lastError_ = kResultSuccess;
    if (path != nullptr && !CopyPathField(path_, sizeof(path_), path)) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    Close();
    OpenedNode node;
    bool permissionDenied = false;
    lastError_ = OpenNode(path_, node, permissionDenied);
    if (IsFailure(lastError_)) {
        if (permissionDenied) {
            permitted_ = 0;
        }
        return false;
    }
    fd_ = node.fd;
    sectorSize_ = node.sectorSize;
    sectorCount_ = node.sectorCount;
    return true;
}

bool CNodeDevice::Close() {
    if (fd_ < 0) {
        return false;
    }
    close(fd_);
    fd_ = -1;
    return true;
}

bool CNodeDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    lastError_ = ReadDescriptorSectors(fd_, 0, sectorSize_, buffer, first, count);
    return IsSuccess(lastError_);
}

bool CNodeDevice::IOCtl(uint64_t, void*) {
    lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultNotSupported);
    return false;
}

void CNodeDevice::SetPrivateData(IStorageDeviceData* data) {
    lastError_ = kResultSuccess;
    if (data != holder_) {
        delete holder_;
    }
    holder_ = data;
    uint64_t sectorSize = 0;
    int64_t sectorCount = 0;
    if (!RecordGeometry(holder_, sectorSize, sectorCount)) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultMissingObject);
    } else if (!IsUsableGeometry(sectorSize, sectorCount)) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
    } else {
        sectorSize_ = static_cast<uint32_t>(sectorSize);
        sectorCount_ = sectorCount;
    }
}
