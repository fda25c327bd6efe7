#include "ImageFiles.h"

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "KvUIDeviceData.h"
#include "KvUIFilter.h"
#include "KvUIScan.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace bridgetest {

namespace fs = std::filesystem;

namespace {

void PutLE(std::string& bytes, size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

bool MakeOztImage(const fs::path& raw, const fs::path& image, uint64_t time) {
    std::error_code error;
    const uint64_t length = fs::file_size(raw, error);
    if (error)
        return false;
    constexpr size_t kDataOffset = 1536;
    std::string header(kDataOffset, '\0');
    std::memcpy(header.data(), "ozt", 4);
    PutLE(header, 4, 1192, 4);
    PutLE(header, 8, 512, 8);
    PutLE(header, 16, length / 512, 8);
    PutLE(header, 24, kDataOffset, 8);
    PutLE(header, 32, kDataOffset + length, 8);
    std::memcpy(&header[40], kTestImageName, std::strlen(kTestImageName));
    PutLE(header, 8 + 1184, time, 8);
    std::ifstream in(raw, std::ios::binary);
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    out << header << in.rdbuf();
    return static_cast<bool>(out);
}

bool ScanImageDevice(IStorageDevice* device) {
    KvUIScan* scan = KvUIScan::instance();
    if (!scan->BeginScanRequest())
        return false;
    KvUIFilter::instance()->ResetFilter(127);
    scan->SetShouldBuildTree(1);
    scan->SetDeepScan(1);
    scan->DoScan(device, nullptr);
    return true;
}

int DiskIndexOfDevice(IStorageDevice* device) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    for (int index = 0;; ++index) {
        IStorageDevice* disk = model->GetDiskStorageByIndex(index);
        if (disk == nullptr)
            return -1;
        if (disk == device)
            return index;
    }
}

IStorageDevice* OpenImageDevice(const fs::path& image) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (!model->KvOpenOztFileImp(image.c_str()))
        return nullptr;
    for (int index = 0;; ++index) {
        IStorageDevice* device = model->GetDiskStorageByIndex(index);
        if (device == nullptr)
            return nullptr;
        const COZTDeviceInfoStruct* info = OztRecordOf(device->GetPrivateData());
        if (info != nullptr && image == info->imagePath)
            return device;
    }
}

}  // namespace bridgetest
