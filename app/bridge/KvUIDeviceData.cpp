#include "KvUIDeviceData.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "EnumDevice.h"
#include "ImageDevice.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "SysfsBlock.h"

namespace {

// The standard GPT partition types, as their bytes lie in a partition entry.
constexpr uint8_t kEfiSystemPartitionType[16] = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                                 0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
constexpr uint8_t kAppleBootPartitionType[16] = {0x74, 0x6F, 0x6F, 0x42, 0x00, 0x00, 0xAA, 0x11,
                                                 0xAA, 0x11, 0x00, 0x30, 0x65, 0x43, 0xEC, 0xAC};

constexpr uint32_t kBusUsb = 4;
constexpr uint32_t kBusVirtual = 5;
constexpr uint32_t kSchemeGpt = 2;
constexpr uint32_t kSchemeAppleMap = 3;

bool Succeeded(RESULT_CODE code) {
    return (code >> 56) == 0;
}

// Fills `devices` with the enumerator's two-call pattern; false on failure.
template <class EnumCall>
bool EnumerateInto(std::vector<IStorageDevice*>& devices, EnumCall call) {
    int count = 0;
    if (!Succeeded(call(nullptr, count)) || count <= 0)
        return false;
    devices.assign(static_cast<size_t>(count), nullptr);
    if (!Succeeded(call(devices.data(), count)))
        return false;
    devices.resize(static_cast<size_t>(count));
    return true;
}

bool IsImage(IStorageDevice* device) {
    IStorageDeviceData* data = device->GetPrivateData();
    return OztRecordOf(data) != nullptr || DmgRecordOf(data) != nullptr;
}

const char* ImagePathOf(IStorageDevice* device) {
    IStorageDeviceData* data = device->GetPrivateData();
    if (COZTDeviceInfoStruct* ozt = OztRecordOf(data))
        return ozt->imagePath;
    if (CDMGDeviceInfoStruct* dmg = DmgRecordOf(data))
        return dmg->imagePath;
    return nullptr;
}

}  // namespace

KvUIDeviceData* KvUIDeviceData::instance() {
    static KvUIDeviceData model(CreateEnumDeviceEx());
    return &model;
}

KvUIDeviceData::KvUIDeviceData(IEnumDeviceEx* enumerator, std::string sysfsRoot)
    : enumerator_(enumerator), sysfsRoot_(std::move(sysfsRoot)) {}

KvUIDeviceData::~KvUIDeviceData() {
    for (IStorageDevice* image : oztImages_)
        delete image;
    for (IStorageDevice* image : dmgImages_)
        delete image;
}

void KvUIDeviceData::UseEnumerator(IEnumDeviceEx* enumerator) {
    Clear();
    std::lock_guard enumerating(enumerateLock_);
    std::lock_guard hold(lock_);
    enumerator_ = enumerator;
    enumerated_ = false;
    disks_.clear();
    volumes_.clear();
    initState_ = kNotBuilt;
}

bool KvUIDeviceData::InitDeviceInfo() {
    std::lock_guard enumerating(enumerateLock_);
    {
        std::lock_guard hold(lock_);
        initState_ = kBuilding;
        // The enumerator releases the devices of its last listing.
        enumerated_ = false;
        disks_.clear();
        volumes_.clear();
    }
    // Enumeration takes a while: queries meanwhile answer from empty maps
    // instead of waiting for it.
    const bool enumerated = enumerator_ != nullptr && Succeeded(enumerator_->Init());
    std::lock_guard hold(lock_);
    enumerated_ = enumerated;
    // Opened images stay scannable even when no disk could be enumerated.
    GetDiskStorageMap(1);
    GetVolumeStorageMap(1);
    initState_ = enumerated ? kBuilt : kFailed;
    return enumerated;
}

int KvUIDeviceData::GetInitState() {
    std::lock_guard hold(lock_);
    return initState_;
}

bool KvUIDeviceData::BeginBuilding() {
    std::lock_guard hold(lock_);
    if (initState_ != kNotBuilt && initState_ != kFailed)
        return false;
    initState_ = kBuilding;
    return true;
}

