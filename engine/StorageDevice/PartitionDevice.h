#pragma once

#include "StorageDevice.h"

// A window of sectors on a parent device (not owned). Reads are clipped at the
// window's end and the sectors beyond it are handed back as zeros.
class CSectorWindowDevice : public IPartitionStorageDevice {
public:
    ~CSectorWindowDevice() override;
    CSectorWindowDevice(const CSectorWindowDevice&) = delete;
    CSectorWindowDevice& operator=(const CSectorWindowDevice&) = delete;

    // Takes the sector size from the parent disk's record; the path is ignored.
    bool Open(char* path) override;
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return sectorCount_; }
    bool IOCtl(uint64_t code, void* data) override;
    IStorageDeviceData* GetPrivateData() override { return holder_; }
    void SetPrivateData(IStorageDeviceData* data) override;
    RESULT_CODE GetLastError() override { return lastError_; }
    int64_t GetStartSector() override { return startSector_; }

protected:
    CSectorWindowDevice(IStorageDevice* parent, int64_t startSector, int64_t sectorCount,
                        uint32_t sectorSize);

    // Takes what this device uses from the holder's record; false when the
    // holder is not of the expected type or has no record.
    virtual bool TakeRecord(IStorageDeviceData* holder) = 0;

    RESULT_CODE lastError_ = kResultSuccess;
    IStorageDevice* parent_;
    uint32_t sectorSize_;
    int64_t startSector_;
    int64_t sectorCount_;

private:
    IStorageDeviceData* holder_ = nullptr;
};

// A partition of a disk.
class CPartitionDevice : public CSectorWindowDevice {
public:
    CPartitionDevice(IStorageDevice* parent, int64_t startSector, int64_t sectorCount)
        : CSectorWindowDevice(parent, startSector, sectorCount, 512) {}
    uint32_t GetType() override { return kStorageDevicePartition; }

protected:
    bool TakeRecord(IStorageDeviceData* holder) override;
};

// A partition presented as a volume over its parent disk.
class CPartitionVirtualVolumeDevice : public CSectorWindowDevice {
public:
    CPartitionVirtualVolumeDevice(IStorageDevice* parent, int64_t startSector, int64_t sectorCount,
                                  uint32_t sectorSize)
        : CSectorWindowDevice(parent, startSector, sectorCount, sectorSize) {}
    uint32_t GetType() override { return kStorageDeviceVolume; }

protected:
    bool TakeRecord(IStorageDeviceData* holder) override;
};
