#pragma once

#include "RawScanContext.h"
#include "StorageDevice.h"

// The scanned device as the size walks at the end of a raw search see it:
// every read is passed on until the user stops the scan, then reads fail, so
// that no walk goes on after a stop.
class CScanStopDevice : public IStorageDevice {
public:
    CScanStopDevice(IStorageDevice* device, const RawScanContext* context)
        : device_(device), context_(context) {}

    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (context_ != nullptr && !context_->Continue())
            return false;
        return device_->ReadSector(buffer, first, count);
    }
    uint32_t GetSectorSize() override { return device_->GetSectorSize(); }
    int64_t GetTotalSectors() override { return device_->GetTotalSectors(); }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return device_->GetPrivateData(); }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return device_->GetType(); }
    RESULT_CODE GetLastError() override { return device_->GetLastError(); }

private:
    IStorageDevice* device_;  // not owned
    const RawScanContext* context_;
};