void KvUIDeviceData::Clear() {
    std::lock_guard enumerating(enumerateLock_);
    std::lock_guard hold(lock_);
    if (initState_ != kBuilt)
        return;
    if (enumerator_ != nullptr)
        enumerator_->Uninit();
    enumerated_ = false;
    disks_.clear();
    volumes_.clear();
}

void KvUIDeviceData::GetDiskStorageMap(int force) {
    std::lock_guard hold(lock_);
    if (!force && !disks_.empty())
        return;
    disks_.clear();
    std::vector<IStorageDevice*> devices;
    if (enumerated_ && EnumerateInto(devices, [this](IStorageDevice** array, int& count) {
            return enumerator_->EnumDiskDevice(array, count);
        })) {
        for (IStorageDevice* disk : devices) {
            if (disk != nullptr)
                disks_.emplace(static_cast<unsigned int>(disks_.size()), disk);
        }
    }
    for (IStorageDevice* image : oztImages_)
        disks_.emplace(static_cast<unsigned int>(disks_.size()), image);
    for (IStorageDevice* image : dmgImages_)
        disks_.emplace(static_cast<unsigned int>(disks_.size()), image);
}

void KvUIDeviceData::GetVolumeStorageMap(int force) {
    std::lock_guard hold(lock_);
    if ((!force && !volumes_.empty()) || enumerator_ == nullptr)
        return;
    if (!enumerated_) {
        volumes_.clear();
        return;
    }
    volumes_.clear();
    for (const auto& [index, disk] : disks_) {
        if (IsImage(disk))
            continue;
        std::vector<IStorageDevice*> devices;
        if (!EnumerateInto(devices, [this, disk](IStorageDevice** array, int& count) {
                return enumerator_->EnumVolumeDevice(disk, array, count);
            })) {
            // A disk without volumes is still a disk that can be scanned whole.
            volumes_[disk];
            continue;
        }
        volumes_[disk] = std::list<IStorageDevice*>(devices.begin(), devices.end());
    }
}

void KvUIDeviceData::GetAllDeviceInfo(std::list<_DiskVolumeData>& list) {
    std::lock_guard hold(lock_);
    if (disks_.empty() || enumerator_ == nullptr)
        return;
    for (const auto& [index, disk] : disks_) {
        _DiskVolumeData record;
        if (!GetDiskDataByStorage(disk, record) || record.isUSB != 1)
            continue;
        GetDiskVolumeInfo(disk, record.volumes);
        list.push_back(std::move(record));
    }
}

void KvUIDeviceData::GetDiskVolumeInfo(IStorageDevice* disk, std::list<_DiskVolumeData>& list) {
    std::lock_guard hold(lock_);
    auto found = volumes_.find(disk);
    if (found == volumes_.end())
        return;
    for (IStorageDevice* volume : found->second) {
        _DiskVolumeData record;
        record.beCanOpen = volume->IsPermitted() ? 1 : 0;
        if (GetVolumeDataByStorage(volume, record))
            list.push_back(std::move(record));
    }
}

int KvUIDeviceData::GetDiskDataByStorage(IStorageDevice* device, _DiskVolumeData& record) {
    if (device == nullptr)
        return 0;
    IStorageDeviceData* data = device->GetPrivateData();
    int filled = 0;
    if (CCollectDiskDeviceInfoStruct* disk = DiskRecordOf(data)) {
        filled = GetDiskDataByDiskInfo(disk, record);
        // External means any medium the system says can come and go: USB
        // sticks, memory cards, FireWire and Thunderbolt enclosures. Loop
        // and virtual disks never are.
        if (filled && record.isUSB == 0 && record.isDmg == 0 &&
            IsHotPluggableDisk(sysfsRoot_, disk->bsdName))
            record.isUSB = 1;
        record.beCanOpen = device->IsPermitted() ? 1 : 0;
        record.deviceNumber = disk->deviceId;
        record.sysfsPath = SysfsPathOf(disk->bsdName);
    } else if (COZTDeviceInfoStruct* ozt = OztRecordOf(data)) {
        filled = GetDiskDataByOztInfo(ozt, record);
    } else if (CDMGDeviceInfoStruct* dmg = DmgRecordOf(data)) {
        filled = GetDiskDataByDmgInfo(dmg, record);
    }
    if (!filled)
        return 0;
    record.diskIndex = GetDiskIndexByStorage(device);
    return 1;
}

