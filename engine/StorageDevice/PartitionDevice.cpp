#include "PartitionDevice.h"

#include <algorithm>
#include <cstring>

#include "StorageDeviceData.h"

CSectorWindowDevice::CSectorWindowDevice(IStorageDevice* parent, int64_t startSector,
                                         int64_t sectorCount, uint32_t sectorSize)
    : parent_(parent),
      sectorSize_(sectorSize),
      startSector_(startSector),
      sectorCount_(sectorCount) {}

CSectorWindowDevice::~CSectorWindowDevice() {
    delete holder_;
}

bool CSectorWindowDevice::Open(char*) {
    lastError_ = kResultSuccess;
    const CCollectDiskDeviceInfoStruct* disk =
        parent_ != nullptr ? DiskRecordOf(parent_->GetPrivateData()) : nullptr;
    if (disk == nullptr) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultMissingObject);
        return false;
    }
    const int64_t sectorSize = disk->sectorSize;
    if (!IsValidSectorSize(static_cast<uint64_t>(sectorSize))) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    sectorSize_ = static_cast<uint32_t>(sectorSize);
    return true;
}

bool CSectorWindowDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    lastError_ = kResultSuccess;
    if (parent_ == nullptr) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultMissingObject);
        return false;
    }
    int64_t parentFirst = 0;
    int64_t bytes = 0;
    if (buffer == nullptr || first < 0 || first >= sectorCount_ || count <= 0 ||
        count > sectorCount_ || __builtin_add_overflow(startSector_, first, &parentFirst) ||
        __builtin_mul_overflow(count, static_cast<int64_t>(sectorSize_), &bytes)) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    const int64_t inside = std::min(count, sectorCount_ - first);
    if (!parent_->ReadSector(buffer, parentFirst, inside)) {
        lastError_ = parent_->GetLastError();
        return false;
    }
    // Sectors past the window's end must not show what the buffer held before.
    const auto sectorBytes = static_cast<size_t>(sectorSize_);
    std::memset(static_cast<uint8_t*>(buffer) + static_cast<size_t>(inside) * sectorBytes, 0,
                static_cast<size_t>(count - inside) * sectorBytes);
    return true;
}

bool CSectorWindowDevice::IOCtl(uint64_t, void*) {
    lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultNotSupported);
    return false;
}

void CSectorWindowDevice::SetPrivateData(IStorageDeviceData* data) {
    lastError_ = kResultSuccess;
    if (data != holder_) {
        delete holder_;
    }
    holder_ = data;
    if (!TakeRecord(holder_) && IsSuccess(lastError_)) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultMissingObject);
    }
}

bool CPartitionDevice::TakeRecord(IStorageDeviceData* holder) {
    const CCollectedPartitionDeviceInfoStruct* record = PartitionRecordOf(holder);
    if (record == nullptr) {
        return false;
    }
    const CCollectedPartitionDeviceInfoStruct& info = *record;
    if (!IsValidSectorSize(info.sectorSize) || info.sectorCount < 0) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    sectorSize_ = info.sectorSize;
    sectorCount_ = info.sectorCount;
    return true;
}

bool CPartitionVirtualVolumeDevice::TakeRecord(IStorageDeviceData* holder) {
    const CCollectedVolumeDeviceInfoStruct* record = VolumeRecordOf(holder);
    if (record == nullptr) {
        return false;
    }
    const CCollectedVolumeDeviceInfoStruct& info = *record;
    if (!IsValidSectorSize(info.sectorSize) || info.sectorCount < 0) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    sectorSize_ = std::max(sectorSize_, info.sectorSize);
    sectorCount_ = info.sectorCount;
    return true;
}

IStorageDevice* CreatePartitionDevice(IStorageDevice* parent, int64_t startSector,
                                      int64_t sectorCount) {
    return new CPartitionDevice(parent, startSector, sectorCount);
}

IStorageDevice* CreatePartitionVirtualVolumeDevice(IStorageDevice* partition) {
    if (partition == nullptr) {
        return nullptr;
    }
    const CCollectedPartitionDeviceInfoStruct* info =
        PartitionRecordOf(partition->GetPrivateData());
    if (info == nullptr || info->kind != 0 || info->parentDisk == nullptr) {
        return nullptr;
    }
    return new CPartitionVirtualVolumeDevice(info->parentDisk, info->startSector, info->sectorCount,
                                             info->parentDisk->GetSectorSize());
}
