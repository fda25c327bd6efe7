#pragma once

#include <string>
#include <vector>

#include "DeviceInfo.h"
#include "StorageDevice.h"

// A whole disk: a block device node, or a regular image file read as a disk of
// 512-byte sectors. It keeps the volumes that enumeration found on it.
class CDiskDevice : public IStorageDevice {
public:
    explicit CDiskDevice(const char* path);
    ~CDiskDevice() override;
    CDiskDevice(const CDiskDevice&) = delete;
    CDiskDevice& operator=(const CDiskDevice&) = delete;

    bool Open(char* path) override;
    bool Close() override;
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return sectorCount_; }
    bool IOCtl(uint64_t code, void* data) override;
    IStorageDeviceData* GetPrivateData() override { return holder_; }
    void SetPrivateData(IStorageDeviceData* data) override;
    uint32_t GetType() override { return kStorageDeviceDisk; }
    RESULT_CODE GetLastError() override { return lastError_; }
    bool IsPermitted() override { return permitted_ != 0; }

    void SetVolumes(const std::vector<CCollectedVolumeDeviceInfoStruct>& volumes);
    size_t GetVolumes(std::vector<CCollectedVolumeDeviceInfoStruct>& volumes) const;

private:
    RESULT_CODE lastError_ = kResultSuccess;
    int fd_ = -1;
    char path_[128] = {};
    uint32_t sectorSize_ = 512;
    int64_t sectorCount_ = 0;
    IStorageDeviceData* holder_ = nullptr;
    uint32_t permitted_ = 1;
    std::vector<CCollectedVolumeDeviceInfoStruct> volumes_;
};
