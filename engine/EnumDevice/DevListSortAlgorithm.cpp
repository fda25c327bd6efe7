#include "DevListSortAlgorithm.h"

#include <cstring>

#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace {

template <typename Data, typename Record>
Record* RecordOf(IStorageDevice* device, Record* (Data::*get)()) {
    auto* data = dynamic_cast<Data*>(device->GetPrivateData());
    return data != nullptr ? (data->*get)() : nullptr;
}

bool DiskSortAlgorithm(IStorageDevice* a, IStorageDevice* b) {
    auto* ra = RecordOf(a, &IDiskDeviceData::GetDiskInfo);
    auto* rb = RecordOf(b, &IDiskDeviceData::GetDiskInfo);
    return ra != nullptr && rb != nullptr && std::strncmp(ra->bsdName, rb->bsdName, 128) < 0;
}

bool PartSortAlgorithm(IStorageDevice* a, IStorageDevice* b) {
    auto* ra = RecordOf(a, &IPartitionDeviceData::GetPartitionInfo);
    auto* rb = RecordOf(b, &IPartitionDeviceData::GetPartitionInfo);
    return ra != nullptr && rb != nullptr &&
           static_cast<int32_t>(ra->partitionEntryNumber) <
               static_cast<int32_t>(rb->partitionEntryNumber);
}

bool VolumeSortAlgorithm(IStorageDevice* a, IStorageDevice* b) {
    auto* ra = RecordOf(a, &IVolumeDeviceData::GetVolumeInfo);
    auto* rb = RecordOf(b, &IVolumeDeviceData::GetVolumeInfo);
    return ra != nullptr && rb != nullptr && ra->partitionNumber < rb->partitionNumber;
}

}  // namespace

bool CDevListSortAlgorithm::operator()(IStorageDevice* a, IStorageDevice* b) const {
    if (a == nullptr || b == nullptr || a->GetType() != b->GetType()) {
        return false;
    }
    switch (a->GetType()) {
        case kStorageDeviceDisk:
            return DiskSortAlgorithm(a, b);
        case kStorageDevicePartition:
            return PartSortAlgorithm(a, b);
        case kStorageDeviceVolume:
            return VolumeSortAlgorithm(a, b);
        default:
            return false;
    }
}
