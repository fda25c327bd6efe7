#include <cstring>

#include "DevListSortAlgorithm.h"
#include "EnumWalkers.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "SysfsBlock.h"

namespace {

// Media smaller than this are not worth listing.
constexpr int64_t kSmallestDiskBytes = 0x800000;

CCollectDiskDeviceInfoStruct* MakeDiskRecord(const SysfsDisk& disk, uint32_t sectorSize) {
    auto* record = new CCollectDiskDeviceInfoStruct;
    std::memset(record, 0, sizeof *record);
    record->busType = disk.busType;
    record->writable = disk.readOnly ? 0 : 1;
    CopyText(record->modelName, sizeof record->modelName, disk.model);
    CopyText(record->bsdName, sizeof record->bsdName, disk.name);
    record->sectorSize = sectorSize;
    record->sectorCount = disk.size512 * 512 / sectorSize;
    SetTranslatedGeometry(*record);
    record->deviceId = DeviceId(disk.major, disk.minor);
    return record;
}

}  // namespace

RESULT_CODE CEnumDisk::ExecEnum(std::list<IStorageDevice*>& disks) {
    for (const SysfsDisk& found : ListSysfsDisks(paths_.sysfsRoot)) {
        if (found.size512 < kSmallestDiskBytes / 512) {
            continue;
        }
        uint32_t sectorSize =
            IsValidSectorSize(found.logicalBlockSize) ? found.logicalBlockSize : 512;
        std::string path = paths_.deviceRoot + "/" + found.name;
        IStorageDevice* disk = CreateDiskDevice(path.c_str());
        if (disk == nullptr) {
            continue;
        }
        // A node we may not open is still listed: the user learns it needs rights.
        if (!disk->Open(path.data()) && disk->IsPermitted()) {
            delete disk;
            continue;
        }
        CCollectDiskDeviceInfoStruct* record = MakeDiskRecord(found, sectorSize);
        disk->SetPrivateData(CreateDiskDeviceData(record));
        enumDiskPartitionScheme scheme = kPartitionSchemeNone;
        if (IsSuccess(CPartitionTableAnalyze().GetDiskType(disk, scheme))) {
            record->partitionScheme = scheme;
        }
        disks.push_back(disk);
    }
    disks.sort(CDevListSortAlgorithm());
    return kResultSuccess;
}