int KvUIDeviceData::GetVolumeDataByStorage(IStorageDevice* device, _DiskVolumeData& record) {
    if (device == nullptr)
        return 0;
    IStorageDeviceData* data = device->GetPrivateData();
    if (CCollectedVolumeDeviceInfoStruct* volume = VolumeRecordOf(data)) {
        if (!GetVolumeDataByVolumeInfo(volume, record))
            return 0;
        int disk = -1;
        int index = -1;
        GetDiskVolumeIndexByStorage(device, disk, index);
        record.diskIndex = disk;
        record.volumeIndex = index;
        record.bsdName = volume->bsdName;
        record.deviceNumber = volume->deviceId;
        record.startSector = volume->startSector;
        record.sysfsPath = SysfsPathOf(volume->bsdName);
        return 1;
    }
    int filled = 0;
    if (COZTDeviceInfoStruct* ozt = OztRecordOf(data))
        filled = GetDiskDataByOztInfo(ozt, record);
    else if (CDMGDeviceInfoStruct* dmg = DmgRecordOf(data))
        filled = GetDiskDataByDmgInfo(dmg, record);
    if (!filled)
        return 0;
    record.diskIndex = GetDiskIndexByStorage(device);
    record.volumeIndex = -1;
    return 1;
}

int KvUIDeviceData::GetDataByStorage(IStorageDevice* device, _DiskVolumeData& record) {
    return IsDiskStorage(device) ? GetDiskDataByStorage(device, record)
                                 : GetVolumeDataByStorage(device, record);
}

int KvUIDeviceData::GetDiskDataByDiskInfo(CCollectDiskDeviceInfoStruct* info,
                                          _DiskVolumeData& record) {
    if (info == nullptr || info->kind != 0)
        return 0;
    record.name = info->modelName;
    record.bsdName = info->bsdName;
    record.capacity =
        static_cast<uint64_t>(info->sectorSize) * static_cast<uint64_t>(info->sectorCount);
    record.used = 0;
    record.isDmg = info->busType == kBusVirtual ? 1 : 0;
    record.isUSB = info->busType == kBusUsb ? 1 : 0;
    record.isSSD = std::strstr(info->modelName, "SSD") != nullptr ? 1 : 0;
    return 1;
}

int KvUIDeviceData::GetVolumeDataByVolumeInfo(CCollectedVolumeDeviceInfoStruct* info,
                                              _DiskVolumeData& record) {
    if (info == nullptr || info->kind != 0 || !IsSupportVolume(info))
        return 0;
    // A partition without a kernel device has no name of its own yet: the
    // label its file system carries names it.
    record.name = info->volumeName[0] != '\0' ? info->volumeName : info->label;
    record.capacity = static_cast<uint64_t>(info->sectorCount) * info->sectorSize;
    record.used = 0;
    record.fileSystem = static_cast<int32_t>(info->fileSystemType);
    return 1;
}

int KvUIDeviceData::GetDiskDataByOztInfo(COZTDeviceInfoStruct* info, _DiskVolumeData& record) {
    if (info == nullptr)
        return 0;
    record.name = info->deviceName;
    record.bsdName = info->imagePath;
    record.capacity = uint64_t{info->sectorSize} * static_cast<uint64_t>(info->sectorCount);
    record.used = 0;
    record.isOzt = 1;
    record.oztInfo = info;
    record.oztInfoLength = kOztInfoLength;
    record.isDmg = record.isSSD = record.isAppleDmg = 0;
    return 1;
}

