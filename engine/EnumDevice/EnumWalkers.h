#pragma once

#include <cstdint>
#include <cstring>
#include <list>
#include <string>

#include "EnumDevice.h"
#include "PartitionTableAnalyze.h"
#include "ResultCode.h"
#include "StorageDeviceData.h"

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

// Copies `text` into a fixed record field, cut to fit and always terminated.
inline void CopyText(char* field, size_t size, const std::string& text) {
    std::strncpy(field, text.c_str(), size - 1);
    field[size - 1] = '\0';
}

// A record's device number: the major number in the top byte, the minor below.
inline int32_t DeviceId(uint32_t major, uint32_t minor) {
    return static_cast<int32_t>(major << 24 | minor);
}

// The translated geometry of 255 heads and 63 sectors a track that disk
// records carry, over the record's sector count.
inline void SetTranslatedGeometry(CCollectDiskDeviceInfoStruct& record) {
    record.cylinders = record.sectorCount / 16065;
    record.heads = 255;
    record.sectorsPerTrack = 63;
}
