#pragma once

#include "DescriptorDevice.h"
#include "DmgLayout.h"

// An image file read as a run of sectors that starts at a fixed byte offset.
// Geometry and offset come from the record attached with SetPrivateData.
class CImageFileDevice : public CDescriptorDevice {
public:
    // Opens the stored path read-only; the argument is ignored.
    bool Open(char* path) override;
    // Reads inside the image's sectors only: the file may hold more after them.
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;

protected:
    // Unopened; the path must fit the 1024-byte field (see FitsImagePath).
    explicit CImageFileDevice(const char* path);

private:
    char path_[1024] = {};
};

bool FitsImagePath(const char* path);

class COztDevice : public CImageFileDevice {
public:
    explicit COztDevice(const char* path) : CImageFileDevice(path) {}
    uint32_t GetType() override { return kStorageDeviceOzt; }

protected:
    bool RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) override;
};

// An Apple disk image: a plain sector copy, or an image whose block tables
// say where each run of sectors is stored raw and which runs are zeros.
class CDmgDevice : public CImageFileDevice {
public:
    explicit CDmgDevice(const char* path) : CImageFileDevice(path) {}
    uint32_t GetType() override { return kStorageDeviceDmg; }
    // Opens the file and reads its block tables again; fails when the image
    // is refused.
    bool Open(char* path) override;
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;

protected:
    bool RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) override;

private:
    bool ReadMappedSectors(uint8_t* buffer, int64_t first, int64_t count);

    DmgLayout layout_;
};
