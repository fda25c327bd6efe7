#pragma once

#include <cstdint>

#include "StorageDevice.h"

// What every device read through a file descriptor shares: the descriptor, the
// geometry (taken over from the description record), the holder it owns and
// the last result code. Destruction closes the descriptor and destroys the holder.
class CDescriptorDevice : public IStorageDevice {
public:
    ~CDescriptorDevice() override;
    CDescriptorDevice(const CDescriptorDevice&) = delete;
    CDescriptorDevice& operator=(const CDescriptorDevice&) = delete;

    bool Close() override;
    // Reads through the descriptor; sector 0 lies at the data offset of the file.
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return sectorCount_; }
    bool IOCtl(uint64_t code, void* data) override;
    IStorageDeviceData* GetPrivateData() override { return holder_; }
    // Takes the holder over and adopts its record's geometry when it is usable.
    void SetPrivateData(IStorageDeviceData* data) override;
    RESULT_CODE GetLastError() override { return lastError_; }

protected:
    CDescriptorDevice() = default;

    struct DeviceGeometry {
        uint64_t sectorSize = 0;
        int64_t sectorCount = 0;
        int64_t dataOffset = 0;
    };
    // The geometry of the holder's record; false when the holder is not of the
    // record type this device expects or has no record.
    virtual bool RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) = 0;

    RESULT_CODE lastError_ = kResultSuccess;
    int fd_ = -1;
    uint32_t sectorSize_ = 512;
    int64_t sectorCount_ = 0;

private:
    IStorageDeviceData* holder_ = nullptr;
    int64_t dataOffset_ = 0;
};
