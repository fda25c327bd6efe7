#pragma once

#include "NodeDevice.h"

class CMessageCenter;

// A volume node. Reads start inside the volume; a read that fails reports a bad
// sector to the message center.
class CVolumeDevice : public CNodeDevice {
public:
    explicit CVolumeDevice(const char* path);
    ~CVolumeDevice() override;

    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetType() override { return kStorageDeviceVolume; }
    void SetApfsDevicePath(char* path) override;

    const char* GetApfsDevicePath() const { return apfsDevicePath_; }

protected:
    bool RecordGeometry(IStorageDeviceData* holder, DeviceGeometry& geometry) override;

private:
    CMessageCenter* messageCenter_;
    char apfsDevicePath_[1024] = {};
};
