#pragma once

#include <cstdint>

#include "ResultCode.h"

class IStorageDeviceData;

// What GetType() answers for each device class.
enum StorageDeviceType : uint32_t {
    kStorageDeviceDisk = 0,
    kStorageDevicePartition = 1,
    kStorageDeviceVolume = 2,  // also a partition presented as a volume
    kStorageDeviceCache = 3,
    kStorageDeviceOzt = 4,
    kStorageDeviceDmg = 5,
};

// A read-only run of equal-sized sectors numbered from 0. Devices are deleted
// through this interface; nothing in the engine writes to one.
class IStorageDevice {
public:
    virtual ~IStorageDevice() = default;

    virtual bool Open(char* path) = 0;
    virtual bool Close() = 0;
    // Reads `count` whole sectors starting at sector `first` into `buffer`.
    virtual bool ReadSector(void* buffer, int64_t first, int64_t count) = 0;
    virtual uint32_t GetSectorSize() = 0;
    virtual int64_t GetTotalSectors() = 0;
    virtual bool IOCtl(uint64_t code, void* data) = 0;
    virtual IStorageDeviceData* GetPrivateData() = 0;
    // The device takes ownership of `data` and destroys the holder it had before.
    virtual void SetPrivateData(IStorageDeviceData* data) = 0;
    virtual uint32_t GetType() = 0;
    virtual RESULT_CODE GetLastError() = 0;
    virtual bool IsPermitted() { return true; }
    virtual void SetApfsDevicePath(char* /*path*/) {}
    // The bytes of sectors [first, first + count) when the device already
    // holds them in memory, else null (read them with ReadSector). The bytes
    // stay valid until the device moves on; only a read-ahead cache holds any.
    virtual const uint8_t* HeldSectors(int64_t /*first*/, int64_t /*count*/) { return nullptr; }
};

// A device that is a window on a parent device (partitions, partition volumes).
class IPartitionStorageDevice : public IStorageDevice {
public:
    virtual int64_t GetStartSector() = 0;
};

// Sector sizes a device accepts from a record or the kernel: powers of two
// from 512 to 65536.
constexpr bool IsValidSectorSize(uint64_t size) {
    return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

// New, unopened devices on a node path (a block device or a regular file).
IStorageDevice* CreateDiskDevice(const char* path);
IStorageDevice* CreateVolumeDevice(const char* path);

// A window of `sectorCount` sectors at `startSector` on `parent` (not owned).
IStorageDevice* CreatePartitionDevice(IStorageDevice* parent, int64_t startSector,
                                      int64_t sectorCount);

// The partition as a volume over its parent disk; null unless `partition`
// carries a partition record of kind 0 with its parent disk set.
IStorageDevice* CreatePartitionVirtualVolumeDevice(IStorageDevice* partition);
