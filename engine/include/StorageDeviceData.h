#pragma once

#include "DeviceInfo.h"

// The description holder attached to a device. A holder owns its record: the
// factory takes a heap record (allocated with new) and the destructor deletes it.
// Set<X>Info only replaces the pointer; the previous record is not freed.
class IStorageDeviceData {
public:
    virtual ~IStorageDeviceData() = default;
};

class IDiskDeviceData : public IStorageDeviceData {
public:
    virtual CCollectDiskDeviceInfoStruct* GetDiskInfo() = 0;
    virtual void SetDiskInfo(CCollectDiskDeviceInfoStruct* info) = 0;
};

class IPartitionDeviceData : public IStorageDeviceData {
public:
    virtual CCollectedPartitionDeviceInfoStruct* GetPartitionInfo() = 0;
    virtual void SetPartitionInfo(CCollectedPartitionDeviceInfoStruct* info) = 0;
};

class IVolumeDeviceData : public IStorageDeviceData {
public:
    virtual CCollectedVolumeDeviceInfoStruct* GetVolumeInfo() = 0;
    virtual void SetVolumeInfo(CCollectedVolumeDeviceInfoStruct* info) = 0;
};

class IDmgDeviceData : public IStorageDeviceData {
public:
    virtual CDMGDeviceInfoStruct* GetDMGInfo() = 0;
    virtual void SetDMGInfo(CDMGDeviceInfoStruct* info) = 0;
};

class IOZTDeviceData : public IStorageDeviceData {
public:
    virtual COZTDeviceInfoStruct* GetOZTInfo() = 0;
    virtual void SetOZTInfo(COZTDeviceInfoStruct* info) = 0;
};

// The record a holder carries; null when the holder is null, of another kind
// or without a record.
inline CCollectDiskDeviceInfoStruct* DiskRecordOf(IStorageDeviceData* holder) {
    auto* data = dynamic_cast<IDiskDeviceData*>(holder);
    return data != nullptr ? data->GetDiskInfo() : nullptr;
}
inline CCollectedPartitionDeviceInfoStruct* PartitionRecordOf(IStorageDeviceData* holder) {
    auto* data = dynamic_cast<IPartitionDeviceData*>(holder);
    return data != nullptr ? data->GetPartitionInfo() : nullptr;
}
inline CCollectedVolumeDeviceInfoStruct* VolumeRecordOf(IStorageDeviceData* holder) {
    auto* data = dynamic_cast<IVolumeDeviceData*>(holder);
    return data != nullptr ? data->GetVolumeInfo() : nullptr;
}
inline CDMGDeviceInfoStruct* DmgRecordOf(IStorageDeviceData* holder) {
    auto* data = dynamic_cast<IDmgDeviceData*>(holder);
    return data != nullptr ? data->GetDMGInfo() : nullptr;
}
inline COZTDeviceInfoStruct* OztRecordOf(IStorageDeviceData* holder) {
    auto* data = dynamic_cast<IOZTDeviceData*>(holder);
    return data != nullptr ? data->GetOZTInfo() : nullptr;
}

IDiskDeviceData* CreateDiskDeviceData(CCollectDiskDeviceInfoStruct* info);
IPartitionDeviceData* CreatePartitionDeviceData(CCollectedPartitionDeviceInfoStruct* info);
IVolumeDeviceData* CreateVolumeDeviceData(CCollectedVolumeDeviceInfoStruct* info);
IDmgDeviceData* CreateDMGDeviceData(CDMGDeviceInfoStruct* info);
IOZTDeviceData* CreateOZTDeviceData(COZTDeviceInfoStruct* info);