int KvUIDeviceData::GetDiskDataByDmgInfo(CDMGDeviceInfoStruct* info, _DiskVolumeData& record) {
    if (info == nullptr)
        return 0;
    record.name = info->fileName;
    record.bsdName = info->imagePath;
    record.capacity = uint64_t{info->sectorSize} * static_cast<uint64_t>(info->sectorCount);
    if (info->imageFileLength >= 0 &&
        static_cast<uint64_t>(info->imageFileLength) < record.capacity)
        record.capacity = static_cast<uint64_t>(info->imageFileLength);
    record.used = 0;
    record.isAppleDmg = 1;
    record.dmgInfo = info;
    record.dmgInfoLength = static_cast<int32_t>(sizeof(CDMGDeviceInfoStruct));
    record.isDmg = record.isSSD = record.isOzt = 0;
    return 1;
}

int KvUIDeviceData::IsDiskStorage(IStorageDevice* device) {
    if (device == nullptr)
        return 0;
    std::lock_guard hold(lock_);
    if (volumes_.count(device) == 0)
        return 0;
    const uint32_t type = device->GetType();
    return type != kStorageDeviceOzt && type != kStorageDeviceDmg ? 1 : 0;
}

CCollectedVolumeDeviceInfoStruct* KvUIDeviceData::GetStorageVolumeInfo(IStorageDevice* device) {
    return device != nullptr ? VolumeRecordOf(device->GetPrivateData()) : nullptr;
}

CCollectedVolumeDeviceInfoStruct* KvUIDeviceData::GetVolumeInfo(IStorageDevice* device) {
    if (device == nullptr || IsDiskStorage(device))
        return nullptr;
    return GetStorageVolumeInfo(device);
}

int KvUIDeviceData::IsVolumeStorageSupported(IStorageDevice* device) {
    CCollectedVolumeDeviceInfoStruct* info = GetVolumeInfo(device);
    return info != nullptr ? IsSupportVolume(info) : 0;
}

int KvUIDeviceData::IsSupportVolume(CCollectedVolumeDeviceInfoStruct* info) {
    if (info == nullptr)
        return 0;
    CCollectDiskDeviceInfoStruct* parent =
        info->parentDisk != nullptr ? DiskRecordOf(info->parentDisk->GetPrivateData()) : nullptr;
    if (parent == nullptr)
        return 1;
    if (parent->partitionScheme == kSchemeGpt) {
        return std::memcmp(info->gptTypeGuid, kEfiSystemPartitionType, 16) != 0 &&
                       std::memcmp(info->gptTypeGuid, kAppleBootPartitionType, 16) != 0
                   ? 1
                   : 0;
    }
    if (parent->partitionScheme == kSchemeAppleMap) {
        const size_t size = sizeof(info->applePartitionContent);
        return strncmp(info->applePartitionContent, "Apple_partition_map", size) != 0 &&
                       strncmp(info->applePartitionContent, "Apple_Free", size) != 0
                   ? 1
                   : 0;
    }
    return 1;
}

void KvUIDeviceData::GetDiskVolumeStorage(IStorageDevice* disk,
                                          std::list<IStorageDevice*>& volumes) {
    std::lock_guard hold(lock_);
    auto found = volumes_.find(disk);
    if (found != volumes_.end())
        volumes = found->second;
}

IStorageDevice* KvUIDeviceData::GetStorageByDiskVolumeIndex(int disk, int volume) {
    if (disk == -1)
        return nullptr;
    std::lock_guard hold(lock_);
    IStorageDevice* device = DiskByIndexLocked(disk);
    if (volume == -1)
        return device;
    return GetVolumeStorageByIndex(device, volume);
}

IStorageDevice* KvUIDeviceData::GetDiskStorageByIndex(int index) {
    std::lock_guard hold(lock_);
    return DiskByIndexLocked(index);
}

IStorageDevice* KvUIDeviceData::DiskByIndexLocked(int index) {
    if (index < 0)
        return nullptr;
    auto found = disks_.find(static_cast<unsigned int>(index));
    return found != disks_.end() ? found->second : nullptr;
}

