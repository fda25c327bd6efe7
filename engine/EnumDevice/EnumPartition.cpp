#include <cstring>
#include <memory>

#include "DevListSortAlgorithm.h"
#include "EngineTypes.h"
#include "EnumWalkers.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

#define ENUM_FAILURE(kind) ENGINE_FAILURE(kModuleEnumDevice, kind)

namespace {

CCollectedPartitionDeviceInfoStruct* MakePartitionRecord(IStorageDevice* disk,
                                                         const CCollectDiskDeviceInfoStruct& info,
                                                         const PartitionEntry& entry) {
    auto* record = new CCollectedPartitionDeviceInfoStruct;
    std::memset(record, 0, sizeof *record);
    record->kind = info.kind;
    record->fileSystemType = FILE_SYSTEM_UNKNOWN;
    record->sectorSize = disk->GetSectorSize();
    record->sectorCount = entry.sectorCount;
    record->deviceId = info.deviceId;
    record->parentDisk = disk;
    record->partitionEntryNumber = entry.number;
    if (info.partitionScheme == kPartitionSchemeGPT) {
        std::memcpy(record->gptTypeGuid, entry.typeGuid, sizeof record->gptTypeGuid);
        std::memcpy(record->gptPartitionGuid, entry.partitionGuid, sizeof record->gptPartitionGuid);
    } else if (info.partitionScheme == kPartitionSchemeAPM) {
        std::memcpy(record->applePartitionType, entry.appleType, sizeof record->applePartitionType);
    }
    record->startSector = entry.startSector;
    return record;
}

}  // namespace

RESULT_CODE CEnumPartition::GetPartEntryList(IStorageDevice* disk,
                                             std::list<PartitionEntry>& entries) {
    std::unique_ptr<IPartitionTableAnalyze> analyze(CreatePartitionTableAnalyze());
    RESULT_CODE code = analyze->AnalyzePartitionTable(disk, entries);
    if (IsFailure(code)) {
        return code;
    }
    if (entries.empty()) {
        PartitionEntry whole{};
        whole.number = static_cast<uint32_t>(-1);
        whole.sectorCount = disk->GetTotalSectors();
        entries.push_back(whole);
    }
    return kResultSuccess;
}

RESULT_CODE CEnumPartition::ExecEnum(IStorageDevice* disk, std::list<IStorageDevice*>& partitions) {
    if (disk == nullptr) {
        return ENUM_FAILURE(kResultMissingObject);
    }
    std::list<PartitionEntry> entries;
    RESULT_CODE code = GetPartEntryList(disk, entries);
    if (IsFailure(code)) {
        return code;
    }
    CCollectDiskDeviceInfoStruct* info = DiskRecordOf(disk->GetPrivateData());
    if (info == nullptr) {
        return ENUM_FAILURE(kResultMissingObject);
    }
    for (const PartitionEntry& entry : entries) {
        IStorageDevice* partition =
            CreatePartitionDevice(disk, entry.startSector, entry.sectorCount);
        if (partition == nullptr) {
            return ENUM_FAILURE(kResultNotInitialised);
        }
        if (!partition->Open(nullptr)) {
            code = partition->GetLastError();
            delete partition;
            return code;
        }
        CCollectedPartitionDeviceInfoStruct* record = MakePartitionRecord(disk, *info, entry);
        partition->SetPrivateData(CreatePartitionDeviceData(record));
        RecognizedVolume found = RecognizeVolume(partition);
        record->fileSystemType = found.fileSystemType;
        std::memcpy(record->label, found.label, sizeof record->label);
        partitions.push_back(partition);
    }
    partitions.sort(CDevListSortAlgorithm());
    return kResultSuccess;
}
