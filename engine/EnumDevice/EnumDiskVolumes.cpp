#include <cstring>
#include <memory>

#include "EnumDevice.h"
#include "EnumWalkers.h"
#include "MergeVolumeAndPartition.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

#define ENUM_FAILURE(kind) ENGINE_FAILURE(kModuleEnumDevice, kind)

namespace {

// A disk record for a device no enumeration described, from the device itself.
void AttachDiskRecord(IStorageDevice* disk, const char* name) {
    auto* record = new CCollectDiskDeviceInfoStruct;
    std::memset(record, 0, sizeof *record);
    if (name != nullptr) {
        CopyText(record->bsdName, sizeof record->bsdName, name);
        CopyText(record->modelName, sizeof record->modelName, name);
    }
    record->sectorSize = disk->GetSectorSize();
    record->sectorCount = disk->GetTotalSectors();
    SetTranslatedGeometry(*record);
    disk->SetPrivateData(CreateDiskDeviceData(record));
    enumDiskPartitionScheme scheme = kPartitionSchemeNone;
    if (IsSuccess(CPartitionTableAnalyze().GetDiskType(disk, scheme))) {
        record->partitionScheme = scheme;
    }
}

}  // namespace

RESULT_CODE EnumDiskVolumes(IStorageDevice* disk, const char* name,
                            std::list<IStorageDevice*>& volumes) {
    volumes.clear();
    if (disk == nullptr || disk->GetType() != kStorageDeviceDisk) {
        return ENUM_FAILURE(kResultBadArgument);
    }
    if (DiskRecordOf(disk->GetPrivateData()) == nullptr) {
        AttachDiskRecord(disk, name);
    }
    std::list<IStorageDevice*> partitions;
    RESULT_CODE code = CEnumPartition().ExecEnum(disk, partitions);
    if (IsSuccess(code)) {
        code = CVolumePartitionConverter().ConvertPartitions2Volumes(volumes, partitions);
    }
    for (IStorageDevice* partition : partitions) {
        delete partition;
    }
    return code;
}