IStorageDevice* KvUIDeviceData::GetVolumeStorageByIndex(IStorageDevice* disk, int index) {
    if (disk == nullptr || index < 0)
        return nullptr;
    std::lock_guard hold(lock_);
    auto found = volumes_.find(disk);
    if (found == volumes_.end() || static_cast<size_t>(index) >= found->second.size())
        return nullptr;
    auto volume = found->second.begin();
    std::advance(volume, index);
    return *volume;
}

int KvUIDeviceData::GetDiskIndexByStorage(IStorageDevice* device) {
    if (device == nullptr)
        return -1;
    std::lock_guard hold(lock_);
    for (const auto& [index, disk] : disks_) {
        if (disk == device)
            return static_cast<int>(index);
    }
    return -1;
}

int KvUIDeviceData::GetVolumeIndexByStorage(IStorageDevice* disk, IStorageDevice* volume) {
    if (disk == nullptr || volume == nullptr)
        return -1;
    std::lock_guard hold(lock_);
    auto found = volumes_.find(disk);
    if (found == volumes_.end())
        return -1;
    int index = 0;
    for (IStorageDevice* candidate : found->second) {
        if (candidate == volume)
            return index;
        ++index;
    }
    return -1;
}

IStorageDevice* KvUIDeviceData::GetDiskStorageByVolumeStorage(IStorageDevice* volume) {
    if (volume == nullptr)
        return nullptr;
    if (IsImage(volume))
        return volume;
    std::lock_guard hold(lock_);
    for (const auto& [disk, volumes] : volumes_) {
        for (IStorageDevice* candidate : volumes) {
            if (candidate == volume)
                return disk;
        }
    }
    return nullptr;
}

bool KvUIDeviceData::GetDiskVolumeIndexByStorage(IStorageDevice* device, int& disk, int& volume) {
    disk = -1;
    volume = -1;
    if (device == nullptr)
        return false;
    std::lock_guard hold(lock_);
    const int asDisk = GetDiskIndexByStorage(device);
    if (asDisk >= 0) {
        disk = asDisk;
        return true;
    }
    IStorageDevice* parent = GetDiskStorageByVolumeStorage(device);
    if (parent == nullptr)
        return false;
    disk = GetDiskIndexByStorage(parent);
    volume = GetVolumeIndexByStorage(parent, device);
    return disk >= 0;
}

const char* KvUIDeviceData::KernelNameOf(IStorageDevice* device) {
    IStorageDeviceData* data = device->GetPrivateData();
    if (CCollectDiskDeviceInfoStruct* disk = DiskRecordOf(data))
        return disk->bsdName;
    if (CCollectedVolumeDeviceInfoStruct* volume = VolumeRecordOf(data))
        return volume->bsdName;
    return nullptr;
}

void KvUIDeviceData::ImageDevicesLocked(std::vector<IStorageDevice*>& devices) {
    devices.insert(devices.end(), oztImages_.begin(), oztImages_.end());
    devices.insert(devices.end(), dmgImages_.begin(), dmgImages_.end());
}

IStorageDevice* KvUIDeviceData::GetStorageByRecord(const _DiskVolumeData& record) {
    std::lock_guard hold(lock_);
    if (record.isOzt || record.isAppleDmg) {
        std::vector<IStorageDevice*> images;
        ImageDevicesLocked(images);
        for (IStorageDevice* image : images) {
            const char* path = ImagePathOf(image);
            if (path != nullptr && record.bsdName != nullptr &&
                std::strcmp(path, record.bsdName) == 0)
                return image;
        }
        return nullptr;
    }
    if (record.deviceNumber == 0)
        return GetStorageByDiskVolumeIndex(record.diskIndex, record.volumeIndex);
    const bool wantVolume = record.volumeIndex >= 0;
    for (const auto& [disk, volumes] : volumes_) {
        if (!wantVolume) {
            const CCollectDiskDeviceInfoStruct* info = DiskRecordOf(disk->GetPrivateData());
            if (info != nullptr && info->deviceId == record.deviceNumber)
                return disk;
            continue;
        }
        for (IStorageDevice* volume : volumes) {
            const CCollectedVolumeDeviceInfoStruct* info = VolumeRecordOf(volume->GetPrivateData());
            if (info != nullptr && info->deviceId == record.deviceNumber &&
                info->startSector == record.startSector)
                return volume;
        }
    }
    return nullptr;
}

