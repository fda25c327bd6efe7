#pragma once

#include <list>
#include <map>
#include <memory>
#include <string>

#include "ResultCode.h"

class IStorageDevice;

// Where the kernel describes block devices and mounts. Tests point these at a
// fake tree; the defaults are the running system's.
struct DeviceSystemPaths {
    std::string sysfsRoot = "/sys";
    std::string mountInfoPath = "/proc/self/mountinfo";
    std::string deviceRoot = "/dev";
};

// The disks, partitions and volumes the user can scan. Devices are handed out
// with the two-call pattern: a null array stores the number of devices in
// `count`; with an array, `count` is its capacity (kind 9 when too small) and
// becomes the number copied. Every device handed out stays owned by the
// enumerator until Uninit.
class IEnumDeviceEx {
public:
    virtual ~IEnumDeviceEx() = default;
    virtual RESULT_CODE Init() = 0;
    virtual RESULT_CODE Uninit() = 0;
    virtual RESULT_CODE EnumDiskDevice(IStorageDevice** devices, int& count) = 0;
    virtual RESULT_CODE EnumPartitionDevice(const IStorageDevice* disk, IStorageDevice** devices,
                                            int& count) = 0;
    // The disk's volumes, followed by its partitions that no volume stands for,
    // presented as volume devices.
    virtual RESULT_CODE EnumVolumeDevice(const IStorageDevice* disk, IStorageDevice** devices,
                                         int& count) = 0;
};

// The process-wide enumerator over the running system, destroyed at exit.
IEnumDeviceEx* CreateEnumDeviceEx();

// One enumeration pass; each call clears the list and fills it with new devices
// that the caller owns.
class IEnumDevice {
public:
    virtual ~IEnumDevice() = default;
    virtual RESULT_CODE EnumDiskDevice(std::list<IStorageDevice*>& disks) = 0;
    virtual RESULT_CODE EnumPartitionDevice(const IStorageDevice* disk,
                                            std::list<IStorageDevice*>& partitions) = 0;
    // The volumes the kernel shows on the disk (no partitions merged in).
    virtual RESULT_CODE EnumVolumeDevice(const IStorageDevice* disk,
                                         std::list<IStorageDevice*>& volumes) = 0;
};

// The process-wide single-pass enumerator over the running system.
IEnumDevice* CreateEnumDevice();

// A new single-pass enumerator over the given system paths, deleted by the caller.
std::unique_ptr<IEnumDevice> MakeEnumDevice(const DeviceSystemPaths& paths);

class CEnumDeviceEx : public IEnumDeviceEx {
public:
    explicit CEnumDeviceEx(DeviceSystemPaths paths = {});
    ~CEnumDeviceEx() override;
    CEnumDeviceEx(const CEnumDeviceEx&) = delete;
    CEnumDeviceEx& operator=(const CEnumDeviceEx&) = delete;

    RESULT_CODE Init() override;
    RESULT_CODE Uninit() override;
    RESULT_CODE EnumDiskDevice(IStorageDevice** devices, int& count) override;
    RESULT_CODE EnumPartitionDevice(const IStorageDevice* disk, IStorageDevice** devices,
                                    int& count) override;
    RESULT_CODE EnumVolumeDevice(const IStorageDevice* disk, IStorageDevice** devices,
                                 int& count) override;

private:
    DeviceSystemPaths paths_;
    uint32_t initialised_ = 0;
    std::unique_ptr<IEnumDevice> enumDevice_;
    std::list<IStorageDevice*> disks_;
    // Per disk: its volumes followed by the partitions merged in as volumes.
    std::map<const IStorageDevice*, std::list<IStorageDevice*>> volumes_;
    std::map<const IStorageDevice*, std::list<IStorageDevice*>> partitions_;
};

// The volumes of a disk that enumeration did not list, such as an image file or a
// block device named on a command line: every partition of its table (in table
// order) as a partition-as-volume device with its file system recognised, or one
// volume over the whole disk when it has no table. `disk` must be open; when it
// carries no disk record, one is attached, named `name`. The caller deletes the
// volumes before the disk.
RESULT_CODE EnumDiskVolumes(IStorageDevice* disk, const char* name,
                            std::list<IStorageDevice*>& volumes);
