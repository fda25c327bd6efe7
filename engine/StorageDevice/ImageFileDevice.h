#pragma once

#include "StorageDevice.h"

// An image file read as a run of sectors that starts at a fixed byte offset.
// Geometry and offset come from the record attached with SetPrivateData.
class CImageFileDevice : public IStorageDevice {
public:
    ~CImageFileDevice() override;
    CImageFileDevice(const CImageFileDevice&) = delete;
    CImageFileDevice& operator=(const CImageFileDevice&) = delete;

    // Opens the stored path read-only; the argument is ignored.
    bool Open(char* path) override;
    bool Close() override;
    // Reads inside the image's sectors only: the file may hold more after them.
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return sectorCount_; }
    bool IOCtl(uint64_t code, void* data) override;
    IStorageDeviceData* GetPrivateData() override { return holder_; }
    void SetPrivateData(IStorageDeviceData* data) override;
    RESULT_CODE GetLastError() override { return lastError_; }

protected:
    // Unopened; the path must fit the 1024-byte field (see FitsImagePath).
    explicit CImageFileDevice(const char* path);

    struct ImageGeometry {
        uint64_t sectorSize = 0;
        int64_t sectorCount = 0;
        int64_t dataOffset = 0;
    };
    // The geometry of the holder's record; false when there is no such record.
    virtual bool RecordGeometry(IStorageDeviceData* holder, ImageGeometry& geometry) = 0;

private:
    RESULT_CODE lastError_ = kResultSuccess;
    int fd_ = -1;
    char path_[1024] = {};
    uint32_t sectorSize_ = 512;
    int64_t sectorCount_ = 0;
    IStorageDeviceData* holder_ = nullptr;
    int64_t dataOffset_ = 0;
};

bool FitsImagePath(const char* path);

class COztDevice : public CImageFileDevice {
public:
    explicit COztDevice(const char* path) : CImageFileDevice(path) {}
    uint32_t GetType() override { return kStorageDeviceOzt; }

protected:
    bool RecordGeometry(IStorageDeviceData* holder, ImageGeometry& geometry) override;
};

class CDmgDevice : public CImageFileDevice {
public:
    explicit CDmgDevice(const char* path) : CImageFileDevice(path) {}
    uint32_t GetType() override { return kStorageDeviceDmg; }

protected:
    bool RecordGeometry(IStorageDeviceData* holder, ImageGeometry& geometry) override;
};
