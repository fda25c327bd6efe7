#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "DevListSortAlgorithm.h"
#include "DiskDevice.h"
#include "EngineTypes.h"
#include "EnumWalkers.h"
#include "MountInfo.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "SysfsBlock.h"

#define ENUM_FAILURE(kind) ENGINE_FAILURE(kModuleEnumDevice, kind)

namespace {

// What the kernel says of one volume: a partition it split out, or a whole disk.
struct KernelVolume {
    std::string name;
    int32_t number;  // -1 for a whole disk
    int64_t start512;
    int64_t size512;
    uint32_t major;
    uint32_t minor;
};

const PartitionEntry* EntryNumbered(const std::list<PartitionEntry>& entries, int32_t number) {
    for (const PartitionEntry& entry : entries) {
        if (static_cast<int32_t>(entry.number) == number) {
            return &entry;
        }
    }
    return nullptr;
}

// The analyser's label, else the last name of the mount point, else the
// kernel name.
std::string VolumeName(const char* label, const MountEntry* mount, const std::string& kernelName) {
    if (label[0] != '\0') {
        return label;
    }
    if (mount != nullptr) {
        std::string last = std::filesystem::path(mount->mountPoint).filename().string();
        if (!last.empty()) {
            return last;
        }
    }
    return kernelName;
}

// MBR slots (1-4) that hold an extended partition. The kernel shows such a
// container as a partition of a sector or two; it holds no file system, and
// the partition list leaves it out too.
std::set<uint32_t> ExtendedSlots(IStorageDevice* disk) {
    std::set<uint32_t> slots;
    const uint32_t sectorSize = disk->GetSectorSize();
    if (sectorSize < 512) {
        return slots;
    }
    std::vector<uint8_t> sector(sectorSize);
    if (!disk->ReadSector(sector.data(), 0, 1) || sector[510] != 0x55 || sector[511] != 0xAA) {
        return slots;
    }
    for (uint32_t slot = 0; slot < 4; ++slot) {
        const uint8_t type = sector[446 + 16 * slot + 4];
        if (type == 0x05 || type == 0x0F || type == 0x85) {
            slots.insert(slot + 1);
        }
    }
    return slots;
}

std::vector<KernelVolume> KernelVolumesOf(const SysfsDisk& disk, uint32_t scheme,
                                          const std::set<uint32_t>& containers) {
    std::vector<KernelVolume> volumes;
    for (const SysfsPartition& p : disk.partitions) {
        if (containers.count(p.number)) {
            continue;
        }
        volumes.push_back(
            {p.name, static_cast<int32_t>(p.number), p.start512, p.size512, p.major, p.minor});
    }
    // A disk the kernel did not split: it is one volume only when it has no
    // table; otherwise its partitions are merged in from our own parse.
    if (volumes.empty() && scheme == kPartitionSchemeNone) {
        volumes.push_back({disk.name, -1, 0, disk.size512, disk.major, disk.minor});
    }
    return volumes;
}

}  // namespace

RESULT_CODE CEnumVolume::ExecEnum(IStorageDevice* disk, std::list<IStorageDevice*>& volumes) {
    if (disk == nullptr) {
        return ENUM_FAILURE(kResultMissingObject);
    }
    CCollectDiskDeviceInfoStruct* info = DiskRecordOf(disk->GetPrivateData());
    if (info == nullptr) {
        return ENUM_FAILURE(kResultMissingObject);
    }
    const std::string diskName(info->bsdName, strnlen(info->bsdName, sizeof info->bsdName));
    const std::optional<SysfsDisk> found = FindSysfsDisk(paths_.sysfsRoot, diskName);
    if (!found) {
        return kResultSuccess;
    }
    // Table entries give what sysfs does not: GPT GUIDs and Apple types. An
    // unreadable table leaves them empty; the kernel's volumes are listed anyway.
    std::list<PartitionEntry> entries;
    CEnumPartition::GetPartEntryList(disk, entries);
    std::vector<MountEntry> mounts = ReadMountInfo(paths_.mountInfoPath);
    const uint32_t sectorSize = disk->GetSectorSize();

    const std::set<uint32_t> containers =
        info->partitionScheme == kPartitionSchemeMBR ? ExtendedSlots(disk) : std::set<uint32_t>{};
    for (const KernelVolume& kernel : KernelVolumesOf(*found, info->partitionScheme, containers)) {
        std::string path = paths_.deviceRoot + "/" + kernel.name;
        IStorageDevice* volume = CreateVolumeDevice(path.c_str());
        if (volume == nullptr) {
            continue;
        }
        bool opened = volume->Open(path.data());
        if (!opened && volume->IsPermitted()) {
            delete volume;
            continue;
        }
        auto* record = new CCollectedVolumeDeviceInfoStruct;
        std::memset(record, 0, sizeof *record);
        record->kind = 0;
        CopyText(record->bsdName, sizeof record->bsdName, kernel.name);
        record->sectorSize = sectorSize;
        record->sectorCount = kernel.size512 * 512 / sectorSize;
        record->startSector = kernel.start512 * 512 / sectorSize;
        record->deviceId = DeviceId(kernel.major, kernel.minor);
        record->parentDisk = disk;
        record->partitionNumber = kernel.number;
        if (const PartitionEntry* entry = EntryNumbered(entries, kernel.number)) {
            if (info->partitionScheme == kPartitionSchemeGPT) {
                std::memcpy(record->gptTypeGuid, entry->typeGuid, 16);
                std::memcpy(record->gptPartitionGuid, entry->partitionGuid, 16);
            } else if (info->partitionScheme == kPartitionSchemeAPM) {
                std::memcpy(record->applePartitionContent, entry->appleType,
                            sizeof record->applePartitionContent);
            }
        }
        volume->SetPrivateData(CreateVolumeDeviceData(record));
        record->fileSystemType = FILE_SYSTEM_UNKNOWN;
        if (opened) {
            RecognizedVolume recognized = RecognizeVolume(volume);
            record->fileSystemType = recognized.fileSystemType;
            std::memcpy(record->label, recognized.label, sizeof record->label);
        }
        const MountEntry* mount = FindBlockDeviceMount(mounts, kernel.major, kernel.minor);
        record->mounted = mount != nullptr ? 1 : 0;
        CopyText(record->volumeName, sizeof record->volumeName,
                 VolumeName(record->label, mount, kernel.name));
        volumes.push_back(volume);
    }
    volumes.sort(CDevListSortAlgorithm());

    std::vector<CCollectedVolumeDeviceInfoStruct> records;
    for (IStorageDevice* volume : volumes) {
        records.push_back(*VolumeRecordOf(volume->GetPrivateData()));
    }
    if (auto* diskDevice = dynamic_cast<CDiskDevice*>(disk)) {
        diskDevice->SetVolumes(records);
    }
    return kResultSuccess;
}
