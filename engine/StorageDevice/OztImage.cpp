#include <cstdio>
#include <cstring>
#include <memory>

#include "DeviceRead.h"
#include "ImageDevice.h"
#include "ImageFileDevice.h"
#include "StorageDeviceData.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Opens `device` and attaches `record` (taken over); null on any failure.
IStorageDevice* AttachOztRecord(std::unique_ptr<IStorageDevice> device,
                                std::unique_ptr<COZTDeviceInfoStruct> record) {
    if (!device->Open(nullptr)) {
        return nullptr;
    }
    device->SetPrivateData(CreateOZTDeviceData(record.release()));
    return IsSuccess(device->GetLastError()) ? device.release() : nullptr;
}

}  // namespace

int KvFillOztFileInfo(COZTDeviceInfoStruct* info, const char* path) {
    if (info == nullptr || path == nullptr || !FitsImagePath(path)) {
        return -1;
    }
    FileHandle file(fopen(path, "rbe"));
    if (!file) {
        return -1;
    }
    char tag[8];
    if (fread(tag, 1, sizeof(tag), file.get()) != sizeof(tag) ||
        std::memcmp(tag, kOztMagic, sizeof(kOztMagic)) != 0) {
        return -1;
    }
    int32_t length = 0;
    std::memcpy(&length, tag + 4, sizeof(length));
    // The block has one layout; any other length is not an image this code wrote.
    if (length != kOztInfoLength) {
        return -1;
    }
    COZTDeviceInfoStruct block{};
    if (fread(&block, 1, sizeof(block), file.get()) != sizeof(block)) {
        return -1;
    }
    if (fseeko(file.get(), 0, SEEK_END) != 0 || ftello(file.get()) != block.imageFileLength) {
        return -1;
    }
    block.deviceName[sizeof(block.deviceName) - 1] = '\0';
    CopyPathField(block.imagePath, sizeof(block.imagePath), path);
    *info = block;
    return 0;
}

IStorageDevice* CreateOztDevice(const char* path) {
    if (path == nullptr) {
        return nullptr;
    }
    std::unique_ptr<IStorageDevice> device(CreateOztDeviceImp(path));
    if (!device) {
        return nullptr;
    }
    auto record = std::make_unique<COZTDeviceInfoStruct>();
    if (KvFillOztFileInfo(record.get(), path) != 0) {
        return nullptr;
    }
    return AttachOztRecord(std::move(device), std::move(record));
}

IStorageDevice* CreateOztDeviceByOztInfo(void* info, int length, const char* path) {
    if (info == nullptr || length != kOztInfoLength) {
        return nullptr;
    }
    COZTDeviceInfoStruct saved;
    std::memcpy(&saved, info, sizeof(saved));
    saved.deviceName[sizeof(saved.deviceName) - 1] = '\0';
    if (path == nullptr) {
        if (strnlen(saved.imagePath, sizeof(saved.imagePath)) == sizeof(saved.imagePath)) {
            return nullptr;
        }
        path = saved.imagePath;
    }
    std::unique_ptr<IStorageDevice> device(CreateOztDevice(path));
    if (!device) {
        return nullptr;
    }
    const COZTDeviceInfoStruct& fresh = *OztRecordOf(device->GetPrivateData());
    const bool same =
        std::memcmp(&fresh, &saved, 8) == 0 && fresh.sectorCount == saved.sectorCount &&
        fresh.imageFileLength == saved.imageFileLength && fresh.dataOffset == saved.dataOffset &&
        fresh.timeStamp == saved.timeStamp && std::strcmp(fresh.deviceName, saved.deviceName) == 0;
    return same ? device.release() : nullptr;
}
