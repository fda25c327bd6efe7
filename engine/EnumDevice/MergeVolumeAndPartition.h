#pragma once

#include <list>

#include "ResultCode.h"

class IStorageDevice;
struct CCollectedPartitionDeviceInfoStruct;
struct CCollectedVolumeDeviceInfoStruct;

// The volume list of a disk: the kernel's volumes, then every partition of the
// disk's table that no volume stands for, presented as a volume device.
class CMergeVolumeAndPartition {
public:
    // `merged` receives the volumes in their order, then the converted
    // partitions in theirs; the converted devices are new and belong to the
    // caller. On failure `merged` is left empty and nothing new survives.
    RESULT_CODE MergeAsVolume(std::list<IStorageDevice*>& merged, IStorageDevice** volumes,
                              int volumeCount, IStorageDevice** partitions, int partitionCount);

    // A volume stands for a partition when both have the same sector size and
    // start sector and their sizes differ by less than 10 MiB and one byte.
    void IsSameDevice(IStorageDevice* partition, IStorageDevice* volume, int& same);
};

class CVolumePartitionConverter {
public:
    // Converts every partition in order; on failure the devices made so far are
    // destroyed and `volumes` is left empty.
    RESULT_CODE ConvertPartitions2Volumes(std::list<IStorageDevice*>& volumes,
                                          const std::list<IStorageDevice*>& partitions);
    RESULT_CODE ConvertPartition2Volume(IStorageDevice*& volume, IStorageDevice* partition);
    void PartitionInfo2VolumeInfo(CCollectedVolumeDeviceInfoStruct* volume,
                                  CCollectedPartitionDeviceInfoStruct* partition);
};
