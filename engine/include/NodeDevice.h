#pragma once

#include <cstdint>

#include "StorageDevice.h"

// What disks and volumes share: a node opened read-only by path, measured by
// the kernel (or as 512-byte sectors for a regular file), read through
// KvReadAsyncData. Destruction closes the node and destroys the holder.
class CNodeDevice : public IStorageDevice {
public:
    ~CNodeDevice() override;
    CNodeDevice(const CNodeDevice&) = delete;
    CNodeDevice& operator=(const CNodeDevice&) = delete;

    // A non-null path replaces the stored one; a path of 128 bytes or more is refused.
    bool Open(char* path) override;
    bool Close() override;
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return sectorCount_; }
    bool IOCtl(uint64_t code, void* data) override;
    IStorageDeviceData* GetPrivateData() override { return holder_; }
    // Takes the sector size and count of the holder's record over.
    void SetPrivateData(IStorageDeviceData* data) override;
    RESULT_CODE GetLastError() override { return lastError_; }
    bool IsPermitted() override { return permitted_ != 0; }

protected:
    // Unopened; an over-long path leaves the stored path empty.
    explicit CNodeDevice(const char* path);

    // The sector size and count of the holder's record; false when the holder
    // is not of the record type this device expects or has no record.
    virtual bool RecordGeometry(IStorageDeviceData* holder, uint64_t& sectorSize,
                                int64_t& sectorCount) = 0;

    RESULT_CODE lastError_ = kResultSuccess;

private:
    int fd_ = -1;
    char path_[128] = {};
    uint32_t sectorSize_ = 512;
    int64_t sectorCount_ = 0;
    IStorageDeviceData* holder_ = nullptr;
    uint32_t permitted_ = 1;
};
