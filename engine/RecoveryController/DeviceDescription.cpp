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
        auto* volume = dynamic_cast<IVolumeDeviceData*>(data);
        if (volume != nullptr && volume->GetVolumeInfo() != nullptr &&
            volume->GetVolumeInfo()->kind == 0) {
            return BoundedText(volume->GetVolumeInfo()->volumeName);
        }
    } else if (device->GetType() == kStorageDeviceOzt) {
        auto* ozt = dynamic_cast<IOZTDeviceData*>(data);
        if (ozt != nullptr && ozt->GetOZTInfo() != nullptr) {
            return BoundedText(ozt->GetOZTInfo()->deviceName);
        }
    }
    return {};
}