IStorageDevice* KvUIDeviceData::GetStorageBySysfsPath(const std::string& path) {
    if (path.empty())
        return nullptr;
    std::lock_guard hold(lock_);
    for (const auto& [disk, volumes] : volumes_) {
        if (SysfsPathOf(KernelNameOf(disk)) == path)
            return disk;
        for (IStorageDevice* volume : volumes) {
            if (SysfsPathOf(KernelNameOf(volume)) == path)
                return volume;
        }
    }
    return nullptr;
}

std::string KvUIDeviceData::SysfsPathOf(const char* kernelName) const {
    if (kernelName == nullptr || kernelName[0] == '\0' || std::strchr(kernelName, '/') != nullptr)
        return {};
    const std::string link = sysfsRoot_ + "/class/block/" + kernelName;
    char resolved[PATH_MAX];
    if (realpath(link.c_str(), resolved) == nullptr)
        return {};
    return resolved;
}

int KvUIDeviceData::KvOpenOztFileImp(const char* path) {
    if (path == nullptr)
        return 0;
    IStorageDevice* device = CreateOztDevice(path);
    if (device == nullptr)
        return 0;
    std::lock_guard hold(lock_);
    if (KvCheckOztFileExist(device)) {
        delete device;
        return 1;
    }
    oztImages_.push_back(device);
    GetDiskStorageMap(1);
    GetVolumeStorageMap(1);
    return 1;
}

int KvUIDeviceData::KvOpenDmgFileImp(const char* path, CDMGDeviceInfoStruct info) {
    if (path == nullptr)
        return 0;
    IStorageDevice* device = CreateDmgDevice(path, &info);
    if (device == nullptr)
        return 0;
    std::lock_guard hold(lock_);
    if (KvCheckDmgFileExist(device)) {
        delete device;
        return 1;
    }
    dmgImages_.push_back(device);
    GetDiskStorageMap(1);
    GetVolumeStorageMap(1);
    return 1;
}

int KvUIDeviceData::KvCheckOztFileExist(IStorageDevice* device) {
    COZTDeviceInfoStruct* wanted =
        device != nullptr ? OztRecordOf(device->GetPrivateData()) : nullptr;
    if (wanted == nullptr)
        return 0;
    std::lock_guard hold(lock_);
    for (const auto& [index, disk] : disks_) {
        COZTDeviceInfoStruct* have = OztRecordOf(disk->GetPrivateData());
        if (have != nullptr && have->sectorSize == wanted->sectorSize &&
            have->sectorCount == wanted->sectorCount && have->dataOffset == wanted->dataOffset &&
            have->imageFileLength == wanted->imageFileLength &&
            have->timeStamp == wanted->timeStamp &&
            std::strncmp(have->deviceName, wanted->deviceName, sizeof(have->deviceName)) == 0)
            return 1;
    }
    return 0;
}

int KvUIDeviceData::KvCheckDmgFileExist(IStorageDevice* device) {
    CDMGDeviceInfoStruct* wanted =
        device != nullptr ? DmgRecordOf(device->GetPrivateData()) : nullptr;
    if (wanted == nullptr)
        return 0;
    std::lock_guard hold(lock_);
    for (const auto& [index, disk] : disks_) {
        CDMGDeviceInfoStruct* have = DmgRecordOf(disk->GetPrivateData());
        if (have != nullptr &&
            std::strncmp(have->imagePath, wanted->imagePath, sizeof(have->imagePath)) == 0)
            return 1;
    }
    return 0;
}

IStorageDevice* KvUIDeviceData::GetStorageByOztInfo(void* info, int length, const char* path) {
    return CreateOztDeviceByOztInfo(info, length, path);
}

IStorageDevice* KvUIDeviceData::GetStorageByDmgInfo(void* info, int length, const char* path) {
    return CreateDmgDeviceByDmgInfo(info, length, path);
}
