#include <cstring>
#include <string>

#include "RecoveryController.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace {

template <size_t N>
std::string BoundedText(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

}  // namespace

std::string GetDeviceDescription(IStorageDevice* device) {
    if (device == nullptr || device->GetPrivateData() == nullptr)
        return {};
    IStorageDeviceData* data = device->GetPrivateData();
    if (device->GetType() == kStorageDeviceVolume) {
        const CCollectedVolumeDeviceInfoStruct* volume = VolumeRecordOf(data);
        if (volume != nullptr && volume->kind == 0) {
            return BoundedText(volume->volumeName);
        }
    } else if (device->GetType() == kStorageDeviceOzt) {
        if (const COZTDeviceInfoStruct* ozt = OztRecordOf(data)) {
            return BoundedText(ozt->deviceName);
        }
    }
    return {};
}
