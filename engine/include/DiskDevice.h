#pragma once

#include <vector>

#include "DeviceInfo.h"
#include "NodeDevice.h"

// A whole disk: a block device node, or a regular image file read as a disk of
// 512-byte sectors. It keeps the volumes that enumeration found on it. Reads
// beyond the medium fail in the read itself.
class CDiskDevice : public CNodeDevice {
public:
    explicit CDiskDevice(const char* path) : CNodeDevice(path) {}

    uint32_t GetType() override { return kStorageDeviceDisk; }

    void SetVolumes(const std::vector<CCollectedVolumeDeviceInfoStruct>& volumes);
    size_t GetVolumes(std::vector<CCollectedVolumeDeviceInfoStruct>& volumes) const;

protected:
    bool RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) override;

private:
    std::vector<CCollectedVolumeDeviceInfoStruct> volumes_;
};
