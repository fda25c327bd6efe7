#include "MergeVolumeAndPartition.h"

#include <cstring>
#include <vector>

#include "StorageDevice.h"
#include "StorageDeviceData.h"

#define ENUM_FAILURE(kind) ENGINE_FAILURE(kModuleEnumDevice, kind)

namespace {

// Kernel and table may disagree on a partition's last few megabytes.
constexpr int64_t kSizeTolerance = 0xA00001;

}  // namespace

void CMergeVolumeAndPartition::IsSameDevice(IStorageDevice* partition, IStorageDevice* volume,
                                            int& same) {
    same = 0;
    if (partition == nullptr || volume == nullptr) {
        return;
    }
    CCollectedPartitionDeviceInfoStruct* p = PartitionRecordOf(partition->GetPrivateData());
    CCollectedVolumeDeviceInfoStruct* v = VolumeRecordOf(volume->GetPrivateData());
    if (p == nullptr || v == nullptr || p->sectorSize == 0 || p->sectorSize != v->sectorSize ||
        p->startSector != v->startSector) {
        return;
    }
    int64_t difference = p->sectorCount - v->sectorCount;
    if (difference < 0) {
        difference = -difference;
    }
    // difference × sector size < 10 MiB + 1 byte, without the multiplication.
    same = difference <= (kSizeTolerance - 1) / static_cast<int64_t>(p->sectorSize) ? 1 : 0;
}

RESULT_CODE CMergeVolumeAndPartition::MergeAsVolume(std::list<IStorageDevice*>& merged,
                                                    IStorageDevice** volumes, int volumeCount,
                                                    IStorageDevice** partitions,
                                                    int partitionCount) {
    merged.clear();
    // Each volume stands for one partition at most.
    std::vector<bool> used(static_cast<size_t>(volumeCount > 0 ? volumeCount : 0), false);
    std::list<IStorageDevice*> unmatched;
    for (int p = 0; p < partitionCount; ++p) {
        bool matched = false;
        for (int v = 0; v < volumeCount && !matched; ++v) {
            int same = 0;
            if (!used[static_cast<size_t>(v)]) {
                IsSameDevice(partitions[p], volumes[v], same);
            }
            if (same != 0) {
                used[static_cast<size_t>(v)] = true;
                matched = true;
            }
        }
        if (!matched) {
            unmatched.push_back(partitions[p]);
        }
    }
    std::list<IStorageDevice*> converted;
    RESULT_CODE code = CVolumePartitionConverter().ConvertPartitions2Volumes(converted, unmatched);
    if (IsFailure(code)) {
        return code;
    }
    merged.assign(volumes, volumes + (volumeCount > 0 ? volumeCount : 0));
    merged.splice(merged.end(), converted);
    return kResultSuccess;
}

RESULT_CODE CVolumePartitionConverter::ConvertPartitions2Volumes(
    std::list<IStorageDevice*>& volumes, const std::list<IStorageDevice*>& partitions) {
    volumes.clear();
    for (IStorageDevice* partition : partitions) {
        IStorageDevice* volume = nullptr;
        RESULT_CODE code = ConvertPartition2Volume(volume, partition);
        if (IsFailure(code)) {
            for (IStorageDevice* made : volumes) {
                delete made;
            }
            volumes.clear();
            return code;
        }
        volumes.push_back(volume);
    }
    return kResultSuccess;
}

RESULT_CODE CVolumePartitionConverter::ConvertPartition2Volume(IStorageDevice*& volume,
                                                               IStorageDevice* partition) {
    volume = nullptr;
    if (partition == nullptr || partition->GetType() != kStorageDevicePartition) {
        return ENUM_FAILURE(kResultBadArgument);
    }
    CCollectedPartitionDeviceInfoStruct* record = PartitionRecordOf(partition->GetPrivateData());
    if (record == nullptr) {
        return ENUM_FAILURE(kResultMissingObject);
    }
    IStorageDevice* device = CreatePartitionVirtualVolumeDevice(partition);
    if (device == nullptr) {
        return ENUM_FAILURE(kResultNotInitialised);
    }
    if (!device->Open(nullptr)) {
        RESULT_CODE code = device->GetLastError();
        delete device;
        return code;
    }
    auto* info = new CCollectedVolumeDeviceInfoStruct;
    PartitionInfo2VolumeInfo(info, record);
    device->SetPrivateData(CreateVolumeDeviceData(info));
    volume = device;
    return kResultSuccess;
}

void CVolumePartitionConverter::PartitionInfo2VolumeInfo(
    CCollectedVolumeDeviceInfoStruct* volume, CCollectedPartitionDeviceInfoStruct* partition) {
    std::memset(volume, 0, sizeof *volume);
    volume->kind = partition->kind;
    volume->reserved = partition->reserved;
    volume->fileSystemType = partition->fileSystemType;
    std::memcpy(volume->label, partition->label, sizeof volume->label);
    volume->sectorSize = partition->sectorSize;
    volume->sectorCount = partition->sectorCount;
    volume->deviceId = partition->deviceId;
    volume->parentDisk = partition->parentDisk;
    std::memcpy(volume->gptTypeGuid, partition->gptTypeGuid, sizeof volume->gptTypeGuid);
    std::memcpy(volume->gptPartitionGuid, partition->gptPartitionGuid,
                sizeof volume->gptPartitionGuid);
    std::memcpy(volume->applePartitionContent, partition->applePartitionType,
                sizeof volume->applePartitionContent);
    volume->startSector = partition->startSector;
    volume->partitionNumber = static_cast<int32_t>(partition->partitionEntryNumber);
    volume->mounted = 0;
}
