#include <vector>

#include "EnumDevice.h"
#include "MergeVolumeAndPartition.h"
#include "StorageDevice.h"

#define ENUM_FAILURE(kind) ENGINE_FAILURE(kModuleEnumDevice, kind)

namespace {

void DestroyAll(std::list<IStorageDevice*>& devices) {
    for (IStorageDevice* device : devices) {
        delete device;
    }
    devices.clear();
}

// The two-call pattern: a null array asks for the count; otherwise `count` is
// the array's capacity and becomes the number copied.
RESULT_CODE CopyOut(const std::list<IStorageDevice*>& devices, IStorageDevice** array, int& count,
                    bool zeroCapacityCopiesNothing) {
    const int size = static_cast<int>(devices.size());
    if (array == nullptr) {
        count = size;
        return kResultSuccess;
    }
    if (zeroCapacityCopiesNothing && count == 0) {
        return kResultSuccess;
    }
    if (count < size) {
        return ENUM_FAILURE(kResultBufferTooSmall);
    }
    int i = 0;
    for (IStorageDevice* device : devices) {
        array[i++] = device;
    }
    count = size;
    return kResultSuccess;
}

// The same for the list kept for `disk` in `lists`.
RESULT_CODE CopyOutFor(const std::map<const IStorageDevice*, std::list<IStorageDevice*>>& lists,
                       const IStorageDevice* disk, IStorageDevice** array, int& count,
                       bool zeroCapacityCopiesNothing) {
    if (disk == nullptr) {
        return ENUM_FAILURE(kResultMissingObject);
    }
    auto found = lists.find(disk);
    if (found == lists.end()) {
        return ENUM_FAILURE(kResultBadArgument);
    }
    return CopyOut(found->second, array, count, zeroCapacityCopiesNothing);
}

}  // namespace

CEnumDeviceEx::CEnumDeviceEx(DeviceSystemPaths paths) : paths_(std::move(paths)) {}

CEnumDeviceEx::~CEnumDeviceEx() {
    if (initialised_ != 0) {
        Uninit();
    }
}

RESULT_CODE CEnumDeviceEx::Init() {
    if (initialised_ != 0) {
        Uninit();
    }
    enumDevice_ = MakeEnumDevice(paths_);
    enumDevice_->EnumDiskDevice(disks_);
    initialised_ = 1;
    if (disks_.empty()) {
        Uninit();
        return ENUM_FAILURE(kResultFailed);
    }
    for (IStorageDevice* disk : disks_) {
        // A disk whose table cannot be read keeps what was found before the failure.
        std::list<IStorageDevice*>& partitions = partitions_[disk];
        enumDevice_->EnumPartitionDevice(disk, partitions);
        std::list<IStorageDevice*> volumes;
        enumDevice_->EnumVolumeDevice(disk, volumes);

        // Merged once here, so that asking again makes nothing new.
        std::vector<IStorageDevice*> volumeArray(volumes.begin(), volumes.end());
        std::vector<IStorageDevice*> partitionArray(partitions.begin(), partitions.end());
        std::list<IStorageDevice*>& merged = volumes_[disk];
        RESULT_CODE code = CMergeVolumeAndPartition().MergeAsVolume(
            merged, volumeArray.data(), static_cast<int>(volumeArray.size()), partitionArray.data(),
            static_cast<int>(partitionArray.size()));
        if (IsFailure(code)) {
            merged = std::move(volumes);
        }
    }
    return kResultSuccess;
}

RESULT_CODE CEnumDeviceEx::Uninit() {
    if (initialised_ == 0) {
        return ENUM_FAILURE(kResultNotInitialised);
    }
    // Volumes and partitions read through their disk: they go first.
    for (auto& [disk, volumes] : volumes_) {
        DestroyAll(volumes);
    }
    for (auto& [disk, partitions] : partitions_) {
        DestroyAll(partitions);
    }
    volumes_.clear();
    partitions_.clear();
    DestroyAll(disks_);
    enumDevice_.reset();
    initialised_ = 0;
    return kResultSuccess;
}

RESULT_CODE CEnumDeviceEx::EnumDiskDevice(IStorageDevice** devices, int& count) {
    if (initialised_ == 0) {
        return ENUM_FAILURE(kResultNotInitialised);
    }
    return CopyOut(disks_, devices, count, true);
}

RESULT_CODE CEnumDeviceEx::EnumPartitionDevice(const IStorageDevice* disk, IStorageDevice** devices,
                                               int& count) {
    if (initialised_ == 0) {
        return ENUM_FAILURE(kResultNotInitialised);
    }
    return CopyOutFor(partitions_, disk, devices, count, true);
}

RESULT_CODE CEnumDeviceEx::EnumVolumeDevice(const IStorageDevice* disk, IStorageDevice** devices,
                                            int& count) {
    if (initialised_ == 0) {
        return ENUM_FAILURE(kResultNotInitialised);
    }
    return CopyOutFor(volumes_, disk, devices, count, false);
}

IEnumDeviceEx* CreateEnumDeviceEx() {
    static CEnumDeviceEx instance;
    return &instance;
}
