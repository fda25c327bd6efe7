#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Bus a disk hangs on, as the disk record counts them.
enum BlockBusType : uint32_t {
    kBlockBusUnknown = 0,
    kBlockBusATA = 1,
    kBlockBusSATA = 2,
    kBlockBusSCSI = 3,
    kBlockBusUSB = 4,
    kBlockBusVirtual = 5,
};

// A partition the kernel split out of a disk. Start and size are in 512-byte
// units whatever the disk's sector size, as sysfs gives them.
struct SysfsPartition {
    std::string name;
    uint32_t number = 0;
    int64_t start512 = 0;
    int64_t size512 = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
};

struct SysfsDisk {
    // The device node's name below /dev: the kernel name ("sda", "loop3",
    // "md127"), or "mapper/<name>" for a device-mapper device.
    std::string name;
    std::string kernelName;
    int64_t size512 = 0;
    uint32_t logicalBlockSize = 512;
    bool readOnly = false;
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string model;  // vendor and model, or a loop device's backing file name
    uint32_t busType = kBlockBusUnknown;
    std::vector<SysfsPartition> partitions;  // in the kernel's partition order
};

// The scannable disks under <sysfsRoot>/block, sorted by name. Logical volumes,
// opened encrypted mappings (device-mapper) and software RAID arrays (md) are
// disks like any other. RAM, zram and optical devices, empty devices and loop
// devices without a backing file are left out.
std::vector<SysfsDisk> ListSysfsDisks(const std::filesystem::path& sysfsRoot);

// The one scannable disk whose node name is `name`, read without walking the
// others: a machine may hold hundreds of loop devices.
std::optional<SysfsDisk> FindSysfsDisk(const std::filesystem::path& sysfsRoot,
                                       const std::string& name);

// The bus of a disk, judged from the components of its resolved sysfs path.
uint32_t BusTypeFromSysfsPath(const std::filesystem::path& devicePath);

// Whether the disk `kernelName` ("sdc", "mmcblk0") is a medium a user plugs in
// and takes away: one on a USB, MMC/SD or FireWire bus, one below a PCI device
// the kernel marks removable (behind a Thunderbolt port), or one whose own
// `removable` is 1.
bool IsHotPluggableDisk(const std::filesystem::path& sysfsRoot, const std::string& kernelName);
