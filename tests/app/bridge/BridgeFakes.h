#pragma once

#include <cstring>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DeviceInfo.h"
#include "EnumDevice.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace bridgetest {

// A device that holds only its description; reads fail.
class RecordDevice : public IStorageDevice {
public:
    explicit RecordDevice(uint32_t type) : type_(type) {}
    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void*, int64_t, int64_t) override { return false; }
    uint32_t GetSectorSize() override { return 512; }
    int64_t GetTotalSectors() override { return 2048; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return data_.get(); }
    void SetPrivateData(IStorageDeviceData* data) override { data_.reset(data); }
    uint32_t GetType() override { return type_; }
    RESULT_CODE GetLastError() override { return 0; }
    bool IsPermitted() override { return permitted_; }

    bool permitted_ = true;

private:
    uint32_t type_;
    std::unique_ptr<IStorageDeviceData> data_;
};

inline std::unique_ptr<RecordDevice> MakeDisk(const char* name, uint32_t bus, uint32_t scheme,
                                              int32_t deviceId) {
    auto disk = std::make_unique<RecordDevice>(kStorageDeviceDisk);
    auto* record = new CCollectDiskDeviceInfoStruct{};
    record->busType = bus;
    record->partitionScheme = scheme;
    std::strncpy(record->modelName, name, sizeof(record->modelName) - 1);
    std::strncpy(record->bsdName, name, sizeof(record->bsdName) - 1);
    record->sectorSize = 512;
    record->sectorCount = 2048;
    record->deviceId = deviceId;
    disk->SetPrivateData(CreateDiskDeviceData(record));
    return disk;
}

inline std::unique_ptr<RecordDevice> MakeVolume(const char* name, IStorageDevice* parent,
                                                int32_t deviceId,
                                                const uint8_t* gptType = nullptr) {
    auto volume = std::make_unique<RecordDevice>(kStorageDeviceVolume);
    auto* record = new CCollectedVolumeDeviceInfoStruct{};
    record->fileSystemType = 1;
    std::strncpy(record->volumeName, name, sizeof(record->volumeName) - 1);
    std::strncpy(record->bsdName, name, sizeof(record->bsdName) - 1);
    record->sectorSize = 512;
    record->sectorCount = 1024;
    record->deviceId = deviceId;
    record->parentDisk = parent;
    if (gptType != nullptr)
        std::memcpy(record->gptTypeGuid, gptType, 16);
    volume->SetPrivateData(CreateVolumeDeviceData(record));
    return volume;
}

// An enumerator over a fixed set of devices that tests can change between
// two Init calls, as media come and go.
class FakeEnumerator : public IEnumDeviceEx {
public:
    RESULT_CODE Init() override {
        ++inits;
        return failInit ? MakeFailure(kModuleEnumDevice, 0, kResultFailed) : kResultSuccess;
    }
    RESULT_CODE Uninit() override {
        ++uninits;
        return kResultSuccess;
    }
    RESULT_CODE EnumDiskDevice(IStorageDevice** devices, int& count) override {
        return CopyOut(disks, devices, count);
    }
    RESULT_CODE EnumPartitionDevice(const IStorageDevice*, IStorageDevice**, int& count) override {
        count = 0;
        return kResultSuccess;
    }
    RESULT_CODE EnumVolumeDevice(const IStorageDevice* disk, IStorageDevice** devices,
                                 int& count) override {
        auto found = volumes.find(disk);
        if (found == volumes.end())
            return MakeFailure(kModuleEnumDevice, 0, kResultMissingObject);
        return CopyOut(found->second, devices, count);
    }

    std::vector<IStorageDevice*> disks;
    std::map<const IStorageDevice*, std::vector<IStorageDevice*>> volumes;
    bool failInit = false;
    int inits = 0;
    int uninits = 0;

private:
    static RESULT_CODE CopyOut(const std::vector<IStorageDevice*>& from, IStorageDevice** to,
                               int& count) {
        if (to == nullptr) {
            count = static_cast<int>(from.size());
            return kResultSuccess;
        }
        if (count < static_cast<int>(from.size()))
            return MakeFailure(kModuleEnumDevice, 0, kResultBufferTooSmall);
        std::copy(from.begin(), from.end(), to);
        count = static_cast<int>(from.size());
        return kResultSuccess;
    }
};

}  // namespace bridgetest
