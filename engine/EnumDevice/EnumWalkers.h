#pragma once

#include <list>

#include "EnumDevice.h"
#include "PartitionTableAnalyze.h"
#include "ResultCode.h"

class IStorageDevice;

// Short-lived workers behind one enumeration call. Each fills a list with new
// devices that the caller owns, sorted; on failure the devices made before it
// stay in the list.

class CEnumDisk {
public:
    explicit CEnumDisk(const DeviceSystemPaths& paths) : paths_(paths) {}
    // Disks of 8 MiB or more from sysfs, each opened with its disk record.
    RESULT_CODE ExecEnum(std::list<IStorageDevice*>& disks);

private:
    const DeviceSystemPaths& paths_;
};

class CEnumPartition {
public:
    // Every partition of the disk's table; a disk without a table gives one
    // partition numbered -1 over the whole disk.
    RESULT_CODE ExecEnum(IStorageDevice* disk, std::list<IStorageDevice*>& partitions);

    // The table's entries, or the single whole-disk entry.
    static RESULT_CODE GetPartEntryList(IStorageDevice* disk, std::list<PartitionEntry>& entries);
};

class CEnumVolume {
public:
    explicit CEnumVolume(const DeviceSystemPaths& paths) : paths_(paths) {}
    // The volumes the kernel shows on the disk: its partitions, or the disk
    // itself when it has no partition table.
    RESULT_CODE ExecEnum(IStorageDevice* disk, std::list<IStorageDevice*>& volumes);

private:
    const DeviceSystemPaths& paths_;
};

// The file system and label that volume recognition finds at the device's start.
struct RecognizedVolume {
    uint32_t fileSystemType;
    char label[100];
};
RecognizedVolume RecognizeVolume(IStorageDevice* device);
