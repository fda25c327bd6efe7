#include "PartitionTableAnalyze.h"

#include "PartitionTableLayout.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

#define PT_FAILURE(kind) ENGINE_FAILURE(kModulePartitionTable, kind)

IPartitionTableAnalyze* CreatePartitionTableAnalyze() {
    return new CPartitionTableAnalyze();
}

RESULT_CODE CPartitionTableAnalyze::AnalyzePartitionTable(IStorageDevice* device,
                                                          std::list<PartitionEntry>& partitions) {
    partitions.clear();
    if (device == nullptr) {
        return PT_FAILURE(kResultBadArgument);
    }
    if (device->GetType() != kStorageDeviceDisk) {
        return PT_FAILURE(kResultNotSupported);
    }
    const CCollectDiskDeviceInfoStruct* disk = DiskRecordOf(device->GetPrivateData());
    if (disk == nullptr) {
        return PT_FAILURE(kResultMissingObject);
    }
    if (disk->kind != 0) {
        return PT_FAILURE(kResultNotSupported);
    }
    enumDiskPartitionScheme scheme = kPartitionSchemeNone;
    RESULT_CODE code = GetDiskType(device, scheme);
    if (IsFailure(code)) {
        return code;
    }
    switch (scheme) {
        case kPartitionSchemeGPT:
            return CBaseGPTAnalyzer().AnalyzeBaseGPT(device, partitions);
        case kPartitionSchemeAPM:
            return CAPMAnaly().AnalyzePartition(device, partitions);
        case kPartitionSchemeMBR:
            return CPartitionTableChainAnalyzer().AnalyzePartitionTableChain(device, partitions);
        case kPartitionSchemeNone:
            break;
    }
    return kResultSuccess;
}

RESULT_CODE CPartitionTableAnalyze::GetDiskType(IStorageDevice* device,
                                                enumDiskPartitionScheme& scheme) {
    scheme = kPartitionSchemeNone;
    if (device == nullptr) {
        return PT_FAILURE(kResultBadArgument);
    }
    uint32_t sectorSize = device->GetSectorSize();
    if (sectorSize < 512) {
        return PT_FAILURE(kResultSectorTooSmall);
    }
    if (!IsValidSectorSize(sectorSize)) {
        return PT_FAILURE(kResultNotSupported);
    }
    std::vector<uint8_t> sector;
    RESULT_CODE code = ReadDeviceSectors(device, 0, 1, sector);
    if (IsFailure(code)) {
        return code;
    }
    const uint8_t* bytes = sector.data();
    if (mbr::HasSignature(bytes) && mbr::ReadEntry(bytes, 0).type == mbr::kTypeGptProtective) {
        scheme = kPartitionSchemeGPT;
    } else if (bytes[0] == 'E' && bytes[1] == 'R') {
        scheme = kPartitionSchemeAPM;
    } else if (IsVolumeBootSector(bytes, sector.size()) &&
               !HoldsPartitionTable(bytes, device->GetTotalSectors())) {
        // A volume written straight onto the disk: its boot sector carries the
        // 0x55AA signature too, but no partition table.
        scheme = kPartitionSchemeNone;
    } else if (mbr::HasSignature(bytes)) {
        scheme = kPartitionSchemeMBR;
    }
    return kResultSuccess;
}
