#include <cstring>
#include <memory>

#include "ImageDevice.h"
#include "StorageDeviceData.h"

IStorageDevice* CreateDmgDevice(const char* path, void* info) {
    if (path == nullptr || info == nullptr) {
        return nullptr;
    }
    std::unique_ptr<IStorageDevice> device(CreateDmgDeviceImp(path));
    if (!device || !device->Open(nullptr)) {
        return nullptr;
    }
    auto record = std::make_unique<CDMGDeviceInfoStruct>();
    std::memcpy(record.get(), info, sizeof(CDMGDeviceInfoStruct));
    device->SetPrivateData(CreateDMGDeviceData(record.release()));
    return IsSuccess(device->GetLastError()) ? device.release() : nullptr;
}

IStorageDevice* CreateDmgDeviceByDmgInfo(void* info, int length, const char*) {
    if (info == nullptr || length != static_cast<int>(sizeof(CDMGDeviceInfoStruct))) {
        return nullptr;
    }
    CDMGDeviceInfoStruct saved;
    std::memcpy(&saved, info, sizeof(saved));
    if (strnlen(saved.imagePath, sizeof(saved.imagePath)) == sizeof(saved.imagePath)) {
        return nullptr;
    }
    std::unique_ptr<IStorageDevice> device(CreateDmgDevice(saved.imagePath, &saved));
    if (!device) {
        return nullptr;
    }
    return DmgRecordOf(device->GetPrivateData()) != nullptr ? device.release() : nullptr;
}
